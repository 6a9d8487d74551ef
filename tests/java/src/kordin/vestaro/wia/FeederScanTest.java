package kordin.vestaro.wia;

import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.EnumSet;
import java.util.List;
import java.util.Optional;
import java.util.Set;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import kordin.vestaro.VestaroException;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.io.TempDir;

/**
 * Scans of pages with the real library on virtual scanners with document feeders: the
 * pages in the order of the sheets with their sides, the outcomes, a jam, a cancel from
 * another thread, progress, page sizes as the area the device was asked for, the refusals
 * before anything is scanned, and the capabilities. The virtual feeder's page is WIA 1.0's
 * A4 (8.267 x 11.692 inches) unless written.
 */
@ExtendWith(WinsimExtension.class)
class FeederScanTest {
    private static final int WIA_ERROR_PAPER_JAM = 0x80210002;
    private static final Pattern SHEET = Pattern.compile("sheet=([0-9]+ (front|back))");

    @TempDir
    Path temp;

    private static void feeder(String feeder, String more) {
        Winsim.loadDevices("[{\"kind\": \"scanner\", \"id\": \"feed\", \"name\": \"Feeder\", \"feeder\": " + feeder + more
                + "}]");
    }

    private static WIAScanner scanner(WIAManager manager) {
        return manager.getScanners().get(0);
    }

    /** The sheets and sides the device fed, from its journal: "1 front", "1 back", ... */
    private static List<String> fed() {
        List<String> sides = new ArrayList<>();
        for (Winsim.Call call : Winsim.journal("IWiaDataTransfer::idtGetData")) {
            Matcher sheet = SHEET.matcher(call.detail());
            if (sheet.find()) {
                sides.add(sheet.group(1));
            }
        }
        return sides;
    }

    /** The values written to the device, as the journal has them ("6151=I4:582"), in order. */
    private static List<String> written() {
        return Winsim.journal("IWiaPropertyStorage::WriteMultiple").stream().map(Winsim.Call::detail).toList();
    }

    private static ScanSettings at50(ScanSource source) {
        return ScanSettings.of(source).withResolution(50);
    }

    @Test
    void theFeederScansToItsEndInTheOrderOfTheSheetsAndDuplexPagesAlternateFrontAndBack() throws Exception {
        feeder("{\"sheets\": 3}", "");
        try (WIAManager manager = WIAManager.open()) {
            ScanResult simplex = scanner(manager).scan(at50(ScanSource.FEEDER), temp.resolve("simplex"));
            assertEquals(ScanOutcome.COMPLETED, simplex.getOutcome());
            assertEquals(List.of("scan-001.jpg", "scan-002.jpg", "scan-003.jpg"), names(temp.resolve("simplex")));
            assertEquals(List.of(temp.resolve("simplex/scan-001.jpg"), temp.resolve("simplex/scan-002.jpg"),
                    temp.resolve("simplex/scan-003.jpg")), simplex.getFiles());
            assertEquals(List.of(1, 2, 3), simplex.getPages().stream().map(ScannedPage::number).toList());
            assertTrue(simplex.getPages().stream().allMatch(page -> page.side() == PageSide.FRONT));
            assertEquals(List.of("1 front", "2 front", "3 front"), fed());
            assertEquals("413x584 color", describe(simplex.getFiles().get(0)));
        }

        feeder("{\"sheets\": 2, \"duplex\": true}", "");
        Winsim.clearJournal();
        List<String> delivered = new ArrayList<>();
        try (WIAManager manager = WIAManager.open()) {
            ScanResult duplex = scanner(manager).scan(at50(ScanSource.DUPLEX), image ->
                    delivered.add(image.getIndex() + " " + image.getSide()));
            assertEquals(ScanOutcome.COMPLETED, duplex.getOutcome());
            assertEquals(List.of("1 FRONT", "2 BACK", "3 FRONT", "4 BACK"), delivered);
            assertEquals(List.of("1 front", "1 back", "2 front", "2 back"), fed());
            assertEquals(List.of(), duplex.getFiles(), "the pages went to a listener");
        }
    }

