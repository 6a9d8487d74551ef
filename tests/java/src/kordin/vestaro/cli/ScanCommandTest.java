package kordin.vestaro.cli;

import static kordin.vestaro.cli.Console.NL;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.regex.Pattern;
import kordin.vestaro.testsupport.JsonParser;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import kordin.vestaro.wia.PageSide;
import kordin.vestaro.wia.PageSize;
import kordin.vestaro.wia.ScanSource;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.io.TempDir;

/** The scan of pages and info on the command line, in this VM over the real library and virtual feeders. */
@ExtendWith(WinsimExtension.class)
class ScanCommandTest {
    @TempDir
    Path temp;

    private final Console console = new Console();

    /** Runs the command line with nothing captured before. */
    private int run(String... args) {
        console.reset();
        return console.run(args);
    }


    /** A scanner with a duplex feeder of `sheets` sheets (sheet `jamAt` jams), at 50, 100 or 150 dpi. */
    private static void feeder(int sheets, int jamAt) {
        Winsim.loadDevices("[{\"kind\": \"scanner\", \"id\": \"feed\", \"name\": \"Feeder Scanner\", \"resolutions\": [50, 100, 150],"
                + " \"feeder\": {\"sheets\": " + sheets + ", \"duplex\": true, \"jamAt\": " + jamAt + "}}]");
    }

    @Test
    void theOptionsOfAScanOfPagesAndWhatTheyCannotBeCombinedWith() throws Exception {
        CommandLine line = CommandLine.parse("scan", "--source", "Duplex", "--pages", "all", "--page-size", "210x297mm",
                "--progress");
        assertEquals(ScanSource.DUPLEX, line.source);
        assertEquals(0, line.pages);
        assertEquals(PageSize.millimetres(210, 297), line.pageSize);
        assertTrue(line.progress && line.scansPages());
        assertEquals(PageSize.LETTER, CommandLine.parse("scan", "--source=feeder", "--pages", "3", "--page-size", "Letter").pageSize);
        assertEquals(PageSize.inches(8.5, 11), CommandLine.parse("scan", "--page-size=8.5x11in").pageSize);
        assertEquals("2", CommandLine.parse("info", "-d", "2").device);

        String[][] wrong = {
            {"scan", "--source", "adf"}, {"unknown source adf (flatbed, feeder, duplex)"},
            {"scan", "--pages", "0", "--source", "feeder"}, {"--pages needs a count of 1 or more, or all: 0"},
            {"scan", "--pages", "some"}, {"--pages needs a whole number: some"},
            {"scan", "--page-size", "a3"}, {"unknown page size a3 (a4, a5, letter, legal, WxHmm or WxHin)"},
            {"scan", "--page-size", "10x10cm"}, {"unknown page size 10x10cm (a4, a5, letter, legal, WxHmm or WxHin)"},
            {"scan", "--page-size", "0x10mm"}, {"--page-size 0x10mm: a page's width must be a positive number: 0.0"},
            {"scan", "--area", "0,0,1,1", "--page-size", "a4"}, {"--area cannot be combined with --page-size"},
            {"scan", "--progress", "--dialog"}, {"--dialog cannot be combined with --progress"},
            {"scan", "--pages", "2"}, {"--pages 2 needs --source feeder or duplex: the flatbed scans one page"},
            {"camera", "--source", "feeder"}, {"--source is not an option of camera"},
            {"info", "-o", "x"}, {"--output is not an option of info"},
            {"list", "-d", "1"}, {"--device is not an option of list"},
        };
        for (int i = 0; i < wrong.length; i += 2) {
            String[] args = wrong[i];
            assertEquals(wrong[i + 1][0], assertThrows(CommandLine.UsageException.class, () -> CommandLine.parse(args),
                    String.join(" ", args)).getMessage());
        }
    }

