package kordin.vestaro.cli;

import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.regex.Pattern;
import kordin.vestaro.testsupport.Jar;
import kordin.vestaro.testsupport.RealDevices;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The command line with the main artifact alone on the class path, as a Linux user runs it:
 * SANE's test backend and a folder camera, every driver on, and no virtual device, whatever
 * the drivers' setting asks, since their marker comes with the virtual artifact only.
 */
class MainJarOnLinuxTest {
    @TempDir
    Path temp;
    private RealDevices devices;

    @BeforeEach
    void realDevices() throws Exception {
        devices = new RealDevices(temp);
    }

    private Jar.Result run(String name, Map<String, String> environment, List<String> vmOptions, String... args)
            throws Exception {
        Jar.Result result = Jar.runMainJar(Files.createDirectories(temp.resolve("vm-" + name)), environment, vmOptions, args);
        assertEquals(List.of(), names(result.tmp()), "the temporary folder is left empty\n" + result);
        return result;
    }

    private List<String> cameraFolder() { return List.of("-Dvestaro.folderCameras=" + devices.pictures()); }

    @Test
    void listsTheSaneScannersAndTheFolderCameraOfThePropertyOrTheEnvironmentAndNoVirtualDevice() throws Exception {
        // -Xcheck:jni: the stand-in's load entry reads the properties without a warning.
        List<String> checked = new ArrayList<>(cameraFolder());
        checked.add("-Xcheck:jni");
        Jar.Result list = run("property", devices.environment(null), checked, "list");
        assertEquals(0, list.status(), list.toString());
        assertTrue(list.out().matches("(?s) 1  scanner  Noname frontend-tester  " + Pattern.quote(RealDevices.SCANNER_ID)
                + "\\R 2  scanner  Noname frontend-tester  .*sane:test:1\\R 3  camera   pictures +"
                + Pattern.quote(devices.cameraId()) + "\\R3 devices\\R"), list.toString());
        assertFalse((list.out() + list.err()).contains("WARNING"), list.toString());
        assertEquals("", list.err());

        Jar.Result environment = run("environment", devices.environment(devices.pictures().toString()), List.of(), "list");
        assertTrue(environment.out().contains(devices.cameraId()), environment.toString());

        // The property wins over the environment.
        Path other = Files.createDirectories(temp.resolve("other"));
        Jar.Result both = run("both", devices.environment(other.toString()), cameraFolder(), "list");
        assertTrue(both.out().contains(devices.cameraId()) && !both.out().contains(other.toString()), both.toString());

        // The virtual devices cannot be asked for: the main artifact has none.
        Jar.Result virtual = run("virtual", devices.environment(null), List.of("-Dvestaro.drivers=virtual"), "list");
        assertEquals(0, virtual.status(), virtual.toString());
        assertEquals("no WIA device found", virtual.out().strip(), virtual.toString());
        Jar.Result sane = run("sane", devices.environment(null), List.of("-Dvestaro.drivers=sane"), "--json", "list");
        assertFalse(sane.out().contains("Virtual") || sane.out().contains("gphoto2"), sane.toString());
    }

    @Test
    void scansTheFlatbedAndTheFeederUntilItIsEmpty() throws Exception {
        Path flatbed = temp.resolve("flatbed");
        Jar.Result page = run("flatbed", devices.environment(null), List.of(), "scan", "-d", RealDevices.SCANNER_ID,
                "-r", "50", "-m", "gray", "-o", flatbed.toString());
        assertEquals(0, page.status(), page.toString());
        assertEquals(List.of("scan-001.jpg"), names(flatbed));
        assertTrue(page.out().startsWith("  1  scan-001.jpg  393x393, 50 dpi, 8 bits, jpeg, "), "the whole bed in grey\n" + page);
        assertEquals("393x393", describe(flatbed.resolve("scan-001.jpg")).split(" ")[0]);

        Path feeder = temp.resolve("feeder");
        Jar.Result pages = run("feeder", devices.environment(null), List.of(), "scan", "-d", RealDevices.SCANNER_ID,
                "--source", "feeder", "--pages", "all", "-r", "50", "-o", feeder.toString());
        assertEquals(0, pages.status(), pages.toString());
        List<String> expected = new ArrayList<>();
        for (int i = 1; i <= 10; i++) {
            expected.add(String.format("scan-%03d.jpg", i));
        }
        assertEquals(expected, names(feeder), "the test backend's feeder holds ten pages");
        assertTrue(pages.out().endsWith("10 images kept in " + feeder + System.lineSeparator()), pages.toString());
    }

    @Test
    void transfersEveryPictureOfTheFolderCameraByteForByteInOrderUnderItsName() throws Exception {
        Path out = temp.resolve("camera");
        Jar.Result camera = run("camera", devices.environment(null), cameraFolder(), "camera", "--keep-names", "-d",
                devices.cameraId(), "-o", out.toString());
        assertEquals(0, camera.status(), camera.toString());
        List<String> lines = camera.out().lines().toList();
        for (int i = 0; i < RealDevices.PICTURES.size(); i++) {
            String name = RealDevices.PICTURES.get(i);
            assertTrue(lines.get(i).startsWith(String.format("%3d  %s  ", i + 1, name)), camera.toString());
            assertArrayEquals(Files.readAllBytes(devices.pictures().resolve(name)), Files.readAllBytes(out.resolve(name)), name);
        }
        assertEquals(RealDevices.PICTURES.stream().sorted().toList(), names(out));

        // Without the option the pictures are numbered, as before.
        Path numbered = temp.resolve("numbered");
        Jar.Result plain = run("numbered", devices.environment(null), cameraFolder(), "camera", "-o", numbered.toString());
        assertEquals(List.of("picture-001.jpg", "picture-002.jpg", "picture-003.jpg"), names(numbered), plain.toString());
        Jar.Result wrong = run("wrong", devices.environment(null), List.of(), "scan", "--keep-names");
        assertEquals(2, wrong.status(), wrong.toString());
        assertTrue(wrong.err().startsWith("vestaro: --keep-names is not an option of scan"), wrong.toString());
    }
}
