package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.function.Predicate;
import java.util.function.Supplier;
import kordin.vestaro.VestaroException;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.io.TempDir;

/**
 * The fault sweep over the Java API: a session (open, poll, camera transfers with and without
 * the dialog, scans with and without it, close), and a duplex feeder's batch with its
 * capabilities and progress, each run once with the journal on; then once per
 * platform call it made, with that call failing and with it answering S_FALSE. Every failure
 * must surface as a VestaroException carrying the injected code, or end quietly where that is
 * defined, and the platform must hold nothing afterwards.
 */
@ExtendWith(WinsimExtension.class)
class FaultSweepTest {
    private static final int INJECTED = 0x80210002; // WIA_ERROR_PAPER_JAM
    private static final int S_FALSE = 1;
    private static final String REGISTER = "IGlobalInterfaceTable::RegisterInterfaceInGlobal";
    /** Calls whose failure ends quietly by design. */
    private static final Set<String> QUIET = Set.of("IWiaPropertyStorage::WriteMultiple");

    @TempDir
    Path temp;

    /** The failures the session's operations threw; anything but a VestaroException fails the test. */
    private List<VestaroException> session() {
        List<VestaroException> failures = new ArrayList<>();
        WIAManager manager;
        try {
            manager = WIAManager.open();
        } catch (VestaroException e) {
            failures.add(e);
            return failures;
        }
        if (manager.getPollFailure() != null) {
            failures.add(manager.getPollFailure());
        }
        List<Operation> operations = List.of(
                () -> manager.poll(),
                () -> transferEach(manager, false),
                () -> transferEach(manager, true),
                () -> scanEach(manager, false),
                () -> scanEach(manager, true),
                manager::close);
        for (Operation operation : operations) {
            try {
                operation.run();
            } catch (VestaroException e) {
                failures.add(e);
            } catch (Exception e) {
                throw new AssertionError("not a VestaroException", e);
            }
        }
        return failures;
    }

    private void transferEach(WIAManager manager, boolean dialog) throws Exception {
        for (WIACamera camera : manager.getCameras()) {
            camera.transfer(dialog, temp);
        }
    }

    private void scanEach(WIAManager manager, boolean dialog) throws Exception {
        for (WIAScanner scanner : manager.getScanners()) {
            scanner.setResolution(50); // small pages: the sweep runs the session some 200 times
            scanner.scan(dialog, temp);
        }
    }

    /** Ends every registration the session made that a refused release left behind. */
    private static void giveBackWhatWasRefused() {
        Winsim.clearFaults();
        for (Winsim.Call call : Winsim.journal(REGISTER)) {
            if (call.result() != 0 || !call.detail().contains("cookie=")) {
                continue;
            }
            long cookie = Long.parseLong(call.detail().replaceAll(".*cookie=", ""));
            try {
                new WIADevice("left", 0, 0, "left")._release(cookie);
            } catch (Throwable e) {
                // ended already, or a manager's
            }
            try {
                new WIAManager()._release(cookie);
            } catch (Throwable e) {
                // ended already, or a device's
            }
        }
    }

    private static boolean carries(Throwable failure, int code) {
        if (failure instanceof VestaroException && ((VestaroException) failure).getCode() == code) {
            return true;
        }
        for (Throwable later : failure.getSuppressed()) {
            if (carries(later, code)) {
                return true;
            }
        }
        return false;
    }

    @Test
    void everyPlatformCallOfASessionFailsCleanly() {
        List<String> calls = sweep(() -> { }, this::session, call -> QUIET.contains(call.method()));
        System.out.printf("fault sweep of the Java API: %d call sites, %d cases%n", calls.size(), 2 * calls.size());
        assertTrue(calls.size() > 50, "calls swept: " + calls.size());
    }

    /** A duplex feeder of two sheets with paper in it. */
    private static void duplexFeeder() {
        Winsim.loadDevices("[{\"kind\": \"scanner\", \"id\": \"adf\", \"name\": \"ADF\","
                + " \"feeder\": {\"sheets\": 2, \"duplex\": true}}]");
    }

    /** The capabilities and a duplex batch with progress; only the outcome of a success code may end it quietly. */
    private List<VestaroException> feederSession() {
        List<VestaroException> failures = new ArrayList<>();
        try (WIAManager manager = WIAManager.open()) {
            if (manager.getPollFailure() != null) {
                failures.add(manager.getPollFailure());
            }
            for (WIAScanner scanner : manager.getScanners()) {
                scanner.getCapabilities();
                scanner.scan(ScanSettings.of(ScanSource.DUPLEX).withResolution(50).withProgressListener((page, side, p) -> { }),
                        temp);
            }
        } catch (VestaroException e) {
            failures.add(e);
        } catch (Exception e) {
            throw new AssertionError("not a VestaroException", e);
        }
        return failures;
    }

    /**
     * A scan of pages: a refused write to the scan item only prints a line, as the
     * single-page scan's does; every other failure, the root's writes and the progress
     * callback's answers among them, is thrown with its code.
     */
    @Test
    void everyPlatformCallOfAFeederBatchFailsCleanly() {
        List<String> calls = sweep(FaultSweepTest::duplexFeeder, this::feederSession,
                call -> call.method().equals("IWiaPropertyStorage::WriteMultiple") && !call.target().endsWith("\\Root"));
        System.out.printf("fault sweep of a feeder batch: %d call sites, %d cases%n", calls.size(), 2 * calls.size());
        assertEquals(5, calls.stream().filter("IWiaDataTransfer::idtGetData"::equals).count(), "four pages and the end");
        assertTrue(calls.contains("IWiaDataCallback::BandedDataCallback"), "the progress messages swept: " + calls);
    }

    /** One call of a session, as the journal of the run without faults has it. */
    private record SweptCall(String method, String target) {
    }

    /**
     * Runs the session once with the journal on, then once per platform call it made, that
     * call failing and answering S_FALSE; the platform must hold nothing after each, and a
     * failure must be thrown with its code unless {@code quiet} allows its call to end
     * quietly. Returns the methods of the calls swept, in order.
     */
    private List<String> sweep(Runnable setUp, Supplier<List<VestaroException>> session, Predicate<SweptCall> quiet) {
        setUp.run();
        Winsim.Census start = Winsim.census();
        assertEquals(List.of(), session.get(), "the session without faults");
        List<String> methods = Winsim.journalMethods();
        Map<String, List<Winsim.Call>> calls = new HashMap<>();
        for (String method : Set.copyOf(methods)) {
            calls.put(method, Winsim.journal(method));
        }
        assertEquals(start, Winsim.census(), Winsim.liveObjects());

        Map<String, Integer> counts = new HashMap<>();
        for (String method : methods) {
            int nth = counts.merge(method, 1, Integer::sum);
            SweptCall call = new SweptCall(method, calls.get(method).get(nth - 1).target());
            for (int code : new int[] {INJECTED, S_FALSE}) {
                String where = method + " call " + nth + " on " + call.target()
                        + (code == S_FALSE ? " answering S_FALSE" : " failing");
                Winsim.reset();
                setUp.run();
                Winsim.injectFault(method, code, nth, "");
                List<VestaroException> failures = session.get();
                giveBackWhatWasRefused();
                assertEquals(start, Winsim.census(), where + ": " + Winsim.liveObjects());
                boolean reported = failures.stream().anyMatch(e -> carries(e, code));
                if (code != S_FALSE && !reported) {
                    assertTrue(quiet.test(call), where + " ended quietly; thrown: " + failures);
                }
            }
        }
        return methods;
    }

    @FunctionalInterface
    private interface Operation {
        void run() throws Exception;
    }
}
