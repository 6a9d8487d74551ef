package kordin.vestaro.testhost;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

import kordin.vestaro.wia.WIAScanner;

/**
 * A scanner that records its transfers and progress and opens the natives and scan settings
 * to tests. Its scanProgress cancels or throws where a test asks, or once cancel() is called
 * from any thread.
 */
public class RecordingScanner extends WIAScanner {
    public final TransferRecorder transfers = new TransferRecorder();
    /** Each scanProgress call as {page, percent}, while recordProgress is set. */
    public final List<int[]> progress = Collections.synchronizedList(new ArrayList<>());
    /** False: scanProgress keeps no record (a benchmark's host with progress off the books). */
    public boolean recordProgress = true;
    /** The number of scanProgress calls, recorded or not. */
    public volatile int progressCalls;

    private volatile boolean cancelled;
    private volatile long cancelledAt;
    private int stopPage = -1;
    private int stopPercent;
    private RuntimeException toThrow;

    @Override
    protected void fireTransferDone(String path, String extension) {
        transfers.record(path, extension);
    }

    @Override
    protected boolean scanProgress(int page, int percent) {
        ++progressCalls;
        if (recordProgress) {
            progress.add(new int[] {page, percent});
        }
        boolean reached = page > stopPage || (page == stopPage && percent >= stopPercent);
        if (stopPage >= 0 && reached) {
            if (toThrow != null) {
                throw toThrow;
            }
            cancelled = true;
        }
        return !cancelled;
    }

    /** From the first call at `page` with `percent` or more (or any later page) on, scanProgress answers false. */
    public void cancelAt(int page, int percent) {
        stopPage = page;
        stopPercent = percent;
    }

    /** scanProgress throws `thrown` at the first call at `page` with `percent` or more. */
    public void throwAt(int page, int percent, RuntimeException thrown) {
        cancelAt(page, percent);
        toThrow = thrown;
    }

    /**
     * From now on scanProgress answers false; any thread may call it. The natives run
     * directly here, outside the API's scan, so this answers true whether or not one runs.
     */
    @Override
    public boolean cancel() {
        cancelledAt = System.nanoTime();
        cancelled = true;
        return true;
    }

    /** Calls cancel() on a thread of its own `millis` milliseconds from now. */
    public void cancelAfter(long millis) {
        Thread canceller = new Thread(() -> {
            try {
                Thread.sleep(millis);
            } catch (InterruptedException e) {
                return;
            }
            cancel();
        }, "cancel after " + millis + " ms");
        canceller.setDaemon(true);
        canceller.start();
    }

    /** System.nanoTime() of the last cancel(), 0 before any. */
    public long cancelledAt() { return cancelledAt; }

    public void clearProgress() {
        progress.clear();
    }

    public int progressCount() { return progress.size(); }

    public int[] progressAt(int index) {
        return progress.get(index);
    }

    public void setScan(int bitDepth, int resolution, int x, int y, int width, int height) {
        this.bitDepth = bitDepth;
        this.resolution = resolution;
        this.x = x;
        this.y = y;
        this.width = width;
        this.height = height;
    }

    public void transfer(long deviceHandle, boolean dialog) {
        _transfer(deviceHandle, dialog);
    }

    public int scanPages(long deviceHandle, int[] rootWrites, int[] itemWrites, int maxPages) {
        return _scanPages(deviceHandle, rootWrites, itemWrites, maxPages);
    }

    public int[] capabilities(long deviceHandle) {
        return _capabilities(deviceHandle);
    }

    public void release(long deviceHandle) {
        _release(deviceHandle);
    }
}
