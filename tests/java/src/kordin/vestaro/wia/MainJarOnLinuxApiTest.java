package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.testsupport.Jar;
import kordin.vestaro.testsupport.RealDevices;
import kordin.vestaro.testsupport.RealDevicesProbe;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The Java API with the main artifact alone, in a VM of its own, over SANE's test scanner and a folder camera. */
class MainJarOnLinuxApiTest {
    @TempDir
    Path temp;

    @Test
    void scansTheFlatbedAndTheFeederAndKeepsTheCamerasPicturesUnderTheirNames() throws Exception {
        RealDevices devices = new RealDevices(temp);
        Path out = temp.resolve("out");
        Path tests = Path.of(RealDevicesProbe.class.getProtectionDomain().getCodeSource().getLocation().toURI());
        Jar.Result probe = Jar.runClass(Files.createDirectories(temp.resolve("vm")), null,
                devices.environment(devices.pictures().toString()), false, tests, RealDevicesProbe.class.getName(),
                out.toString());

        assertEquals(0, probe.status(), probe.toString());
        List<String> expected = new ArrayList<>(List.of(
                "device: Noname frontend-tester " + RealDevices.SCANNER_ID,
                "device: Noname frontend-tester {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:test:1",
                "device: pictures " + devices.cameraId(),
                "FEEDER: COMPLETED, 10 pages",
                "FLATBED: COMPLETED, 1 pages"));
        for (int i = 0; i < RealDevices.PICTURES.size(); i++) {
            String name = RealDevices.PICTURES.get(i);
            expected.add("picture " + (i + 1) + ": " + name + " as " + name);
            assertArrayEquals(Files.readAllBytes(devices.pictures().resolve(name)),
                    Files.readAllBytes(out.resolve("camera").resolve(name)), name);
        }
        assertEquals(expected, probe.out().lines().toList(), probe.toString());
    }
}
