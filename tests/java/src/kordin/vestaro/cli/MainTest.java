package kordin.vestaro.cli;

import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import kordin.vestaro.Manager;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import kordin.vestaro.wia.ColorMode;
import kordin.vestaro.wia.WIAManager;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.io.TempDir;

/** The command line in this VM over the real library and the virtual devices. */
@ExtendWith(WinsimExtension.class)
class MainTest {
    @TempDir
    Path temp;

    private final ByteArrayOutputStream out = new ByteArrayOutputStream();
    private final ByteArrayOutputStream err = new ByteArrayOutputStream();

    @AfterEach
    void debugOff() {
        Manager.debug = false;
    }

    private int run(String... args) {
        return main(WIAManager::open).run(args);
    }

    private Main main(Main.Opener opener) {
        return new Main(new PrintStream(out, true, StandardCharsets.UTF_8), new PrintStream(err, true, StandardCharsets.UTF_8),
                opener);
    }

    private String out() {
        return out.toString(StandardCharsets.UTF_8);
    }

    private String err() {
        return err.toString(StandardCharsets.UTF_8);
    }

    @Test
    void optionsInEveryForm() throws Exception {
        CommandLine line = CommandLine.parse("--debug", "scan", "-r", "150", "--mode=gray", "--area", "0,10,-1,200",
                "-o", "out", "--dialog", "--device=2");
        assertEquals(CommandLine.Command.SCAN, line.command);
        assertTrue(line.debug && line.dialog);
        assertEquals(150, line.resolution);
        assertEquals(ColorMode.GRAY_8, line.mode);
        assertArrayEquals(new int[] {0, 10, -1, 200}, line.area);
        assertEquals(Path.of("out"), line.output);
        assertEquals("2", line.device);
        assertEquals(CommandLine.Command.HELP, CommandLine.parse("scan", "--resolution", "x", "-h").command);
    }

    @Test
    void wrongCommandLinesExitWithTwoAndSayWhy() throws Exception {
        String[][] wrong = {
            {}, {"frobnicate"}, {"scan", "camera"}, {"scan", "--resolution"}, {"scan", "--resolution", "high"},
            {"scan", "--resolution", "0"}, {"scan", "--area", "1,2,3"}, {"scan", "--area", "0,0,-2,10"},
            {"scan", "--mode", "sepia"}, {"camera", "--mode", "gray"}, {"list", "--output", "x"},
            {"scan", "--dialog=yes"}, {"scan", "--colour"},
        };
        for (String[] args : wrong) {
            assertThrows(CommandLine.UsageException.class, () -> CommandLine.parse(args), String.join(" ", args));
        }
        assertEquals(Main.USAGE, run("camera", "--mode", "gray"));
        assertTrue(err().contains("--mode is not an option of camera"), err());
        assertEquals("", out());
        assertEquals(Main.USAGE, run("scan", "--prefix", "../up", "-o", temp.toString()));
        assertEquals(List.of(), names(temp), "nothing scanned");
    }

    @Test
    void aScanPrintsALinePerImageAndASummaryWithTheSettingsGiven() throws Exception {
        assertEquals(Main.OK, run("scan", "-o", temp.toString(), "-r", "100", "-m", "bw", "--area", "5,6,70,80"), err());

        Path kept = temp.resolve("scan-001.jpg");
        assertEquals("70x80 bw", describe(kept));
        assertEquals(String.join(System.lineSeparator(),
                "scanning with \"Virtual Flatbed Scanner\" at 100 dpi, mode bw",
                "  1  scan-001.jpg  " + String.format("%,d", Files.size(kept)) + " bytes",
                "1 image kept in " + temp, ""), out());
        assertEquals("", err());
    }

    @Test
    void theCameraCommandKeepsEveryPictureOfTheNamedDevice() throws Exception {
        for (String device : new String[] {"Virtual Camera", "2", Winsim.DEFAULT_CAMERA}) {
            out.reset();
            Path folder = temp.resolve(device.replace('\\', '_'));
            assertEquals(Main.OK, run("camera", "--device", device, "--prefix", "holiday", "-o", folder.toString()), err());
            assertEquals(List.of("holiday-001.jpg", "holiday-002.jpg", "holiday-003.jpg"), names(folder));
            assertEquals("320x240 color", describe(folder.resolve("holiday-003.jpg")));
            assertTrue(out().startsWith("transferring every picture of \"Virtual Camera\""), out());
            assertTrue(out().endsWith("3 images kept in " + folder + System.lineSeparator()), out());
        }
    }