    /** The paper is the device's: a count takes that many pages, and the next scan goes on from there. */
    @Test
    void aPageCountTakesThatManyAndTheNextScanTheRest() throws Exception {
        feeder("{\"sheets\": 5}", "");
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = scanner(manager);
            assertEquals(2, scanner.scan(at50(ScanSource.FEEDER).withPages(2), temp).getPages().size());
            assertEquals(3, scanner.scan(at50(ScanSource.FEEDER), temp).getPages().size());
            assertEquals(List.of("1 front", "2 front", "3 front", "4 front", "5 front"), fed());
            ScanResult empty = scanner.scan(at50(ScanSource.FEEDER), temp);
            assertEquals(ScanOutcome.FEEDER_EMPTY, empty.getOutcome());
            assertEquals(List.of(), empty.getPages());
            assertEquals(5, names(temp).size());
            assertFalse(scanner.getCapabilities().isFeederReady());
        }
    }

    @Test
    void aJamThrowsAfterThePagesBeforeItWereDelivered() throws Exception {
        feeder("{\"sheets\": 5, \"jamAt\": 3}", "");
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = scanner(manager);
            ImageFolder folder = new ImageFolder(temp, "scan");
            VestaroException jam = assertThrows(VestaroException.class, () -> scanner.scan(at50(ScanSource.FEEDER), folder));
            assertEquals(WIA_ERROR_PAPER_JAM, jam.getCode());
            assertEquals(2, folder.files().size(), "the pages before the jam");
            assertTrue(scanner.getCapabilities().isPaperJammed());
        }
    }

    /** Another thread cancels while the second page is being made: it is dropped, the first stays. */
    @Test
    void aCancelFromAnotherThreadEndsTheScanWithThePagesThatArrived() throws Exception {
        feeder("{\"sheets\": 4}", ", \"transferMillis\": 1500");
        CountDownLatch secondPageUnderWay = new CountDownLatch(1);
        List<String> progress = Collections.synchronizedList(new ArrayList<>());
        ScanSettings settings = at50(ScanSource.FEEDER).withProgressListener((page, side, percent) -> {
            progress.add(page + ":" + percent);
            if (page == 2 && percent >= 20) {
                secondPageUnderWay.countDown();
            }
        });
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = scanner(manager);
            boolean[] cancelled = new boolean[1];
            Thread stop = new Thread(() -> {
                try {
                    if (secondPageUnderWay.await(30, TimeUnit.SECONDS)) {
                        cancelled[0] = scanner.cancel();
                    }
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
            });
            stop.start();
            ScanResult result = scanner.scan(settings, temp);
            stop.join();

            assertTrue(cancelled[0], "a scan was in progress");
            assertEquals(ScanOutcome.CANCELLED, result.getOutcome());
            assertEquals(List.of("scan-001.jpg"), names(temp));
            assertEquals(1, result.getPages().size());
            assertFalse(progress.stream().anyMatch(report -> report.startsWith("3:")), "no third page: " + progress);
            assertFalse(progress.contains("2:100"), progress.toString());
            assertFalse(scanner.cancel(), "nothing to cancel once the scan is over");
            assertTrue(Winsim.journal("IWiaDataTransfer::idtGetData").get(1).detail().contains("cancelled"));
        }
    }

    @Test
    void progressRisesFromZeroToAHundredForEachPageWithItsSide() throws Exception {
        feeder("{\"sheets\": 1, \"duplex\": true}", "");
        List<String> pages = new ArrayList<>();
        List<Integer> percents = new ArrayList<>();
        ScanSettings settings = at50(ScanSource.DUPLEX).withProgressListener((page, side, percent) -> {
            String label = page + " " + side;
            if (pages.isEmpty() || !pages.get(pages.size() - 1).equals(label)) {
                pages.add(label);
                assertEquals(0, percent, "a page starts at 0");
            } else {
                assertTrue(percent > percents.get(percents.size() - 1), "rising: " + percents);
            }
            percents.add(percent);
        });
        try (WIAManager manager = WIAManager.open()) {
            assertEquals(2, scanner(manager).scan(settings, temp).getPages().size());
        }
        assertEquals(List.of("1 FRONT", "2 BACK"), pages);
        assertEquals(100, percents.get(percents.size() - 1));
        assertTrue(percents.size() > 4, "the bands of each page: " + percents);
        assertEquals(2, Collections.frequency(percents, 100), "each page ends at 100: " + percents);
    }

    /**
     * A page size is the area at the resolution the device scans at: on the flatbed the scan
     * item's extent, on the feeder the root's page as well; a resolution the device refuses
     * leaves its own for the layout.
     */
    @Test
    void aPageSizeIsTheAreaInPixelsAtTheResolution() throws Exception {
        feeder("{\"sheets\": 2}", "");
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = scanner(manager);
            ImageFolder flatbed = new ImageFolder(temp.resolve("flatbed"), "scan");
            scanner.scan(ScanSettings.of(ScanSource.FLATBED).withPageSize(PageSize.A5).withResolution(100), flatbed);
            assertEquals("jpeg 582x826, 100 dpi, 24 bits per pixel", flatbed.images().get(0).header().toString());
            assertTrue(written().containsAll(List.of("3088=I4:2", "6149=I4:0", "6150=I4:0", "6151=I4:582", "6152=I4:826")),
                    written().toString());

            Winsim.clearJournal();
            ImageFolder feeder = new ImageFolder(temp.resolve("feeder"), "scan");
            scanner.scan(ScanSettings.of(ScanSource.FEEDER).withPageSize(PageSize.A5).withResolution(100).withPages(1),
                    feeder);
            assertEquals("jpeg 582x826, 100 dpi, 24 bits per pixel", feeder.images().get(0).header().toString());
            assertEquals(List.of("3088=I4:1", "3096=I4:1", "3098=I4:5827", "3099=I4:8268"), written().subList(0, 4));

            ImageFolder refused = new ImageFolder(temp.resolve("refused"), "scan");
            scanner.scan(ScanSettings.of(ScanSource.FLATBED).withPageSize(PageSize.LETTER).withResolution(5000), refused);
            assertEquals("jpeg 850x1100, 100 dpi, 24 bits per pixel", refused.images().get(0).header().toString(),
                    "the device keeps the 100 dpi of the scans before");
        }
    }

    @Test
    void whatTheScannerCannotDoIsRefusedBeforeItRuns() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner flatbed = scanner(manager);
            assertEquals("\"Virtual Flatbed Scanner\" has no document feeder", assertThrows(ScanRefusedException.class,
                    () -> flatbed.scan(ScanSettings.of(ScanSource.FEEDER), temp)).getMessage());
            assertEquals("Legal (8.5 x 14 in) is larger than the bed (8.5 x 11.693 in)", assertThrows(
                    ScanRefusedException.class, () -> flatbed.scan(ScanSettings.of(ScanSource.FLATBED)
                            .withPageSize(PageSize.LEGAL), temp)).getMessage());
        }
        feeder("{\"sheets\": 2, \"sheetSize\": {\"width\": 8500, \"height\": 11000}}", "");
        try (WIAManager manager = WIAManager.open()) {
            assertEquals("A4 (210 x 297 mm) is larger than the largest sheet the feeder takes (215.9 x 279.4 mm)",
                    assertThrows(ScanRefusedException.class, () -> scanner(manager).scan(
                            ScanSettings.of(ScanSource.FEEDER).withPageSize(PageSize.A4), temp)).getMessage());
        }
        assertEquals(List.of(), Winsim.journal("IWiaDataTransfer::idtGetData"), "nothing scanned");
        assertEquals(List.of(), names(temp));
    }

    @Test
    void theCapabilitiesOfAFlatbedAndOfADuplexFeeder() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            ScannerCapabilities flatbed = scanner(manager).getCapabilities();
            assertEquals(Set.of(ScanSource.FLATBED), flatbed.getSources());
            assertEquals(Optional.of(PageSize.ofThousandths(8500, 11693)), flatbed.getBedSize());
            assertEquals(Optional.empty(), flatbed.getSheetSize());
            assertEquals("50 to 1200 dpi in steps of 1", flatbed.getResolutions().toString());
            assertEquals(150, flatbed.getResolution());
            assertEquals(EnumSet.of(ColorMode.BLACK_AND_WHITE, ColorMode.GRAY_8, ColorMode.COLOR_24), flatbed.getColorModes());
            assertFalse(flatbed.isFeederReady());
        }
        feeder("{\"sheets\": 1, \"duplex\": true}", ", \"deepColour\": true, \"resolutions\": [75, 150, 300]");
        try (WIAManager manager = WIAManager.open()) {
            ScannerCapabilities duplex = scanner(manager).getCapabilities();
            assertEquals(EnumSet.allOf(ScanSource.class), duplex.getSources());
            assertEquals(Optional.of(PageSize.ofThousandths(8500, 14000)), duplex.getSheetSize());
            assertEquals(List.of(75, 150, 300), duplex.getResolutions().getValues());
            assertTrue(duplex.getColorModes().contains(ColorMode.COLOR_48), duplex.getColorModes().toString());
            assertTrue(duplex.isFeederReady());
        }
    }
}
