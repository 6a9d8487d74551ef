package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.EnumSet;
import java.util.List;
import java.util.Optional;
import java.util.Set;
import java.util.stream.IntStream;
import org.junit.jupiter.api.Test;

/**
 * The library's capabilities read as the API offers them, and the writes a scan asks of the
 * library from its settings and those capabilities, refusals included.
 */
class ScanPlanTest {
    /** The head of the library's answer: document handling, bed, sheet, page on the root, current resolution. */
    private static int[] head(int handling, int status, int select, int pages, int bedWidth, int bedHeight,
            int sheetWidth, int sheetHeight, int pageOnRoot, int resolution) {
        return new int[] {handling, status, select, pages, bedWidth, bedHeight, sheetWidth, sheetHeight, pageOnRoot,
            resolution};
    }

    /** The head, then a range of 50 to 1200 dpi, every data type, and the depths 24 and 48 of colour. */
    private static int[] answer(int[] head) {
        return IntStream.concat(IntStream.of(head), IntStream.of(1, 4, 50, 150, 1200, 1, 3, 0, 2, 3, 2, 24, 48)).toArray();
    }

    /** The virtual flatbed: no feeder, a bed of 8.5 x 11.693 inches, at 150 dpi. */
    private static final int[] FLATBED = answer(head(0x02, 0x02, 0x02, -1, 8500, 11693, -1, -1, 0, 150));
    /** A flatbed with a duplex feeder that has paper, sheets of up to 8.5 x 14 inches, the page on its root. */
    static final int[] DUPLEX = answer(head(0x02 | 0x01 | 0x04 | 0x20, 0x01 | 0x02, 0x02, 1, 8500, 11693, 8500,
            14000, 1, 150));
    /** A sheet-fed scanner without a flatbed, whose page is the scan item's area, sheets of 8.5 x 11 inches. */
    private static final int[] SHEET_FED = answer(head(0x01, 0x20, 0x01, 1, -1, -1, 8500, 11000, 0, 200));

    private static ScanPlan plan(int[] capabilities, ScanSettings settings) {
        return ScanPlan.of("\"S\"", settings, ScannerCapabilities.of(capabilities));
    }

    @Test
    void capabilitiesAsTheApiOffersThem() {
        ScannerCapabilities flatbed = ScannerCapabilities.of(FLATBED);
        assertEquals(Set.of(ScanSource.FLATBED), flatbed.getSources());
        assertEquals(Optional.of(PageSize.ofThousandths(8500, 11693)), flatbed.getBedSize());
        assertEquals(Optional.empty(), flatbed.getSheetSize());
        assertFalse(flatbed.isFeederReady());
        assertEquals("50 to 1200 dpi in steps of 1", flatbed.getResolutions().toString());
        assertEquals(EnumSet.of(ColorMode.BLACK_AND_WHITE, ColorMode.GRAY_8, ColorMode.COLOR_24, ColorMode.COLOR_48),
                flatbed.getColorModes(), "the depths are colour's: 16-bit grey is not known");

        ScannerCapabilities duplex = ScannerCapabilities.of(DUPLEX);
        assertEquals(EnumSet.allOf(ScanSource.class), duplex.getSources());
        assertTrue(duplex.isFeederReady());
        assertFalse(duplex.isPaperJammed());
        ScannerCapabilities jammed = ScannerCapabilities.of(SHEET_FED);
        assertEquals(Set.of(ScanSource.FEEDER), jammed.getSources());
        assertTrue(jammed.isPaperJammed());
        assertFalse(jammed.isFeederReady());

        // A device without document handling has its flatbed alone; a list of resolutions; grey's depths.
        int[] plain = IntStream.concat(IntStream.of(head(-1, -1, -1, -1, -1, -1, -1, -1, -1, 300)),
                IntStream.of(2, 3, 300, 75, 150, 1, 2, 2, 8, 16)).toArray();
        ScannerCapabilities listed = ScannerCapabilities.of(plain);
        assertEquals(Set.of(ScanSource.FLATBED), listed.getSources());
        assertEquals(Optional.empty(), listed.getBedSize());
        assertEquals(List.of(75, 150, 300), listed.getResolutions().getValues());
        assertEquals("75, 150, 300 dpi", listed.getResolutions().toString());
        assertEquals(EnumSet.of(ColorMode.GRAY_8, ColorMode.GRAY_16), listed.getColorModes());
        assertEquals(300, listed.resolutionFor(100), "a resolution the device refuses leaves its own");
        assertEquals(75, listed.resolutionFor(75));
    }

    @Test
    void anAnswerThatEndsEarlyOrCountsWronglyIsAnError() {
        int[][] wrong = {
            null, {}, head(0, 0, 0, 0, 0, 0, 0, 0, 0, 150),
            IntStream.concat(IntStream.of(head(0, 0, 0, 0, 0, 0, 0, 0, 0, 150)), IntStream.of(1, -1)).toArray(),
            IntStream.concat(IntStream.of(head(0, 0, 0, 0, 0, 0, 0, 0, 0, 150)), IntStream.of(2, 5, 75)).toArray(),
            IntStream.concat(IntStream.of(head(0, 0, 0, 0, 0, 0, 0, 0, 0, 150)), IntStream.of(0, 0, 0, Integer.MAX_VALUE)).toArray(),
        };
        for (int[] answer : wrong) {
            assertThrows(IllegalStateException.class, () -> ScannerCapabilities.of(answer));
        }
    }