    @Test
    void progressIsABarRedrawnOnATerminalAndLinesOtherwise() {
        ByteArrayOutputStream lines = new ByteArrayOutputStream();
        ProgressPrinter simplex = new ProgressPrinter(new PrintStream(lines, true, StandardCharsets.UTF_8), false, false);
        int[][] reports = {{1, 0}, {1, 5}, {1, 13}, {1, 19}, {1, 40}, {1, 100}, {2, 0}, {2, 100}};
        for (int[] report : reports) {
            simplex.progress(report[0], PageSide.FRONT, report[1]);
        }
        assertEquals(String.join(NL, "page 1: 0%", "page 1: 13%", "page 1: 40%", "page 1: 100%", "page 2: 0%",
                "page 2: 100%", ""), lines.toString(StandardCharsets.UTF_8));

        ByteArrayOutputStream bar = new ByteArrayOutputStream();
        ProgressPrinter duplex = new ProgressPrinter(new PrintStream(bar, true, StandardCharsets.UTF_8), true, true);
        duplex.progress(1, PageSide.FRONT, 50);
        duplex.progress(1, PageSide.FRONT, 100);
        duplex.progress(2, PageSide.BACK, 10);
        duplex.endLine();
        duplex.endLine();
        assertEquals("\rpage 1 (front) [###############...............]  50%"
                + "\rpage 1 (front) [##############################] 100%" + NL
                + "\rpage 2 (back) [###...........................]  10%" + NL, bar.toString(StandardCharsets.UTF_8));
    }

    @SuppressWarnings("unchecked")
    private static List<Map<String, Object>> images(Map<String, Object> json) {
        return (List<Map<String, Object>>) json.get("images");
    }

    @Test
    void aDuplexBatchListsEachPageWithItsSideAndTheJsonToo() throws Exception {
        feeder(2, 0);
        assertEquals(Main.OK, run("--json", "scan", "--source", "duplex", "-r", "50", "-m", "gray", "-o", temp.toString()),
                console.err());
        assertEquals("scanning with \"Feeder Scanner\" from its feeder, both sides, all pages, asking 50 dpi, mode gray" + NL,
                console.err());
        Map<String, Object> json = JsonParser.object(console.out());
        assertEquals(List.of(1L, 2L, 3L, 4L), images(json).stream().map(image -> image.get("index")).toList());
        assertEquals(List.of("front", "back", "front", "back"), images(json).stream().map(image -> image.get("side")).toList());
        assertEquals(List.of("scan-001.jpg", "scan-002.jpg", "scan-003.jpg", "scan-004.jpg"), names(temp));
        assertNull(json.get("failure"));

        feeder(1, 0);
        assertEquals(Main.OK, run("scan", "--source", "duplex", "-r", "50", "-o", temp.resolve("text").toString()), console.err());
        // The feeder's own page: A4 as WIA 1.0 sizes it, 8.267 x 11.692 inches.
        assertTrue(console.out().matches("  1  front  scan-001\\.jpg  413x584, 50 dpi, 24 bits, jpeg, [0-9,]+ bytes\\R"
                + "  2  back   scan-002\\.jpg  413x584, 50 dpi, 24 bits, jpeg, [0-9,]+ bytes\\R"
                + "2 images kept in " + Pattern.quote(temp.resolve("text").toString()) + "\\R"), console.out());
    }

    @Test
    void pageCountPageSizeAndProgressLines() throws Exception {
        feeder(5, 0);
        assertEquals(Main.OK, run("scan", "--source", "feeder", "--pages", "2", "--page-size", "a5", "-r", "100",
                "--progress", "-o", temp.toString()), console.err());
        assertTrue(console.err().startsWith("scanning with \"Feeder Scanner\" from its feeder, 2 pages, page size A5 (148 x 210 mm),"
                + " asking 100 dpi, mode color" + NL + "page 1: 0%" + NL), console.err());
        assertTrue(console.err().contains("page 1: 100%" + NL + "page 2: 0%" + NL), console.err());
        assertTrue(console.err().endsWith("page 2: 100%" + NL), console.err());
        assertTrue(console.out().matches("(?s)  1  scan-001\\.jpg  582x826, 100 dpi, .*  2  scan-002\\.jpg  582x826, 100 dpi, .*"),
                console.out());
    }

