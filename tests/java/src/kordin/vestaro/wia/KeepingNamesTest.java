package kordin.vestaro.wia;

import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** An image folder that keeps the images' own names: made safe, never replacing a file. */
class KeepingNamesTest {
    @TempDir
    Path temp;

    private TransferredImage image(String name, String extension, String content) throws IOException {
        Path file = Files.writeString(Files.createTempFile(temp, "wia", ".tmp"), content);
        return new TransferredImage(null, file, extension, 1, PageSide.FRONT, ImageHeader.UNREADABLE, name);
    }

    @Test
    void aNameIsMadeSafeAndStaysInsideItsFolder() {
        Map<String, String> safe = new LinkedHashMap<>();
        safe.put("IMG_0001.JPG", "IMG_0001.JPG");
        safe.put("IMG_0001", "IMG_0001.jpg");
        safe.put("holiday.jpeg", "holiday.jpeg");
        safe.put("picture.png", "picture.png.jpg");
        safe.put("../../etc/passwd", "_._etc_passwd.jpg");
        safe.put("..\\windows\\win.ini", "_windows_win.ini.jpg");
        safe.put("a..b...jpg", "a.b.jpg");
        safe.put("tab\tnew\nline\u001b[31m", "tab_new_line_[31m.jpg");
        safe.put("C:*?\"<>|x", "C_______x.jpg");
        safe.put("  .hidden. ", "hidden.jpg");
        safe.put("con", "_con.jpg");
        safe.put("LPT1.jpg", "_LPT1.jpg");
        safe.put("CONSOLE", "CONSOLE.jpg");
        safe.put("...", null);
        safe.put("", null);
        safe.forEach((name, expected) -> assertEquals(expected, SafeFileName.of(name, "jpg"), name));
        assertEquals("scan.bmp", SafeFileName.of("scan", "bmp"));
        assertEquals("scan.DIB", SafeFileName.of("scan.DIB", "bmp"));

        String longName = "\u00e9".repeat(300) + ".JPG";
        String cut = SafeFileName.of(longName, "jpg");
        assertTrue(cut.endsWith("\u00e9.JPG") && cut.getBytes(StandardCharsets.UTF_8).length <= SafeFileName.MAX_BYTES, cut);
    }

    @Test
    void imagesKeepTheirNamesAClashGetsANumberAndTheUnnamedAreNumbered() throws IOException {
        Path folder = temp.resolve("out");
        Files.createDirectories(folder);
        Files.writeString(folder.resolve("IMG_0001.JPG"), "older");

        ImageFolder kept = ImageFolder.keepingNames(folder, "picture");
        List<Path> files = new ArrayList<>();
        files.add(kept.keep(image("IMG_0001.JPG", "jpg", "first")));
        files.add(kept.keep(image("IMG_0001.JPG", "jpg", "second")));
        files.add(kept.keep(image("../IMG_0002", "jpg", "third")));
        files.add(kept.keep(image(null, "jpg", "fourth")));
        files.add(kept.keep(image("..", "bmp", "fifth")));

        assertEquals(List.of("IMG_0001-2.JPG", "IMG_0001-3.JPG", "_IMG_0002.jpg", "picture-001.jpg", "picture-002.bmp"),
                files.stream().map(file -> file.getFileName().toString()).toList());
        assertEquals(files, kept.files());
        assertEquals("older", Files.readString(folder.resolve("IMG_0001.JPG")), "nothing replaced");
        assertEquals("second", Files.readString(folder.resolve("IMG_0001-3.JPG")));
        assertEquals(List.of("IMG_0001-2.JPG", "IMG_0001-3.JPG", "IMG_0001.JPG", "_IMG_0002.jpg", "picture-001.jpg",
                "picture-002.bmp"), names(folder), "every file stays in the folder");

        // The default forms keep numbering, whatever name an image carries.
        assertEquals("image-001.jpg", new ImageFolder(folder).keep(image("IMG_0009.JPG", "jpg", "x")).getFileName().toString());
    }
}
