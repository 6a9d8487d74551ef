package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class ImageFolderTest {
    @TempDir
    Path temp;

    private Path source(String content) throws IOException {
        return Files.writeString(Files.createTempFile(temp, "wia", ".tmp"), content);
    }

    @Test
    void namesContinueAfterTheHighestNumberWithTheImagesExtension() throws IOException {
        Path folder = temp.resolve("out");
        Files.createDirectories(folder);
        Files.writeString(folder.resolve("scan-007.bmp"), "older");
        Files.writeString(folder.resolve("scan-notanumber.jpg"), "other");
        Files.writeString(folder.resolve("scanner-050.jpg"), "another prefix");

        ImageFolder kept = new ImageFolder(folder, "scan");
        Path first = kept.keep(source("one"), "JPG");
        Path second = kept.keep(source("two"), "bmp");

        assertEquals("scan-008.jpg", first.getFileName().toString());
        assertEquals("scan-009.bmp", second.getFileName().toString());
        assertEquals("one", Files.readString(first));
        assertEquals("older", Files.readString(folder.resolve("scan-007.bmp")), "nothing replaced");
        assertEquals(List.of(first, second), kept.files());
    }

    @Test
    void aNameTakenMeanwhileIsSkipped() throws IOException {
        ImageFolder kept = new ImageFolder(temp, "img");
        kept.keep(source("one"), "jpg");
        Files.writeString(temp.resolve("img-002.jpg"), "written by someone else");

        assertEquals("img-003.jpg", kept.keep(source("two"), "jpg").getFileName().toString());
        assertEquals("written by someone else", Files.readString(temp.resolve("img-002.jpg")));
    }

    @Test
    void copyKeepsTheSourceAndMoveTakesIt() throws IOException {
        Path copied = source("copied");
        Path moved = source("moved");
        Path copy = new ImageFolder(temp.resolve("c"), "a", ImageFolder.Mode.COPY).keep(copied, "jpg");
        Path move = new ImageFolder(temp.resolve("m"), "a", ImageFolder.Mode.MOVE).keep(moved, "jpg");

        assertTrue(Files.exists(copied));
        assertFalse(Files.exists(moved));
        assertEquals("copied", Files.readString(copy));
        assertEquals("moved", Files.readString(move));
    }

    @Test
    void aFailedKeepLeavesNothingBehind() throws IOException {
        Path folder = temp.resolve("out");
        for (ImageFolder.Mode mode : ImageFolder.Mode.values()) {
            ImageFolder kept = new ImageFolder(folder, "scan", mode);
            assertThrows(NoSuchFileException.class, () -> kept.keep(temp.resolve("gone.tmp"), "jpg"));
            assertTrue(kept.files().isEmpty());
        }
        try (Stream<Path> left = Files.list(folder)) {
            assertEquals(0, left.count());
        }
    }

    @Test
    void prefixesAndExtensionsThatCouldLeaveTheFolderAreRefused() throws IOException {
        String emoji = "\uD83D\uDCF7";
        for (String prefix : new String[] {"", "../up", "a/b", "a\\b", ".hidden", "c:d", emoji.repeat(100),
            "\u65e5".repeat(77)}) {
            assertThrows(IllegalArgumentException.class, () -> new ImageFolder(temp, prefix), prefix);
        }
        // The longest prefix: 228 bytes, and the longest name it can make is created.
        ImageFolder longest = new ImageFolder(temp, emoji.repeat(57));
        assertEquals(temp.resolve(emoji.repeat(57) + "-001.jpg"), longest.keep(source("y"), "jpg"));
        ImageFolder kept = new ImageFolder(temp, "ok");
        Path file = source("x");
        for (String extension : new String[] {"", "../jpg", "j.pg", "jpg/x"}) {
            assertThrows(IllegalArgumentException.class, () -> kept.keep(file, extension), extension);
        }
    }
}
