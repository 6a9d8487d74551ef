package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.awt.image.BufferedImage;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Arrays;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
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
    void aFailedKeepLeavesNothingBehindAndSaysWhyInWords() throws IOException {
        Path folder = temp.resolve("out");
        Path gone = temp.resolve("gone.tmp");
        for (ImageFolder.Mode mode : ImageFolder.Mode.values()) {
            ImageFolder kept = new ImageFolder(folder, "scan", mode);
            IOException failure = assertThrows(IOException.class, () -> kept.keep(gone, "jpg"));
            assertEquals("cannot keep the image in " + folder + ": " + gone + ": no such file or folder",
                    failure.getMessage());
            assertInstanceOf(NoSuchFileException.class, failure.getCause());
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

    private static void assertCannotPrepare(Path folder, String message) {
        IOException failure = assertThrows(IOException.class, () -> new ImageFolder(folder).prepare(), folder.toString());
        assertTrue(failure.getMessage().matches(message), failure.getMessage());
    }

    /**
     * Folders that cannot take a file, made so that they refuse root too: a regular file in
     * the folder's place or above it, and sysfs, which lets nobody create files.
     */
    @Test
    void aFolderThatCannotTakeFilesIsToldInWordsBeforeAnyImage() throws IOException {
        Path file = Files.writeString(temp.resolve("file"), "x");
        assertCannotPrepare(file, Pattern.quote(file + " is a file"));
        Path below = file.resolve("sub/deeper");
        assertCannotPrepare(below, Pattern.quote("cannot create " + below + ": " + file + " is a file"));
        Path sysfs = Path.of("/sys/kernel");
        assumeTrue(Files.isDirectory(sysfs), "sysfs is mounted");
        assertCannotPrepare(sysfs, "cannot write into /sys/kernel: (permission denied|read-only file system)");

        Path locked = Files.createDirectory(temp.resolve("locked"));
        Files.setPosixFilePermissions(locked, PosixFilePermissions.fromString("r-xr-xr-x"));
        if (!Files.isWritable(locked)) { // permission bits bind every user but root
            assertCannotPrepare(locked, Pattern.quote("cannot write into " + locked + ": permission denied"));
        }
        Files.setPosixFilePermissions(locked, PosixFilePermissions.fromString("rwxr-xr-x"));
    }

    @Test
    void preparingLeavesNoTraceAndTheFolderComesWithTheFirstImage() throws IOException {
        Path fresh = temp.resolve("a/b/c");
        ImageFolder kept = new ImageFolder(fresh, "scan");
        kept.prepare();
        assertFalse(Files.exists(temp.resolve("a")), "the folders made for the check are gone again");
        Files.createDirectories(fresh);
        kept.prepare();
        assertEquals(List.of(), names(fresh), "no test file left");

        Path first = kept.keep(source("one"), "jpg");
        assertEquals(fresh.resolve("scan-001.jpg"), first);
    }

    /** Kept files decode on request; a file that is no decodable image fails with the reason. */
    @Test
    void aKeptImageReadsItselfIntoPixels() throws IOException {
        Path png = temp.resolve("grey.png");
        ImageIO.write(new BufferedImage(20, 10, BufferedImage.TYPE_BYTE_GRAY), "png", png.toFile());
        BufferedImage image = new KeptImage(png, ImageHeader.UNREADABLE).readImage();
        assertEquals(List.of(20, 10), List.of(image.getWidth(), image.getHeight()));

        byte[] pngStart = Arrays.copyOf(Files.readAllBytes(png), 40); // the signature and a cut header
        Path[] unreadable = {source("plain text"), Files.write(temp.resolve("cut.png"), pngStart), temp};
        String[] why = {"not an image file that this Java platform can read", "the PNG image cannot be decoded: ",
            "not a file"};
        for (int i = 0; i < unreadable.length; i++) {
            Path file = unreadable[i];
            IOException failure = assertThrows(IOException.class, () -> new KeptImage(file, ImageHeader.UNREADABLE).readImage());
            assertTrue(failure.getMessage().startsWith(file + ": " + why[i]), failure.getMessage());
        }
        assertThrows(NoSuchFileException.class, () -> new KeptImage(temp.resolve("gone"), ImageHeader.UNREADABLE).readImage());
    }

    /** Checks of other image folders, which remove the folder they made, never cost an image being kept. */
    @Test
    void imagesAreKeptWhileOtherFoldersOnTheSamePlaceAreChecked() throws Exception {
        Path shared = temp.resolve("shared");
        Path image = source("image");
        int keeps = 1000;
        ExecutorService threads = Executors.newFixedThreadPool(3);
        try {
            AtomicBoolean keeping = new AtomicBoolean(true);
            List<Future<?>> checks = new ArrayList<>();
            for (int i = 0; i < 2; i++) {
                checks.add(threads.submit(() -> {
                    while (keeping.get()) {
                        new ImageFolder(shared, "check").prepare();
                    }
                    return null;
                }));
            }
            ImageFolder kept = new ImageFolder(shared, "scan");
            Future<?> keeper = threads.submit(() -> {
                try {
                    for (int i = 0; i < keeps; i++) {
                        Files.delete(kept.keep(image, "jpg")); // empty again, for the checks to remove
                    }
                } finally {
                    keeping.set(false);
                }
                return null;
            });
            keeper.get(60, TimeUnit.SECONDS);
            for (Future<?> check : checks) {
                check.get(60, TimeUnit.SECONDS);
            }
            assertEquals(keeps, kept.files().size());
        } finally {
            threads.shutdownNow();
        }
    }
}