    @Test
    void nothingToAcquireExitsWithThree() throws Exception {
        assertEquals(Main.NOTHING, run("camera", "--device", "1"));
        assertTrue(err().contains("\"Virtual Flatbed Scanner\" is a scanner, not a camera"), err());
        assertEquals(Main.NOTHING, run("scan", "--device", "7"));
        assertTrue(err().contains("no device 7"), err());

        Winsim.setDialogScript(Winsim.DEFAULT_CAMERA, "[{\"action\": \"cancel\"}]");
        assertEquals(Main.NOTHING, run("camera", "--dialog", "-o", temp.toString()));
        assertTrue(out().contains("no image: the dialog was cancelled or nothing was picked"), out());

        Winsim.loadDevices("[{\"kind\": \"camera\", \"id\": \"empty\", \"name\": \"Empty\"}]");
        assertEquals(Main.NOTHING, run("camera", "-o", temp.toString()));
        assertTrue(out().contains("no image: the camera holds no picture"), out());
        assertEquals(Main.NOTHING, run("scan", "-o", temp.toString()));
        assertTrue(err().contains("no scanner found among 1 device"), err());
        assertEquals(List.of(), names(temp));
    }

    @Test
    void aFailurePrintsTheCodeInHexAndTheTextWithoutAStackTraceUnlessAsked() throws Exception {
        Winsim.injectFault("IWiaDataTransfer::idtGetData", Winsim.WIA_ERROR_BUSY, 0, "");
        assertEquals(Main.FAILED, run("scan", "-o", temp.toString()));
        assertEquals("vestaro: error 0x80210006: The WIA device is busy." + System.lineSeparator(), err());
        assertTrue(out().endsWith("0 images kept in " + temp + " before the failure" + System.lineSeparator()), out());

        err.reset();
        // Every picture fails: the first failure, the others attached to it.
        assertEquals(Main.FAILED, run("--trace", "--debug", "camera", "-o", temp.toString()));
        assertTrue(err().matches("(?s)vestaro: error 0x80210006: The WIA device is busy\\.\\R"
                + "  reported at \\.\\.\\\\src\\\\jni\\\\wia\\\\WIAUtils\\.cpp:[1-9][0-9]*\\R"
                + "(  also: error 0x80210006: The WIA device is busy\\.\\R){2}"
                + "kordin\\.vestaro\\.VestaroException: 0x80210006 .*\tat .*"), err());

        err.reset();
        out.reset();
        // The camera stops answering after its first picture: kept, and the failure said.
        Winsim.clearFaults();
        Winsim.injectFault("IEnumWiaItem::Next", Winsim.WIA_ERROR_OFFLINE, 2, "");
        Path camera = temp.resolve("camera");
        assertEquals(Main.FAILED, run("camera", "-o", camera.toString()));
        assertEquals("vestaro: error 0x80210005: The WIA device is not online." + System.lineSeparator(), err());
        assertTrue(out().endsWith("1 image kept in " + camera + " before the failure" + System.lineSeparator()), out());
        assertEquals(List.of("picture-001.jpg"), names(camera));

        err.reset();
        Winsim.clearFaults();
        Winsim.injectFault("CoCreateInstance", Winsim.WIA_ERROR_OFFLINE, 0, "");
        assertEquals(Main.FAILED, run("list"));
        assertEquals("vestaro: cannot open the WIA device manager: error 0x80210005: The WIA device is not online."
                + System.lineSeparator(), err());
        assertFalse(err().contains("\tat "), err());
    }

    @Test
    void listNamesEveryDeviceWithItsKindAndDebugIsSetBeforeTheManagerOpens() {
        boolean[] debugAtOpen = new boolean[1];
        int status = main(() -> {
            debugAtOpen[0] = Manager.debug;
            return WIAManager.open();
        }).run("list", "--debug");

        assertEquals(Main.OK, status, err());
        assertTrue(debugAtOpen[0]);
        assertEquals(String.join(System.lineSeparator(),
                " 1  scanner  Virtual Flatbed Scanner  " + Winsim.DEFAULT_SCANNER,
                " 2  camera   Virtual Camera           " + Winsim.DEFAULT_CAMERA,
                "2 devices", ""), out());
    }
}
