package kordin.vestaro.cli;

import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import kordin.vestaro.testsupport.Jar;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * {@code java -jar vestaro.jar} end to end, each command in a Java VM of its own that loads
 * the library from the jar: over the default virtual devices, and over a device set that
 * {@code WINSIM_DEVICES} names. Every run must leave its temporary folder empty.
 */
class JarCommandTest {
    /** A camera whose dialog is cancelled, a scanner that only writes BMP files, one that writes no file format. */
    private static final String DEVICES = """
            {"devices": [
              {"kind": "camera", "id": "cam", "name": "Shy Camera", "dialog": [{"action": "cancel"}],
               "pictures": [{"name": "P1", "width": 20, "height": 10}, {"name": "P2", "width": 10, "height": 20}]},
              {"kind": "scanner", "id": "bmp", "name": "Bitmap Scanner", "formats": ["bmp"],
               "bed": {"width": 2000, "height": 1000}},
              {"kind": "scanner", "id": "none", "name": "Formatless Scanner", "formats": []}]}""";

    @TempDir
    Path temp;

    private Jar.Result run(String name, String devices, String... args) throws Exception {
        Jar.Result result = Jar.run(Files.createDirectories(temp.resolve(name)), devices, args);
        assertEquals(List.of(), names(result.tmp()), "the temporary folder is left empty\n" + result);
        return result;
    }

    @Test
    void listScanAndCameraOverTheDefaultDevices() throws Exception {
        Jar.Result list = run("list", null, "list");
        assertEquals(0, list.status(), list.toString());
        assertTrue(list.out().matches("(?s) 1  scanner  Virtual Flatbed Scanner  \\{6BDD.*\\}\\\\0000\\R"
                + " 2  camera   Virtual Camera  .*\\\\0001\\R2 devices\\R"), list.toString());

        Path out = temp.resolve("out");
        Jar.Result scan = run("scan", null, "scan", "-o", out.toString(), "-r", "100", "-m", "gray");
        assertEquals(0, scan.status(), scan.toString());
        assertEquals("850x1169 gray", describe(out.resolve("scan-001.jpg")));
        assertTrue(scan.out().matches("(?s)scanning with \"Virtual Flatbed Scanner\" at 100 dpi, mode gray\\R"
                + "  1  scan-001\\.jpg  [0-9,]+ bytes\\R1 image kept in " + out + "\\R"), scan.toString());

        Jar.Result camera = run("camera", null, "camera", "--output=" + out);
        assertEquals(0, camera.status(), camera.toString());
        assertEquals(List.of("picture-001.jpg", "picture-002.jpg", "picture-003.jpg", "scan-001.jpg"), names(out));
        assertEquals("320x240 color", describe(out.resolve("picture-002.jpg")));
        assertTrue(camera.out().endsWith("3 images kept in " + out + System.lineSeparator()), camera.toString());
        assertEquals("", scan.err() + camera.err());
    }

    @Test
    void theDeviceSetOfTheEnvironment() throws Exception {
        Path out = temp.resolve("out");
        Jar.Result cancelled = run("dialog", DEVICES, "camera", "--dialog", "-o", out.toString());
        assertEquals(3, cancelled.status(), cancelled.toString());
        assertTrue(cancelled.out().contains("no image: the dialog was cancelled"), cancelled.toString());

        Jar.Result pictures = run("camera", DEVICES, "camera", "-o", out.toString());
        assertEquals(0, pictures.status(), pictures.toString());
        assertEquals("20x10 color", describe(out.resolve("picture-001.jpg")));
        assertEquals("10x20 color", describe(out.resolve("picture-002.jpg")));

        Jar.Result bitmap = run("bmp", DEVICES, "scan", "-d", "bitmap scanner", "-r", "50", "-m", "bw", "-o", out.toString());
        assertEquals(0, bitmap.status(), bitmap.toString());
        assertEquals("100x50 bw", describe(out.resolve("scan-001.bmp")));

        Jar.Result failed = run("failed", DEVICES, "scan", "-d", "3", "-o", out.toString());
        assertEquals(1, failed.status(), failed.toString());
        assertTrue(failed.err().matches("vestaro: error 0x[0-9a-f]{8}: \\S.*\\R"), failed.toString());
        assertFalse(failed.err().contains("\tat "), failed.toString());
        assertTrue(failed.out().endsWith("0 images kept in " + out + " before the failure" + System.lineSeparator()),
                failed.toString());
        assertEquals(List.of("picture-001.jpg", "picture-002.jpg", "scan-001.bmp"), names(out));
    }
}