    @Test
    void anEmptyFeederAJamAndAPageTooLargeEachHaveTheirStatus() throws Exception {
        feeder(0, 0);
        assertEquals(Main.NOTHING, run("scan", "--source", "feeder", "-o", temp.toString()));
        assertTrue(console.err().endsWith("vestaro: no image: the feeder is empty" + NL), console.err());

        feeder(5, 3);
        assertEquals(Main.FAILED, run("--json", "scan", "--source", "feeder", "-r", "50", "-o", temp.toString()));
        assertTrue(console.err().endsWith("vestaro: error 0x80210002: Paper is jammed in the scanner's document feeder." + NL), console.err());
        Map<String, Object> json = JsonParser.object(console.out());
        assertEquals(2, images(json).size(), "the pages before the jam are kept");
        assertEquals("0x80210002", ((Map<?, ?>) json.get("failure")).get("code"));
        assertEquals(List.of("scan-001.jpg", "scan-002.jpg"), names(temp));

        assertEquals(Main.FAILED, run("scan", "--source", "feeder", "--page-size", "9x15in", "-o", temp.toString()));
        assertEquals("scanning with \"Feeder Scanner\" from its feeder, all pages, page size 9 x 15 in, asking 300 dpi,"
                + " mode color" + NL + "vestaro: 9 x 15 in is larger than the largest sheet the feeder takes (8.5 x 14 in)" + NL,
                console.err());
        assertEquals(Main.FAILED, run("scan", "--page-size", "216x100mm", "-o", temp.toString()));
        assertTrue(console.err().endsWith("vestaro: 216 x 100 mm is larger than the bed (215.9 x 297 mm)" + NL), console.err());
        Winsim.reset();
        assertEquals(Main.FAILED, run("scan", "--source", "feeder", "-o", temp.toString()));
        assertTrue(console.err().endsWith("vestaro: \"Virtual Flatbed Scanner\" has no document feeder" + NL), console.err());
        assertEquals(List.of("scan-001.jpg", "scan-002.jpg"), names(temp), "nothing more scanned");
    }

    @Test
    void infoShowsWhatAScannerOffers() throws Exception {
        feeder(3, 0);
        assertEquals(Main.OK, run("info"), console.err());
        assertEquals(String.join(NL,
                "\"Feeder Scanner\" (feed)",
                "  sources      flatbed, feeder, duplex",
                "  bed          215.9 x 297 mm (8.5 x 11.693 in)",
                "  sheets       up to 215.9 x 355.6 mm (8.5 x 14 in)",
                "  feeder       paper ready",
                "  resolutions  50, 100, 150 dpi, now 150",
                "  modes        bw, gray, color",
                ""), console.out());

        assertEquals(Main.OK, run("--json", "info", "-d", "1"), console.err());
        Map<String, Object> json = JsonParser.object(console.out());
        assertEquals(List.of("command", "status", "device", "capabilities", "warnings", "failure"), List.copyOf(json.keySet()));
        assertEquals(Map.of("sources", List.of("flatbed", "feeder", "duplex"),
                "bed", Map.of("width", 8500L, "height", 11693L), "sheet", Map.of("width", 8500L, "height", 14000L),
                "feederReady", true, "paperJammed", false, "resolution", 150L, "resolutions", Map.of("values", List.of(50L, 100L, 150L)),
                "modes", List.of("bw", "gray", "color")), json.get("capabilities"));

        Winsim.reset();
        assertEquals(Main.OK, run("info"), console.err());
        assertTrue(console.out().contains("  resolutions  50 to 1200 dpi in steps of 1, now 150" + NL), console.out());
        assertTrue(!console.out().contains("feeder"), "no feeder, no feeder lines: " + console.out());
        assertEquals(Main.NO_DEVICE, run("info", "-d", "2"));
        assertEquals("vestaro: \"Virtual Camera\" is a camera, not a scanner" + NL, console.err());
    }
}
