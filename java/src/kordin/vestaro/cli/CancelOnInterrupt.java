package kordin.vestaro.cli;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import kordin.vestaro.wia.WIAScanner;

/**
 * Ctrl-C during a scan of pages: a shutdown hook that cancels the scan and lets the command
 * finish, so that the pages that arrived are kept whole, the platform deletes its temporary
 * file and the results are written before the Java VM ends (with status 130, as it does after
 * SIGINT). It waits for the command at most {@link #LIMIT_SECONDS}: a device that does not
 * stop by then is left to the VM's exit.
 */
final class CancelOnInterrupt {
    static final int LIMIT_SECONDS = 10;
    /** How often the hook asks again, for a scan that had not begun when the signal came. */
    private static final long RETRY_MILLIS = 20;

    private final CountDownLatch finished = new CountDownLatch(1);
    private final Thread hook;

    private CancelOnInterrupt(WIAScanner scanner) {
        hook = new Thread(() -> cancelAndWait(scanner), "vestaro-cancel-on-interrupt");
    }

    /** Installs the hook for the scan that {@code scanner} is about to make. */
    static CancelOnInterrupt install(WIAScanner scanner) {
        CancelOnInterrupt handler = new CancelOnInterrupt(scanner);
        Runtime.getRuntime().addShutdownHook(handler.hook);
        return handler;
    }

    private void cancelAndWait(WIAScanner scanner) {
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(LIMIT_SECONDS);
        try {
            do {
                scanner.cancel();
            } while (!finished.await(RETRY_MILLIS, TimeUnit.MILLISECONDS) && System.nanoTime() < deadline);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    /** The command has written everything: the VM may end. */
    void finished() {
        finished.countDown();
        try {
            Runtime.getRuntime().removeShutdownHook(hook);
        } catch (IllegalStateException e) {
            // The VM is shutting down: the hook runs, sees the command finished, and returns.
        }
    }
}
