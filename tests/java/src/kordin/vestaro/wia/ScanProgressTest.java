package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * The Java side of a scan over a library whose answers the test writes: progress that no
 * well-behaved driver sends, a cancel between reports, a listener that throws, an outcome
 * the API does not know. The real library and devices are in {@code FeederScanTest}.
 */
class ScanProgressTest {
    /** Reports the scripted progress, answering as the library does: stop when told, else the outcome. */
    private static class ScriptedScanner extends WIAScanner {
        private final int[][] reports;
        private final int outcome;
        final List<Boolean> answers = new ArrayList<>();

        ScriptedScanner(int outcome, int[]... reports) {
            super("Scripted", 1, KIND_SCANNER << 16, "scripted");
            this.reports = reports;
            this.outcome = outcome;
        }

        @Override
        protected int[] _capabilities(long deviceHandle) {
            return ScanPlanTest.DUPLEX;
        }

        @Override
        protected int _scanPages(long deviceHandle, int[] rootWrites, int[] itemWrites, int maxPages) {
            for (int[] report : reports) {
                boolean goOn = scanProgress(report[0], report[1]);
                answers.add(goOn);
                if (!goOn) {
                    return 1;
                }
            }
            return outcome;
        }
    }

    private static ScanSettings duplex(List<String> seen) {
        return ScanSettings.of(ScanSource.DUPLEX).withProgressListener((page, side, percent) ->
                seen.add(page + " " + side + " " + percent));
    }

    @Test
    void progressReachesTheListenerClampedRisingAndOnceEach() throws Exception {
        List<String> seen = new ArrayList<>();
        ScriptedScanner scanner = new ScriptedScanner(0, new int[][] {
            {1, -5}, {1, 0}, {1, 40}, {1, 30}, {1, 40}, {1, 250}, {0, 50}, {2, 0}, {1, 90}, {2, 100}, {3, 7}});
        assertEquals(ScanOutcome.COMPLETED, scanner.scan(duplex(seen), image -> { }).getOutcome());
        assertEquals(List.of("1 FRONT 0", "1 FRONT 40", "1 FRONT 100", "2 BACK 0", "2 BACK 100", "3 FRONT 0", "3 FRONT 7"),
                seen);
        assertFalse(scanner.answers.contains(false));
        assertFalse(scanner.cancel(), "nothing to cancel once the scan is over");
    }

    @Test
    void aCancelFromAnyThreadStopsTheScanAtTheNextReport() throws Exception {
        List<String> seen = new ArrayList<>();
        List<Boolean> cancelled = new ArrayList<>();
        ScriptedScanner[] scanner = new ScriptedScanner[1];
        scanner[0] = new ScriptedScanner(0, new int[][] {{1, 0}, {1, 100}, {2, 0}, {2, 50}, {3, 0}}) {
            @Override
            protected boolean scanProgress(int page, int percent) {
                if (page == 2 && percent == 50) {
                    Thread other = new Thread(() -> cancelled.add(cancel()));
                    other.start();
                    try {
                        other.join();
                    } catch (InterruptedException e) {
                        throw new AssertionError(e);
                    }
                }
                return super.scanProgress(page, percent);
            }
        };
        assertEquals(ScanOutcome.CANCELLED, scanner[0].scan(duplex(seen), image -> { }).getOutcome());
        assertEquals(List.of(true), cancelled, "a scan was in progress");
        assertEquals(List.of(true, true, true, false), scanner[0].answers);
        assertEquals(List.of("1 FRONT 0", "1 FRONT 100"), seen, "the second page's start waits for its next report");
    }

    @Test
    void aListenerThatThrowsDoesNotStopTheScanAndIsThrownAfterIt() {
        ScriptedScanner scanner = new ScriptedScanner(0, new int[][] {{1, 0}, {1, 100}});
        ScanSettings settings = ScanSettings.of(ScanSource.FEEDER).withProgressListener((page, side, percent) -> {
            throw new IllegalStateException("at " + percent);
        });
        IllegalStateException thrown = assertThrows(IllegalStateException.class, () -> scanner.scan(settings, image -> { }));
        assertEquals("at 0", thrown.getMessage());
        assertEquals("at 100", thrown.getSuppressed()[0].getMessage(), "the second report's failure attached to the first");
        assertEquals(List.of(true, true), scanner.answers);

        ScriptedScanner unknown = new ScriptedScanner(7);
        IllegalStateException odd = assertThrows(IllegalStateException.class,
                () -> unknown.scan(ScanSettings.of(ScanSource.FEEDER), image -> { }));
        assertEquals("the library ended a scan with an unknown outcome: 7", odd.getMessage());
    }
}