    @Test
    void theFlatbedGetsItsSourceAndTheWholeBedAtTheResolution() {
        ScanPlan plan = plan(FLATBED, ScanSettings.of(ScanSource.FLATBED).withResolution(100).withColorMode(ColorMode.GRAY_8));
        assertArrayEquals(new int[] {3088, 2}, plan.rootWrites());
        assertArrayEquals(new int[] {6147, 100, 6148, 100, 4103, 2, 4104, 8, 6149, 0, 6150, 0, 6151, 850, 6152, 1169},
                plan.itemWrites());
        assertEquals(1, plan.maxPages());
        assertFalse(plan.isDuplex());

        // A resolution the device does not offer: the area is laid out at the one it keeps.
        ScanPlan refused = plan(FLATBED, ScanSettings.of(ScanSource.FLATBED).withResolution(5000).withPageSize(PageSize.A5));
        assertArrayEquals(new int[] {6147, 5000, 6148, 5000, 4103, 3, 4104, 24, 6149, 0, 6150, 0, 6151, 874, 6152, 1240},
                refused.itemWrites());
    }

    @Test
    void theFeederGetsItsSourcePageCountAndPage() {
        ScanPlan duplex = plan(DUPLEX, ScanSettings.of(ScanSource.DUPLEX).withPageSize(PageSize.A5).withResolution(150));
        assertArrayEquals(new int[] {3088, 0x01 | 0x04 | 0x08, 3096, 0, 3098, 5827, 3099, 8268}, duplex.rootWrites());
        assertArrayEquals(new int[] {6147, 150, 6148, 150, 4103, 3, 4104, 24, 6149, 0, 6150, 0, 6151, 874, 6152, 1240},
                duplex.itemWrites());
        assertEquals(0, duplex.maxPages());
        assertTrue(duplex.isDuplex());

        // Without a page size the feeder's page stays the device's own; a sheet-fed device takes the page as the area.
        ScanPlan simplex = plan(DUPLEX, ScanSettings.of(ScanSource.FEEDER).withPages(5));
        assertArrayEquals(new int[] {3088, 0x01, 3096, 5}, simplex.rootWrites());
        assertEquals(8, simplex.itemWrites().length);
        assertEquals(5, simplex.maxPages());
        ScanPlan sheetFed = plan(SHEET_FED, ScanSettings.of(ScanSource.FEEDER).withPageSize(PageSize.LETTER).withResolution(200));
        assertArrayEquals(new int[] {3088, 0x01, 3096, 0}, sheetFed.rootWrites());
        assertArrayEquals(new int[] {6149, 0, 6150, 0, 6151, 1700, 6152, 2200},
                java.util.Arrays.copyOfRange(sheetFed.itemWrites(), 8, 16));
    }

    @Test
    void whatTheDeviceCannotDoIsRefusedWithTheSizesInTheUnitsAsked() {
        int[] smallBed = answer(head(0x02, 0x02, 0x02, -1, 7874, 9843, -1, -1, 0, 150));
        String[][] refused = {
            {"A4 (210 x 297 mm) is larger than the bed (200 x 250 mm)"},
            {"Legal (8.5 x 14 in) is larger than the largest sheet the feeder takes (8.5 x 11 in)"},
            {"\"S\" has no document feeder"},
            {"\"S\" has no document feeder"},
            {"\"S\" has no flatbed: its pages come from the feeder"},
            {"\"S\" cannot scan both sides: its feeder has no duplex unit"},
            {"the flatbed scans one page, not 3: more pages come from the feeder"},
        };
        Runnable[] scans = {
            () -> plan(smallBed, ScanSettings.of(ScanSource.FLATBED).withPageSize(PageSize.A4)),
            () -> plan(SHEET_FED, ScanSettings.of(ScanSource.FEEDER).withPageSize(PageSize.LEGAL)),
            () -> plan(FLATBED, ScanSettings.of(ScanSource.FEEDER)),
            () -> plan(FLATBED, ScanSettings.of(ScanSource.DUPLEX)),
            () -> plan(SHEET_FED, ScanSettings.of(ScanSource.FLATBED)),
            () -> plan(SHEET_FED, ScanSettings.of(ScanSource.DUPLEX)),
            () -> plan(DUPLEX, ScanSettings.of(ScanSource.FLATBED).withPages(3)),
        };
        for (int i = 0; i < scans.length; i++) {
            assertEquals(refused[i][0], assertThrows(ScanRefusedException.class, scans[i]::run).getMessage());
        }
        assertEquals(1, plan(smallBed, ScanSettings.of(ScanSource.FLATBED).withPages(1)).maxPages());
        assertTrue(plan(DUPLEX, ScanSettings.of(ScanSource.FEEDER).withPageSize(PageSize.LEGAL)).rootWrites().length > 0,
                "a page as large as the sheet fits");
    }
}
