package kordin.vestaro.cli;

import static kordin.vestaro.cli.Console.NL;
import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.regex.Pattern;
import kordin.vestaro.Manager;
import kordin.vestaro.testsupport.JsonParser;
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

    private final Console console = new Console();


    @AfterEach
    void debugOff() {
        Manager.debug = false;
    }

    @SuppressWarnings("unchecked")
    private static Map<String, Object> first(Object list) {
        return ((List<Map<String, Object>>) list).get(0);
    }

    @Test
    void optionsInEveryForm() throws Exception {
        CommandLine line = CommandLine.parse("--debug", "scan", "-r", "150", "--mode=gray", "--area", "0,10,-1,200",
                "-o", "out", "--dialog", "--device=2", "--json");
        assertEquals(CommandLine.Command.SCAN, line.command);
        assertTrue(line.debug && line.dialog && line.json);
        assertEquals(150, line.resolution);
        assertEquals(ColorMode.GRAY_8, line.mode);
        assertArrayEquals(new int[] {0, 10, -1, 200}, line.area);
        assertEquals(Path.of("out"), line.output);
        assertEquals("2", line.device);
        // Help and the version win over everything else; help names the command's usage.
        CommandLine help = CommandLine.parse("scan", "--resolution", "x", "-h");
        assertEquals(CommandLine.Command.HELP, help.command);
        assertEquals(CommandLine.Command.SCAN, help.topic);
        assertEquals(CommandLine.Command.CAMERA, CommandLine.parse("help", "camera").topic);
        assertNull(CommandLine.parse("--help").topic);
        assertEquals(CommandLine.Command.VERSION, CommandLine.parse("list", "--bogus", "--version").command);
    }

    @Test
    void wrongCommandLinesExitWithTwoAndSayWhy() throws Exception {
        String[][] wrong = {
            {}, {"frobnicate"}, {"scan", "camera"}, {"scan", "--resolution"}, {"scan", "--resolution", "high"},
            {"scan", "--resolution", "0"}, {"scan", "--area", "1,2,3"}, {"scan", "--area", "0,0,-2,10"},
            {"scan", "--mode", "sepia"}, {"camera", "--mode", "gray"}, {"list", "--output", "x"},
            {"scan", "--dialog=yes"}, {"scan", "--colour"}, {"help", "scan", "camera"}, {"help", "frobnicate"},
            {"list", "--json=yes"}, {"-r", "100"},
        };
        for (String[] args : wrong) {
            assertThrows(CommandLine.UsageException.class, () -> CommandLine.parse(args), String.join(" ", args));
        }
        String[][] named = {
            {"camera", "--mode", "gray"}, {"--mode is not an option of camera"},
            {"scan", "--foo"}, {"unknown option: --foo"},
            {"list", "--json", "-x"}, {"unknown option: -x"},
            {"frobnicate", "--json"}, {"unknown command: frobnicate"},
            {"help", "scan", "list"}, {"help takes one command: scan and list"},
        };
        for (int i = 0; i < named.length; i += 2) {
            console.reset();
            assertEquals(Main.USAGE, console.run(named[i]));
            assertEquals("vestaro: " + named[i + 1][0] + NL + "Run 'java -jar vestaro.jar help' for the usage." + NL, console.err());
            if (!List.of(named[i]).contains("--json")) {
                assertEquals("", console.out(), "no results for a command line that cannot run");
            }
        }
        assertEquals(Main.USAGE, console.run("scan", "--prefix", "../up", "-o", temp.toString()));
        assertEquals(Main.USAGE, console.run("scan", "--prefix", "\uD83D\uDCF7".repeat(100), "-o", temp.toString()));
        assertTrue(console.err().contains("--prefix: a file name prefix of 400 bytes in UTF-8 is too long"), console.err());
        assertEquals(List.of(), names(temp), "nothing scanned");
    }

    @Test
    void helpForEachCommandAndTheVersionGoToStandardOutput() {
        String[][] asked = {{"help"}, {"--help"}, {"help", "scan"}, {"scan", "-h"}, {"camera", "--help"}, {"help", "list"},
            {"help", "help"}};
        String[] shown = {Usage.GENERAL, Usage.GENERAL, Usage.SCAN, Usage.SCAN, Usage.CAMERA, Usage.LIST, Usage.HELP};
        for (int i = 0; i < asked.length; i++) {
            console.reset();
            assertEquals(Main.OK, console.run(asked[i]));
            assertEquals(shown[i], console.out(), String.join(" ", asked[i]));
            assertEquals("", console.err());
        }
        assertTrue(Usage.GENERAL.contains("  4  no such device"), Usage.GENERAL);
        console.reset();
        assertEquals(Main.OK, console.run("--version"));
        assertEquals("vestaro 12.0.0" + NL, console.out(), "the jar's manifest gives the project's version");
    }

    /** The usage texts name the command as the user started it: the jar, the main class or the module. */
    @Test
    void theProgramIsNamedAsTheVmWasStarted() {
        assertEquals("java -jar lib/vestaro-virtual-12.0.0.jar",
                Program.of("lib/vestaro-virtual-12.0.0.jar", "lib/vestaro-virtual-12.0.0.jar help", null));
        assertEquals("java kordin.vestaro.cli.Main", Program.of("vestaro.jar", "kordin.vestaro.cli.Main list", null));
        assertEquals("java -m kordin.vestaro", Program.of("", "kordin.vestaro/kordin.vestaro.cli.Main list", "kordin.vestaro"));
        assertTrue(Usage.of(CommandLine.Command.SCAN, "java -jar x.jar").startsWith("usage: java -jar x.jar [--json] scan"));
    }

    @Test
    void aScanPrintsWhatTheFileHoldsOnStandardOutputAndTheProgressOnStandardError() throws Exception {
        assertEquals(Main.OK, console.run("scan", "-o", temp.toString(), "-r", "100", "-m", "bw", "--area", "5,6,70,80"), console.err());

        Path kept = temp.resolve("scan-001.jpg");
        assertEquals("70x80 bw", describe(kept));
        assertEquals(String.join(NL,
                "  1  scan-001.jpg  70x80, 100 dpi, 8 bits, jpeg, " + String.format("%,d", Files.size(kept)) + " bytes",
                "1 image kept in " + temp, ""), console.out());
        // A JPEG holds black and white as 8-bit grey: no warning for that.
        assertEquals("scanning with \"Virtual Flatbed Scanner\", asking 100 dpi, mode bw" + NL, console.err());
    }

    /** The default scanner takes 50 to 1200 dpi, has no deep modes, and scans at 150 dpi when a value is refused. */
    @Test
    void settingsTheDeviceRefusedAreWarnedOnStandardErrorAndInTheJson() throws Exception {
        assertEquals(Main.OK, console.run("--json", "scan", "-o", temp.toString(), "-r", "99999", "-m", "gray16",
                "--area", "0,0,5000,-1"), console.err());

        List<String> warnings = List.of("asked 99999 dpi, the device scanned at 150",
                "asked gray16 (16 bits per pixel), the image has 8",
                "asked a width of 5000 pixels, the image is 1275x1753");
        assertEquals("scanning with \"Virtual Flatbed Scanner\", asking 99999 dpi, mode gray16" + NL
                + String.join("", warnings.stream().map(w -> "vestaro: warning: " + w + NL).toList()), console.err());
        Map<String, Object> json = JsonParser.object(console.out());
        assertEquals(warnings, json.get("warnings"));
        Path kept = temp.resolve("scan-001.jpg");
        assertEquals(Map.of("index", 1L, "path", kept.toString(), "format", "jpeg", "size", Files.size(kept),
                "pixels", Map.of("width", 1275L, "height", 1753L), "dpi", Map.of("x", 150L, "y", 150L), "depth", 8L),
                first(json.get("images")));
        assertEquals("1275x1753 gray", describe(kept));

        // Values the device takes give no warning.
        console.reset();
        assertEquals(Main.OK, console.run("scan", "-o", temp.toString(), "-r", "75", "-m", "gray", "--area", "0,0,100,-1"));
        assertEquals("scanning with \"Virtual Flatbed Scanner\", asking 75 dpi, mode gray" + NL, console.err());
    }

    @Test
    void theCameraCommandKeepsEveryPictureOfTheNamedDevice() throws Exception {
        for (String device : new String[] {"Virtual Camera", "2", Winsim.DEFAULT_CAMERA}) {
            console.reset();
            Path folder = temp.resolve(device.replace('\\', '_'));
            assertEquals(Main.OK, console.run("camera", "--device", device, "--prefix", "holiday", "-o", folder.toString()), console.err());
            assertEquals(List.of("holiday-001.jpg", "holiday-002.jpg", "holiday-003.jpg"), names(folder));
            assertEquals("320x240 color", describe(folder.resolve("holiday-003.jpg")));
            assertEquals("transferring every picture of \"Virtual Camera\"" + NL, console.err());
            assertTrue(console.out().matches("(  [1-3]  holiday-00[1-3]\\.jpg  320x240, 72 dpi, 24 bits, jpeg, [0-9,]+ bytes\\R){3}"
                    + "3 images kept in " + Pattern.quote(folder.toString()) + "\\R"), console.out());
        }
    }

    @Test
    void eachOutcomeHasItsExitStatus() throws Exception {
        assertEquals(Main.NO_DEVICE, console.run("camera", "--device", "1"));
        assertEquals("vestaro: \"Virtual Flatbed Scanner\" is a scanner, not a camera" + NL, console.err());
        console.reset();
        assertEquals(Main.NO_DEVICE, console.run("scan", "--device", "9"));
        assertEquals("vestaro: no device 9 (see 'list')" + NL, console.err());
        assertEquals("", console.out());

        console.reset();
        Winsim.setDialogScript(Winsim.DEFAULT_CAMERA, "[{\"action\": \"cancel\"}]");
        assertEquals(Main.NOTHING, console.run("camera", "--dialog", "-o", temp.toString()));
        assertTrue(console.err().endsWith("vestaro: no image: the dialog was cancelled or nothing was picked" + NL), console.err());
        assertEquals("", console.out());

        console.reset();
        Winsim.loadDevices("[{\"kind\": \"camera\", \"id\": \"empty\", \"name\": \"Empty\"}]");
        assertEquals(Main.NOTHING, console.run("camera", "-o", temp.toString()));
        assertTrue(console.err().endsWith("vestaro: no image: the camera holds no picture" + NL), console.err());
        assertEquals(Main.NO_DEVICE, console.run("scan", "-o", temp.toString()));
        assertTrue(console.err().endsWith("vestaro: no scanner found among 1 device" + NL), console.err());
        assertEquals(List.of(), names(temp));

        Winsim.loadDevices("[]");
        assertEquals(Main.OK, console.run("list"), "listing no device is no failure");
        assertEquals(Main.NO_DEVICE, console.run("camera"));
        assertTrue(console.err().endsWith("vestaro: no camera found: the platform offered no WIA device" + NL), console.err());
    }

    @Test
    void aFailurePrintsTheCodeInHexAndTheTextWithoutAStackTraceUnlessAsked() throws Exception {
        Winsim.injectFault("IWiaDataTransfer::idtGetData", Winsim.WIA_ERROR_BUSY, 0, "");
        assertEquals(Main.FAILED, console.run("scan", "-o", temp.toString()));
        assertTrue(console.err().endsWith(NL + "vestaro: error 0x80210006: The WIA device is busy." + NL), console.err());
        assertEquals("0 images kept in " + temp + " before the failure" + NL, console.out());

        console.reset();
        // Every picture fails: the first failure, the others attached to it.
        assertEquals(Main.FAILED, console.run("--trace", "--debug", "camera", "-o", temp.toString()));
        assertTrue(console.err().matches("(?s).*vestaro: error 0x80210006: The WIA device is busy\\.\\R"
                + "  reported at \\.\\.\\\\src\\\\jni\\\\wia\\\\WIAUtils\\.cpp:[1-9][0-9]*\\R"
                + "(  also: error 0x80210006: The WIA device is busy\\.\\R){2}"
                + "kordin\\.vestaro\\.VestaroException: 0x80210006 .*\tat .*"), console.err());

        console.reset();
        // The camera stops answering after its first picture: kept, and the failure said.
        Winsim.clearFaults();
        Winsim.injectFault("IEnumWiaItem::Next", Winsim.WIA_ERROR_OFFLINE, 2, "");
        Path camera = temp.resolve("camera");
        assertEquals(Main.FAILED, console.run("camera", "-o", camera.toString()));
        assertTrue(console.err().endsWith(NL + "vestaro: error 0x80210005: The WIA device is not online." + NL), console.err());
        assertTrue(console.out().endsWith("1 image kept in " + camera + " before the failure" + NL), console.out());
        assertEquals(List.of("picture-001.jpg"), names(camera));

        console.reset();
        Winsim.clearFaults();
        Winsim.injectFault("CoCreateInstance", Winsim.WIA_ERROR_OFFLINE, 0, "");
        assertEquals(Main.FAILED, console.run("list"));
        assertEquals("vestaro: cannot open the WIA device manager: error 0x80210005: The WIA device is not online." + NL,
                console.err());
        assertFalse(console.err().contains("\tat "), console.err());
        // The manager opened but could not list its devices: no word of the manager.
        console.reset();
        Winsim.clearFaults();
        Winsim.injectFault("IWiaDevMgr::EnumDeviceInfo", Winsim.WIA_ERROR_BUSY, 0, "");
        assertEquals(Main.FAILED, console.run("list"));
        assertEquals("vestaro: warning: the devices cannot all be listed: error 0x80210006: The WIA device is busy." + NL
                + "vestaro: cannot list every WIA device: error 0x80210006: The WIA device is busy." + NL, console.err());
    }

    @Test
    void theJsonOfAFailureCarriesCodeTextSourceAndTheFailuresAttached() throws Exception {
        Winsim.injectFault("IWiaDataTransfer::idtGetData", Winsim.WIA_ERROR_BUSY, 2, "");
        assertEquals(Main.FAILED, console.run("--json", "camera", "-o", temp.toString()));

        Map<String, Object> json = JsonParser.object(console.out());
        assertEquals("camera", json.get("command"));
        assertEquals(1L, json.get("status"));
        assertEquals(temp.toString(), json.get("folder"));
        assertEquals(Map.of("number", 2L, "name", "Virtual Camera", "id", Winsim.DEFAULT_CAMERA, "kind", "camera",
                "type", 0x20000L), json.get("device"));
        @SuppressWarnings("unchecked")
        List<Map<String, Object>> images = (List<Map<String, Object>>) json.get("images");
        assertEquals(List.of(1L, 2L), images.stream().map(image -> image.get("index")).toList(),
                "the camera goes on after the second picture failed");
        assertEquals(List.of(temp.resolve("picture-001.jpg").toString(), temp.resolve("picture-002.jpg").toString()),
                images.stream().map(image -> image.get("path")).toList());
        @SuppressWarnings("unchecked")
        Map<String, Object> failure = (Map<String, Object>) json.get("failure");
        assertEquals("0x80210006", failure.get("code"));
        assertEquals("The WIA device is busy.", failure.get("text"));
        assertTrue(((String) failure.get("source")).matches("\\.\\.\\\\src\\\\jni\\\\wia\\\\WIAUtils\\.cpp:[1-9][0-9]*"),
                failure.toString());
        assertEquals(List.of(), failure.get("also"));

        console.reset();
        assertEquals(Main.NO_DEVICE, console.run("--json", "scan", "-d", "Nonesuch"));
        json = JsonParser.object(console.out());
        assertEquals(4L, json.get("status"));
        assertNull(json.get("device"));
        assertEquals(Map.of("code", "none", "text", "no device Nonesuch (see 'list')", "source", "none", "device", "none",
                "also", List.of()), nullsAsNone(json.get("failure")));
    }

    /**
     * A device that is listed but cannot be opened is a warning of every command, with its name
     * and code; a command that needs it fails with both. Only a manager that cannot be opened
     * is said to be one.
     */
    @Test
    void aDeviceThatCannotBeOpenedIsWarnedAndFailsTheCommandThatNeedsIt() throws Exception {
        Winsim.loadDevices("[{\"kind\": \"scanner\", \"id\": \"s\", \"name\": \"Scanner\"},"
                + " {\"kind\": \"camera\", \"id\": \"gone\", \"name\": \"Gone Camera\", \"vanishes\": true}]");
        String warning = "device \"Gone Camera\" (gone) cannot be opened: error 0x80210015: "
                + "No WIA device of the selected type is available.";

        assertEquals(Main.OK, console.run("--json", "list"), console.err());
        assertEquals("vestaro: warning: " + warning + NL, console.err());
        Map<String, Object> json = JsonParser.object(console.out());
        assertEquals(List.of(warning), json.get("warnings"));
        assertEquals(List.of("Scanner"), ((List<?>) json.get("devices")).stream()
                .map(device -> ((Map<?, ?>) device).get("name")).toList());

        String failed = "vestaro: cannot open \"Gone Camera\": error 0x80210015: No WIA device of the selected type is available.";
        for (String device : new String[] {null, "gone", "gone camera"}) {
            console.reset();
            int status = device == null ? console.run("--json", "camera", "-o", temp.toString())
                    : console.run("--json", "camera", "-d", device, "-o", temp.toString());
            assertEquals(Main.FAILED, status, device);
            assertEquals("vestaro: warning: " + warning + NL + failed + NL, console.err());
            json = JsonParser.object(console.out());
            assertEquals(List.of(warning), json.get("warnings"));
            @SuppressWarnings("unchecked")
            Map<String, Object> failure = (Map<String, Object>) json.get("failure");
            assertEquals("0x80210015", failure.get("code"));
            assertEquals(Map.of("name", "Gone Camera", "id", "gone"), failure.get("device"));
        }
        console.reset();
        assertEquals(Main.NO_DEVICE, console.run("camera", "-d", "Other", "-o", temp.toString()), "another device is not there");
        assertTrue(console.err().endsWith("vestaro: no device Other (see 'list')" + NL), console.err());
        console.reset();
        assertEquals(Main.OK, console.run("scan", "-o", temp.toString(), "-r", "50"), "the other device works");
        assertTrue(console.err().startsWith("vestaro: warning: " + warning + NL), console.err());

        // The only device listed cannot be opened: the manager opened, the device failed.
        Winsim.loadDevices("[{\"kind\": \"camera\", \"id\": \"gone\", \"name\": \"Gone Camera\", \"vanishes\": true}]");
        for (String command : new String[] {"list", "camera"}) {
            console.reset();
            assertEquals(Main.FAILED, console.run(command), command);
            assertEquals("vestaro: warning: " + warning + NL + failed + NL, console.err());
        }
    }

    @SuppressWarnings("unchecked")
    private static Map<String, Object> nullsAsNone(Object object) {
        Map<String, Object> copy = new java.util.HashMap<>((Map<String, Object>) object);
        copy.replaceAll((name, value) -> value == null ? "none" : value);
        return copy;
    }

    /** Names with quotes, backslashes, control characters and characters beyond ASCII survive as JSON. */
    @Test
    void listNamesEveryDeviceAndItsJsonEscapesEveryName() throws Exception {
        String odd = "Say \"cheese\" \\ tab\there \u00e9\u20ac\ud83d\ude00";
        Winsim.loadDevices("[{\"kind\": \"scanner\", \"id\": \"s\\\\1\", \"name\": \"Plain\"},"
                + " {\"kind\": \"camera\", \"id\": \"c\", \"name\": \"Say \\\"cheese\\\" \\\\ tab\\there \u00e9\u20ac\ud83d\ude00\"}]");
        assertEquals(Main.OK, console.run("list", "--json"), console.err());

        String text = console.out();
        assertTrue(text.chars().allMatch(c -> c == '\n' || (c >= 0x20 && c < 0x7F)), "printable ASCII only: " + text);
        Map<String, Object> json = JsonParser.object(text);
        assertEquals(List.of("command", "status", "devices", "warnings", "failure"), List.copyOf(json.keySet()));
        assertEquals(List.of(
                Map.of("number", 1L, "name", "Plain", "id", "s\\1", "kind", "scanner", "type", 0x10000L),
                Map.of("number", 2L, "name", odd, "id", "c", "kind", "camera", "type", 0x20000L)), json.get("devices"));
        assertNull(json.get("failure"));
    }

    @Test
    void debugIsSetBeforeTheManagerOpensAndShowsTheJavaSidesMessages() throws Exception {
        boolean[] debugAtOpen = new boolean[1];
        int status = console.main(() -> {
            debugAtOpen[0] = Manager.debug;
            return WIAManager.open();
        }).run("camera", "--debug", "-o", temp.toString());

        assertEquals(Main.OK, status, console.err());
        assertTrue(debugAtOpen[0]);
        assertTrue(console.err().matches("(?s).*\\Rvestaro: WIACamera \"Virtual Camera\" \\(\\{.*\\}\\\\0001\\): image 3 \\(jpg\\) "
                + ".*: jpeg 320x240, 72 dpi, 24 bits per pixel\\R.*"), console.err());

        console.reset();
        Manager.debug = false;
        assertEquals(Main.OK, console.run("camera", "-o", temp.toString()));
        assertEquals("transferring every picture of \"Virtual Camera\"" + NL, console.err(), "no debug message without --debug");
    }

    /** Scripts get one JSON document from every run with --json, whatever the run was. */
    @Test
    void everyRunWithJsonPrintsOneDocument() throws Exception {
        Object[][] runs = {
            {new String[] {"--json", "frobnicate"}, null, "unknown command: frobnicate"},
            {new String[] {"scan", "--foo", "--json"}, "scan", "unknown option: --foo"},
            {new String[] {"--json", "list", "-o", "x"}, "list", "--output is not an option of list"},
            {new String[] {"list", "--json=yes"}, "list", "--json takes no value"},
            {new String[] {"--json"}, null, "no command"},
        };
        for (Object[] wrong : runs) {
            console.reset();
            String[] args = (String[]) wrong[0];
            assertEquals(Main.USAGE, console.run(args));
            Map<String, Object> json = JsonParser.object(console.out());
            String what = String.join(" ", args);
            assertEquals(wrong[1], json.get("command"), what);
            assertEquals(2L, json.get("status"), what);
            assertEquals(Map.of("code", "none", "text", wrong[2], "source", "none", "device", "none", "also", List.of()),
                    nullsAsNone(json.get("failure")), what);
            assertEquals(List.of(), json.get("warnings"), what);
        }
        assertEquals(List.of("command", "status", "device", "folder", "images", "warnings", "failure"),
                List.copyOf(JsonParser.object(runJson("scan", "--foo")).keySet()), "the keys of the command's own document");

        Map<String, Object> help = JsonParser.object(runJson("help", "scan"));
        assertEquals(Map.of("command", "help", "status", 0L, "usage", Usage.SCAN, "warnings", List.of(), "failure", "none"),
                nullsAsNone(help));
        assertEquals(Usage.CAMERA, JsonParser.object(runJson("camera", "--help")).get("usage"));
        assertEquals(Map.of("command", "version", "status", 0L, "version", "12.0.0", "warnings", List.of(), "failure", "none"),
                nullsAsNone(JsonParser.object(runJson("--version"))));
        assertEquals("", console.err());
    }

    private String runJson(String... args) {
        console.reset();
        String[] withJson = Arrays.copyOf(args, args.length + 1);
        withJson[args.length] = "--json";
        console.run(withJson);
        return console.out();
    }

    /**
     * A folder that cannot take the images fails before the device runs, in words: a file in
     * its place, and sysfs, which refuses new files to root too.
     */
    @Test
    void aFolderThatCannotTakeTheImagesFailsBeforeTheDeviceRuns() throws Exception {
        Path file = Files.writeString(temp.resolve("file"), "");
        assertEquals(Main.FAILED, console.run("--json", "camera", "-o", file.toString()));
        Map<String, Object> json = JsonParser.object(console.out());
        assertEquals(Map.of("code", "none", "text", file + " is a file", "source", "none", "device", "none", "also", List.of()),
                nullsAsNone(json.get("failure")));
        assertEquals(List.of(), json.get("images"));
        assertEquals("vestaro: " + file + " is a file" + NL, console.err());

        Path refusing = Path.of("/sys/kernel");
        assumeTrue(Files.isDirectory(refusing), "sysfs is mounted");
        console.reset();
        assertEquals(Main.FAILED, console.run("scan", "-o", refusing.toString()));
        assertTrue(console.err().matches("vestaro: cannot write into /sys/kernel: (permission denied|read-only file system)\\R"),
                console.err());
        assertEquals("", console.out());
        assertEquals(List.of(), Winsim.journal("IWiaDataTransfer::idtGetData"), "nothing acquired");
    }

    /** A device's name or id cannot drive the terminal: control characters are printed as escapes. */
    @Test
    void controlCharactersOfNamesAndIdsAreEscapedInTheText() throws Exception {
        Winsim.loadDevices("[{\"kind\": \"scanner\", \"id\": \"s\\u001b]0;owned\\u0007\\\\1\","
                + " \"name\": \"Clear\\u001b[2J\\r\\nScreen\\u009b\"}]");
        assertEquals(Main.OK, console.run("list"), console.err());
        assertEquals(" 1  scanner  Clear\\x1b[2J\\r\\nScreen\\x9b  s\\x1b]0;owned\\x07\\1" + NL + "1 device" + NL, console.out());

        console.reset();
        assertEquals(Main.NO_DEVICE, console.run("camera", "-d", "1"));
        assertEquals("vestaro: \"Clear\\x1b[2J\\r\\nScreen\\x9b\" is a scanner, not a camera" + NL, console.err());
        console.reset();
        assertEquals(Main.OK, console.run("--debug", "scan", "-r", "50", "-o", temp.toString()), console.err());
        String text = console.err() + console.out();
        assertTrue(text.contains("scanning with \"Clear\\x1b[2J\\r\\nScreen\\x9b\", asking 50 dpi"), text);
        assertTrue(text.contains("WIAScanner \"Clear\\x1b[2J\\r\\nScreen\\x9b\" (s\\x1b]0;owned\\x07\\1): image 1"), text);
        assertTrue(text.chars().noneMatch(c -> Character.getType(c) == Character.CONTROL && c != '\n'),
                "no control character but the line ends");
    }
}
