package kordin.vestaro.cli;

import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.regex.Pattern;
import kordin.vestaro.testsupport.Jar;
import kordin.vestaro.testsupport.JsonParser;
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
        return run(name, devices, List.of(), args);
    }

    private Jar.Result run(String name, String devices, List<String> vmOptions, String... args) throws Exception {
        Jar.Result result = Jar.run(Files.createDirectories(temp.resolve(name)), devices, vmOptions, args);
        assertEquals(List.of(), names(result.tmp()), "the temporary folder is left empty\n" + result);
        return result;
    }

    @SuppressWarnings("unchecked")
    private static List<Map<String, Object>> list(Object value) {
        return (List<Map<String, Object>>) value;
    }

    @Test
    void resultsOnStandardOutputAndProgressOnStandardError() throws Exception {
        Jar.Result list = run("list", null, "list");
        assertEquals(0, list.status(), list.toString());
        assertTrue(list.out().matches("(?s) 1  scanner  Virtual Flatbed Scanner  \\{6BDD.*\\}\\\\0000\\R"
                + " 2  camera   Virtual Camera  .*\\\\0001\\R2 devices\\R"), list.toString());

        Path out = temp.resolve("out");
        Jar.Result scan = run("scan", null, "scan", "-o", out.toString(), "-r", "100", "-m", "gray");
        assertEquals(0, scan.status(), scan.toString());
        assertEquals("850x1169 gray", describe(out.resolve("scan-001.jpg")));
        assertTrue(scan.out().matches("  1  scan-001\\.jpg  850x1169, 100 dpi, 8 bits, jpeg, [0-9,]+ bytes\\R"
                + "1 image kept in " + Pattern.quote(out.toString()) + "\\R"), scan.toString());
        assertTrue(scan.err().matches("scanning with \"Virtual Flatbed Scanner\", asking 100 dpi, mode gray\\R"),
                scan.toString());

        Jar.Result version = run("version", null, "--version");
        assertEquals(0, version.status(), version.toString());
        assertEquals("vestaro 12.0.0", version.out().strip());
    }

    @Test
    void theJsonOfEachCommandParses() throws Exception {
        Map<String, Object> list = JsonParser.object(run("list", null, "--json", "list").out());
        assertEquals(0L, list.get("status"));
        assertEquals(List.of("scanner", "camera"), list(list.get("devices")).stream().map(d -> d.get("kind")).toList());
        assertEquals(List.of(1L, 2L), list(list.get("devices")).stream().map(d -> d.get("number")).toList());

        Path out = temp.resolve("out");
        Jar.Result scanned = run("scan", null, "scan", "--json", "-o", out.toString(), "-r", "5000", "-m", "bw");
        assertEquals(0, scanned.status(), scanned.toString());
        assertTrue(scanned.err().contains("vestaro: warning: asked 5000 dpi, the device scanned at 150"), scanned.toString());
        Map<String, Object> scan = JsonParser.object(scanned.out());
        assertEquals(List.of("command", "status", "device", "folder", "images", "warnings", "failure"),
                List.copyOf(scan.keySet()));
        assertEquals(List.of("asked 5000 dpi, the device scanned at 150"), scan.get("warnings"));
        assertEquals("Virtual Flatbed Scanner", ((Map<?, ?>) scan.get("device")).get("name"));
        Map<String, Object> page = list(scan.get("images")).get(0);
        assertEquals(out.resolve("scan-001.jpg").toString(), page.get("path"));
        assertEquals(Files.size(out.resolve("scan-001.jpg")), page.get("size"));
        assertEquals(Map.of("width", 1275L, "height", 1753L), page.get("pixels"));
        assertEquals(8L, page.get("depth"));

        Jar.Result transferred = run("camera", null, "--json", "camera", "--prefix", "p", "-o", out.toString());
        assertEquals(0, transferred.status(), transferred.toString());
        Map<String, Object> camera = JsonParser.object(transferred.out());
        assertEquals(out.toString(), camera.get("folder"));
        assertEquals(List.of("p-001.jpg", "p-002.jpg", "p-003.jpg"),
                list(camera.get("images")).stream().map(i -> Path.of((String) i.get("path")).getFileName().toString()).toList());
        assertEquals(Map.of("x", 72L, "y", 72L), list(camera.get("images")).get(2).get("dpi"));
        assertEquals(List.of(), camera.get("warnings"));
        assertNull(camera.get("failure"));
        assertEquals("transferring every picture of \"Virtual Camera\"", transferred.err().strip());
    }

    @Test
    void eachExitStatusOverTheDeviceSetOfTheEnvironment() throws Exception {
        Path out = temp.resolve("out");
        Jar.Result cancelled = run("dialog", DEVICES, "camera", "--dialog", "-o", out.toString());
        assertEquals(3, cancelled.status(), cancelled.toString());
        assertTrue(cancelled.err().contains("no image: the dialog was cancelled"), cancelled.toString());

        Jar.Result pictures = run("camera", DEVICES, "camera", "-o", out.toString());
        assertEquals(0, pictures.status(), pictures.toString());
        assertEquals("20x10 color", describe(out.resolve("picture-001.jpg")));
        assertEquals("10x20 color", describe(out.resolve("picture-002.jpg")));

        Jar.Result bitmap = run("bmp", DEVICES, "scan", "-d", "bitmap scanner", "-r", "50", "-m", "bw", "-o", out.toString());
        assertEquals(0, bitmap.status(), bitmap.toString());
        assertEquals("100x50 bw", describe(out.resolve("scan-001.bmp")));
        assertTrue(bitmap.out().startsWith("  1  scan-001.bmp  100x50, 50 dpi, 1 bits, bmp, "), bitmap.toString());

        Jar.Result failed = run("failed", DEVICES, "--json", "scan", "-d", "3", "-o", out.toString());
        assertEquals(1, failed.status(), failed.toString());
        assertTrue(failed.err().matches("(?s).*\\Rvestaro: error 0x[0-9a-f]{8}: \\S.*\\R"), failed.toString());
        assertFalse(failed.err().contains("\tat "), failed.toString());
        Map<?, ?> failure = (Map<?, ?>) JsonParser.object(failed.out()).get("failure");
        assertTrue(((String) failure.get("code")).matches("0x[0-9a-f]{8}"), failed.toString());
        assertEquals(List.of("picture-001.jpg", "picture-002.jpg", "scan-001.bmp"), names(out));

        Jar.Result missing = run("missing", DEVICES, "scan", "-d", "9");
        assertEquals(4, missing.status(), missing.toString());
        assertEquals("vestaro: no device 9 (see 'list')", missing.err().strip());

        Jar.Result wrong = run("wrong", DEVICES, "scan", "--foo", "--json");
        assertEquals(2, wrong.status(), wrong.toString());
        assertTrue(wrong.err().startsWith("vestaro: unknown option: --foo"), wrong.toString());
        Map<?, ?> usage = (Map<?, ?>) JsonParser.object(wrong.out()).get("failure");
        assertEquals("unknown option: --foo", usage.get("text"), "a wrong command line has its JSON too");
    }

    /**
     * java -jar ignores -cp, so the virtual artifact runs the command line itself with the
     * main jar beside it, as a script would call it; the usage texts name the jar the user ran.
     */
    @Test
    void theVirtualJarRunsTheCommandLineWithTheMainJarBesideIt() throws Exception {
        Path folder = Files.createDirectories(temp.resolve("lib"));
        Path mainJar = Files.copy(Path.of(Jar.jar()), folder.resolve(Path.of(Jar.jar()).getFileName()));
        Path virtualJar = Files.copy(Path.of(Jar.virtualJar()), folder.resolve(Path.of(Jar.virtualJar()).getFileName()));
        Path work = Files.createDirectories(temp.resolve("script"));
        String ran = work.relativize(virtualJar).toString();

        Jar.Result list = Jar.runJar(work, ran, "list");
        assertEquals(0, list.status(), list.toString());
        assertTrue(list.out().endsWith("2 devices" + System.lineSeparator()), list.toString());

        Jar.Result help = Jar.runJar(work, ran, "help", "scan");
        assertTrue(help.out().startsWith("usage: java -jar " + ran + " [--json] scan [OPTIONS]"), help.toString());
        Jar.Result wrong = Jar.runJar(work, mainJar.toString(), "--foo");
        assertEquals(2, wrong.status(), wrong.toString());
        assertTrue(wrong.err().contains("Run 'java -jar " + mainJar + " help' for the usage."), wrong.toString());
    }

    /** On the module path: the module kordin.vestaro runs the command line, the virtual artifact added to the graph. */
    @Test
    void theModulesRunTheCommandLineFromTheModulePath() throws Exception {
        String modules = Jar.jar() + java.io.File.pathSeparator + Jar.virtualJar();
        Jar.Result list = Jar.runJava(Files.createDirectories(temp.resolve("modules")), List.of("-p", modules,
                "--add-modules", "kordin.vestaro.virtual", "--enable-native-access=kordin.vestaro", "-m", "kordin.vestaro", "list"));
        assertEquals(0, list.status(), list.toString());
        assertTrue(list.out().endsWith("2 devices" + System.lineSeparator()), list.toString());
    }

    /** The property turns the library's diagnostics on for a program that cannot set Manager.debug first. */
    @Test
    void theDebugPropertyTurnsTheLibrarysDiagnosticLinesOnBeforeTheLoad() throws Exception {
        Path out = temp.resolve("out");
        Jar.Result scan = run("property", null, List.of("-Dkordin.vestaro.debug=true"), "scan", "-r", "75", "-o",
                out.toString());
        assertEquals(0, scan.status(), scan.toString());
        assertTrue(scan.err().contains("Item property storage:"), scan.toString());
        assertFalse(scan.err().contains("vestaro: loaded"), "the Java side's debug messages need --debug\n" + scan);
    }

    /**
     * Ctrl-C while a slow feeder makes its second page: the scan is cancelled, the first page
     * stays whole, no partial page or temporary file is left, the JSON is still written and the
     * VM exits with 130.
     */
    @Test
    void ctrlCCancelsAScanOfPagesAndKeepsThePagesThatArrived() throws Exception {
        String slowFeeder = "[{\"kind\": \"scanner\", \"id\": \"slow\", \"name\": \"Slow Feeder\","
                + " \"transferMillis\": 2000, \"feeder\": {\"sheets\": 5}}]";
        Path work = Files.createDirectories(temp.resolve("interrupt"));
        Path out = work.resolve("pages");
        Jar.Running scan = Jar.start(work, slowFeeder, "--json", "scan", "--source", "feeder", "-r", "50", "--progress",
                "-o", out.toString());
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(40);
        Pattern secondPageUnderWay = Pattern.compile("(?s).*page 2: [1-9][0-9]%.*");
        while (!secondPageUnderWay.matcher(scan.errSoFar()).matches()) {
            assertTrue(System.nanoTime() < deadline, "the second page got under way: " + scan.errSoFar());
            Thread.sleep(20);
        }
        scan.signal("INT");
        Jar.Result result = scan.waitFor();

        assertEquals(130, result.status(), result.toString());
        assertEquals(List.of("scan-001.jpg"), names(out));
        assertEquals("413x584 color", describe(out.resolve("scan-001.jpg")));
        assertEquals(List.of(), names(result.tmp()), "no temporary file left\n" + result);
        assertTrue(result.err().endsWith("vestaro: the scan was cancelled" + System.lineSeparator()), result.toString());
        Map<String, Object> json = JsonParser.object(result.out());
        assertEquals(130L, json.get("status"));
        assertEquals(1, list(json.get("images")).size());
    }
}
