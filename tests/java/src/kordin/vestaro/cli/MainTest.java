package kordin.vestaro.cli;

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
import kordin.vestaro.wia.ColorMode;
import kordin.vestaro.wia.FakeWia;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class MainTest {
    @TempDir
    Path temp;

    private final ByteArrayOutputStream out = new ByteArrayOutputStream();
    private final ByteArrayOutputStream err = new ByteArrayOutputStream();
    private FakeWia.Manager manager = new FakeWia.Manager(
            new FakeWia.Present("Flatbed", 0x10000, "{6BDD}\\0000"),
            new FakeWia.Present("Camera", 0x20000, "{6BDD}\\0001"));

    @AfterEach
    void debugOff() {
        Manager.debug = false;
    }

    private int run(String... args) {
        Main main = new Main(new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8), manager::opened);
        return main.run(args);
    }

    private String out() {
        return out.toString(StandardCharsets.UTF_8);
    }

    private String err() {
        return err.toString(StandardCharsets.UTF_8);
    }

    @Test
    void optionsInEveryFormReachTheScanner() throws Exception {
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
    }

    @Test
    void aScanPrintsALinePerImageAndASummaryAndExitsWithZero() throws Exception {
        FakeWia.Scanner scanner = (FakeWia.Scanner) manager.opened().getDevices().get(0);
        assertEquals(Main.OK, run("scan", "-o", temp.toString(), "-r", "200", "-m", "bw", "--area", "5,6,70,80"), err());

        assertArrayEquals(new int[] {1, 200, 5, 6, 70, 80}, scanner.settingsRead);
        Path kept = temp.resolve("scan-001.bmp");
        long size = Files.size(kept);
        assertTrue(out().contains("  1  scan-001.bmp  " + size + " bytes"), out());
        assertTrue(out().contains("1 image kept in " + temp), out());
        assertTrue(manager.isClosed() && scanner.isReleased(), "everything released at the end");
    }

    @Test
    void theCameraCommandKeepsEveryPictureAndPicksTheNamedDevice() throws Exception {
        assertEquals(Main.OK, run("camera", "--device", "Camera", "--prefix", "holiday", "-o", temp.toString()), err());
        try (var files = Files.list(temp)) {
            assertEquals(List.of("holiday-001.jpg", "holiday-002.jpg", "holiday-003.jpg"),
                    files.map(p -> p.getFileName().toString()).sorted().toList());
        }
        assertTrue(out().contains("3 images kept in"), out());
    }

    @Test
    void nothingToAcquireExitsWithThree() throws Exception {
        manager.present.remove(1);
        assertEquals(Main.NOTHING, run("camera", "-o", temp.toString()));
        assertTrue(err().contains("no camera found"), err());

        manager = new FakeWia.Manager(new FakeWia.Present("Flatbed", 0x10000, "s"));
        assertEquals(Main.NOTHING, run("scan", "--device", "7"));
        assertTrue(err().contains("no device 7"), err());

        manager = new FakeWia.Manager(new FakeWia.Present("Camera", 0x20000, "c"));
        manager.picturesPerCamera = 0;
        assertEquals(Main.NOTHING, run("camera", "-o", temp.toString()));
        assertTrue(out().contains("no image"), out());
    }

    @Test
    void aFailurePrintsTheCodeInHexAndTheTextWithoutAStackTraceUnlessAsked() throws Exception {
        manager.opened();
        ((FakeWia.Scanner) manager.getDevices().get(0)).failure = FakeWia.busyDevice();
        assertEquals(Main.FAILED, run("scan", "-o", temp.toString()));
        assertTrue(err().contains("vestaro: error 0x80210006: The WIA device is busy."), err());
        assertFalse(err().contains("\tat "), err());
        assertTrue(out().contains("0 images kept in " + temp + " before the failure"), out());

        err.reset();
        assertEquals(Main.FAILED, run("--trace", "list"), "a closed manager cannot poll: a failure");
        assertTrue(err().contains("\tat "), err());
    }

    @Test
    void debugIsSetBeforeTheManagerOpens() {
        boolean[] debugAtOpen = new boolean[1];
        Main main = new Main(new PrintStream(out), new PrintStream(err), () -> {
            debugAtOpen[0] = Manager.debug;
            return manager.opened();
        });
        assertEquals(Main.OK, main.run("list", "--debug"));
        assertTrue(debugAtOpen[0]);
        assertTrue(out().contains(" 2  camera   Camera   {6BDD}\\0001"), out());
    }
}
