package kordin.vestaro.wia;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Objects;
import kordin.vestaro.VestaroException;

/**
 * A WIA scanner: scans one page with the settings of this object, or with those the user
 * makes in the device's own dialog; or scans pages from its flatbed or document feeder, one
 * or both sides of each sheet, with {@link ScanSettings} of their own, which a progress
 * listener follows and {@link #cancel()} stops. Images, failures and threads as
 * {@link WIADevice} describes.
 *
 * <p>The settings are in the units the device uses: the resolution in dots per inch (the
 * same in both directions) and the scan area in pixels at that resolution, where -1 leaves
 * the device's own value. A device refuses a value it does not support without failing the
 * scan; it then scans with its own value for that setting, and only the image tells:
 * {@link TransferredImage#getHeader()} gives the size, resolution and depth that the file
 * holds.
 *
 * <p>A batch from the feeder, following each page and stopped from another thread (a Stop
 * button, say):
 *
 * <pre>{@code
 * ScanSettings settings = ScanSettings.of(ScanSource.FEEDER)
 *         .withPageSize(PageSize.A4)
 *         .withProgressListener((page, side, percent) -> show(page, percent));
 * ScanResult result = scanner.scan(settings, Path.of("batch"));  // stop.onClick(scanner::cancel)
 * if (result.getOutcome() == ScanOutcome.FEEDER_EMPTY) {
 *     askForPaper();
 * }
 * }</pre>
 */
public class WIAScanner extends WIADevice {
    /**
     * The colour mode as a {@link ColorMode#bitDepth()} code; read by the library at each scan.
     *
     * @hidden
     */
    protected int bitDepth = ColorMode.COLOR_24.bitDepth();
    /**
     * Dots per inch in both directions; read by the library at each scan.
     *
     * @hidden
     */
    protected int resolution = 300;
    /**
     * Left edge of the scan area in pixels, -1 for the device's own; read by the library.
     *
     * @hidden
     */
    protected int x = -1;
    /**
     * Top edge of the scan area in pixels, -1 for the device's own; read by the library.
     *
     * @hidden
     */
    protected int y = -1;
    /**
     * Width of the scan area in pixels, -1 for the device's own; read by the library.
     *
     * @hidden
     */
    protected int width = -1;
    /**
     * Height of the scan area in pixels, -1 for the device's own; read by the library.
     *
     * @hidden
     */
    protected int height = -1;
    /** The scan of {@link #scan(ScanSettings, ImageListener)} in progress, for {@link #cancel()}. */
    private volatile BatchScan batch;

    /** A scanner without a handle, for subclasses that drive the natives themselves. */
    protected WIAScanner() {
    }

    /**
     * A scanner as the library offered it.
     *
     * @param name the scanner's name
     * @param handle the library's handle of the scanner
     * @param type the device's type word (kind {@link #KIND_SCANNER} in the high 16 bits)
     * @param id the scanner's identifier
     */
    protected WIAScanner(String name, long handle, int type, String id) {
        super(name, handle, type, id);
    }

    /**
     * Scans one page; the library calls {@link #fireTransferDone} for it before it returns.
     *
     * @param deviceHandle the scanner's handle
     * @param dialog true to let the user scan through the device's dialog, false to scan
     *     with this object's settings
     * @hidden
     */
    protected native void _transfer(long deviceHandle, boolean dialog);

    /**
     * Reads the scanner's capabilities; layout below.
     *
     * <p>All ints, -1 where the device lacks the property: [0] document handling
     * capabilities, [1] its status, [2] its current selection, [3] the page count; [4] and
     * [5] the bed's width and height, [6] and [7] the largest sheet the feeder takes
     * (thousandths of an inch); [8] 1 when the page width and height can be written, else
     * 0; [9] the current resolution; [10] its valid values' kind (0 unknown, 1 range, 2
     * list), [11] n, then n values (a range's minimum, nominal, maximum and step, or the
     * list); then m and m data types offered; then k and k depths offered for the current
     * data type.
     *
     * @param deviceHandle the scanner's handle
     * @return the capabilities
     * @hidden
     */
    protected native int[] _capabilities(long deviceHandle);

    /**
     * Scans pages from the source the root writes select, delivering each through
     * fireTransferDone(path, "jpg"|"bmp") in the order they arrive.
     *
     * @param deviceHandle the scanner's handle
     * @param rootWrites (property id, VT_I4 value) pairs written to the device's root item,
     *     one at a time, in order, before anything else; a refused one is reported and
     *     nothing is scanned
     * @param itemWrites (property id, VT_I4 value) pairs written to the scan item after its
     *     format and medium, one at a time; a refused one only prints a diagnostic line
     * @param maxPages stop after this many pages; 0 = until the feeder is empty (flatbed:
     *     one page)
     * @return the outcome: 0 completed, 1 cancelled (pages already delivered stay
     *     delivered), 2 the feeder was empty before any page; not read when a
     *     VestaroException is pending
     * @hidden
     */
    protected native int _scanPages(long deviceHandle, int[] rootWrites, int[] itemWrites, int maxPages);

    @Override
    void transferNative(long deviceHandle, boolean dialog) {
        _transfer(deviceHandle, dialog);
    }

    /**
     * Progress of the page being scanned, called by the library during {@link #_scanPages};
     * hands it to the scan's progress listener.
     *
     * @param page the page's number within the scan, from 1
     * @param percent how much of it is done, 0 to 100
     * @return false to cancel the scan: once {@link #cancel()} was called
     * @hidden
     */
    protected boolean scanProgress(int page, int percent) {
        BatchScan current = batch;
        return current == null || current.progress(page, percent);
    }

    /**
     * Called by the library once per image that arrived; a page of a scan of pages first
     * completes its progress.
     *
     * @param path the file that the platform wrote
     * @param extension the file's format: "jpg" or "bmp"
     */
    @Override
    protected void fireTransferDone(String path, String extension) {
        BatchScan current = batch;
        if (current != null) {
            current.pageArrived();
        }
        super.fireTransferDone(path, extension);
    }

    /**
     * The resolution of an unattended scan.
     *
     * @return dots per inch; 300 unless set
     */
    public int getResolution() {
        synchronized (lock) {
            return resolution;
        }
    }

    /**
     * Sets the resolution of an unattended scan, in both directions.
     *
     * @param dotsPerInch the resolution, positive
     * @throws IllegalArgumentException for a value below 1
     */
    public void setResolution(int dotsPerInch) {
        if (dotsPerInch < 1) {
            throw new IllegalArgumentException("resolution must be positive: " + dotsPerInch);
        }
        synchronized (lock) {
            resolution = dotsPerInch;
        }
    }

    /**
     * The colour mode of an unattended scan.
     *
     * @return the mode ({@link ColorMode#COLOR_24} unless set), or null when a subclass
     *     stored a code that names no mode
     */
    public ColorMode getColorMode() {
        synchronized (lock) {
            return ColorMode.ofBitDepth(bitDepth);
        }
    }

    /**
     * Sets the colour mode of an unattended scan.
     *
     * @param mode the mode
     */
    public void setColorMode(ColorMode mode) {
        int code = mode.bitDepth();
        synchronized (lock) {
            bitDepth = code;
        }
    }

    /**
     * Sets the area of an unattended scan, in pixels at the scan resolution; -1 in any
     * place keeps the device's own value there.
     *
     * @param left the left edge, 0 or more, or -1
     * @param top the top edge, 0 or more, or -1
     * @param areaWidth the width, 1 or more, or -1
     * @param areaHeight the height, 1 or more, or -1
     * @throws IllegalArgumentException for any other value
     */
    public void setArea(int left, int top, int areaWidth, int areaHeight) {
        checkArea("left edge", left, 0);
        checkArea("top edge", top, 0);
        checkArea("width", areaWidth, 1);
        checkArea("height", areaHeight, 1);
        synchronized (lock) {
            x = left;
            y = top;
            width = areaWidth;
            height = areaHeight;
        }
    }

    private static void checkArea(String what, int value, int least) {
        if (value != -1 && value < least) {
            throw new IllegalArgumentException("scan area " + what + " must be -1 or at least " + least + ": " + value);
        }
    }

    /**
     * The scan area as {@link #setArea} set it.
     *
     * @return left edge, top edge, width and height in pixels, -1 for the device's own value
     */
    public int[] getArea() {
        synchronized (lock) {
            return new int[] {x, y, width, height};
        }
    }

    /**
     * Scans one page, handing it to a listener while its file exists.
     *
     * @param dialog true to let the user scan through the device's dialog (its settings
     *     apply; nothing arrives when the user cancels it), false to scan with this object's
     *     settings
     * @param listener receives the page before the registered listeners; may be null
     * @return the number of pages that arrived: 1, or 0 when the dialog was cancelled or the
     *     scanner has nothing to scan
     * @throws VestaroException when the scanner fails
     * @throws IOException when an {@link ImageFolder} it delivers to cannot take images
     *     (before the scanner runs), or a listener failed with one and the scanner did not fail
     * @throws IllegalStateException when the scanner is released
     */
    public int scan(boolean dialog, ImageListener listener) throws VestaroException, IOException {
        return runTransfer(dialog, listener);
    }

    /**
     * Scans one page into a folder, as a copy named {@code scan-001.jpg} or the next free
     * number (see {@link ImageFolder}). To learn what the device delivered (size,
     * resolution, depth), pass an {@link ImageFolder} to {@link #scan(boolean, ImageListener)}
     * and ask its {@link ImageFolder#images()}.
     *
     * @param dialog true to let the user scan through the device's dialog, false to scan
     *     with this object's settings
     * @param folder where the page goes; created when it arrives
     * @return the file kept, or an empty list when nothing arrived
     * @throws VestaroException when the scanner fails
     * @throws IOException when the folder cannot be made or written into (before the
     *     scanner runs), or the page cannot be kept
     * @throws IllegalStateException when the scanner is released
     */
    public List<Path> scan(boolean dialog, Path folder) throws VestaroException, IOException {
        return runTransfer(dialog, folder, "scan");
    }

    /**
     * What the scanner offers: its sources, its bed and the largest sheet its feeder takes, its
     * resolutions and colour modes, and whether paper is ready in the feeder. Waits for a
     * scan in progress on the scanner.
     *
     * @return the capabilities as the driver declares them now
     * @throws VestaroException when the scanner cannot be read
     * @throws IllegalStateException when the scanner is released
     */
    public ScannerCapabilities getCapabilities() throws VestaroException {
        synchronized (lock) {
            return readCapabilities(usableHandle());
        }
    }

    private ScannerCapabilities readCapabilities(long deviceHandle) throws VestaroException {
        int[] raw = null;
        try {
            raw = _capabilities(deviceHandle);
        } catch (Throwable failure) {
            Failures.rethrowVestaro(failure);
        }
        return ScannerCapabilities.of(raw);
    }

    /**
     * Scans pages with the settings given (not with this object's own): one from the flatbed,
     * or from the feeder as many as asked or as it holds, both sides of each sheet with
     * {@link ScanSource#DUPLEX}. Each page reaches the listener while its file exists, in the
     * order of the sheets, numbered from 1 ({@link TransferredImage#getIndex()}) with its side
     * ({@link TransferredImage#getSide()}: duplex pages alternate front and back).
     *
     * <p>Before the scanner runs, the settings are checked against its
     * {@linkplain #getCapabilities() capabilities}, and the {@link ImageFolder}s the pages go
     * to are prepared. A page size becomes the scan area at the resolution the device scans
     * at (the one asked where the device offers it, else its own), from the top left corner;
     * with the feeder, the feeder's page size where the device has one.
     *
     * <p>{@link #cancel()}, from any thread, ends the scan promptly: the page being scanned is
     * dropped, those that arrived before it stay, and the result says
     * {@link ScanOutcome#CANCELLED}. A feeder without paper gives
     * {@link ScanOutcome#FEEDER_EMPTY}. A failure of the device, such as a paper jam after
     * some pages, throws {@link VestaroException} once the pages before it were delivered: as
     * with every transfer, the listener (or an {@link ImageFolder}'s
     * {@link ImageFolder#files()}) tells which arrived.
     *
     * @param settings the source, pages, page size, resolution, colour mode and progress
     *     listener
     * @param listener receives each page before the registered listeners; may be null
     * @return the outcome and the pages that arrived
     * @throws ScanRefusedException when the scanner lacks the source, more than one page is
     *     asked from the flatbed, or the page is larger than the bed or the feeder's largest
     *     sheet; nothing is scanned
     * @throws VestaroException when the scanner fails
     * @throws IOException when an {@link ImageFolder} it delivers to cannot take images
     *     (before the scanner runs), or a listener failed with one and the scanner did not fail
     * @throws IllegalStateException when the scanner is released
     */
    public ScanResult scan(ScanSettings settings, ImageListener listener) throws VestaroException, IOException {
        Objects.requireNonNull(settings, "settings");
        synchronized (lock) {
            long deviceHandle = usableHandle();
            BatchScan outer = batch; // a listener may scan again on this thread
            BatchScan current = new BatchScan(settings);
            batch = current;
            try {
                ScanPlan plan = ScanPlan.of("\"" + getName() + "\"", settings, readCapabilities(deviceHandle));
                current.duplex = plan.isDuplex();
                Delivered delivered = runTransfer(listener, plan.isDuplex(), current.failures, handle ->
                        _scanPages(handle, plan.rootWrites(), plan.itemWrites(), plan.maxPages()));
                List<ScannedPage> pages = new ArrayList<>();
                for (TransferredImage image : delivered.images()) {
                    pages.add(new ScannedPage(image.getIndex(), image.getSide(), image.getHeader()));
                }
                return new ScanResult(outcomeOf(delivered.answer()), pages, List.of());
            } finally {
                batch = outer;
            }
        }
    }

    /**
     * Scans pages with the settings given into a folder, as copies named {@code scan-001.jpg},
     * {@code scan-002.jpg}, ... or the next free numbers (see {@link ImageFolder}), as
     * {@link #scan(ScanSettings, ImageListener)} describes.
     *
     * @param settings the source, pages, page size, resolution, colour mode and progress
     *     listener
     * @param folder where the pages go; created when the first one arrives
     * @return the outcome, the pages and the files kept
     * @throws ScanRefusedException when the scanner cannot make the scan; nothing is scanned
     * @throws VestaroException when the scanner fails; the pages before the failure are kept
     * @throws IOException when the folder cannot be made or written into (before the scanner
     *     runs), or a page cannot be kept
     * @throws IllegalStateException when the scanner is released
     */
    public ScanResult scan(ScanSettings settings, Path folder) throws VestaroException, IOException {
        ImageFolder kept = new ImageFolder(folder, "scan");
        return scan(settings, (ImageListener) kept).withFiles(kept.files());
    }

    /**
     * Cancels the scan of {@link #scan(ScanSettings, ImageListener)} in progress on this
     * scanner, if there is one; any thread may call it. The scan ends at the device's next
     * progress report, or before its next page starts, with {@link ScanOutcome#CANCELLED}.
     * A single-page {@link #scan(boolean, ImageListener)} is not cancelled.
     *
     * @return true when a scan was in progress
     */
    public boolean cancel() {
        BatchScan current = batch;
        if (current == null) {
            return false;
        }
        current.cancelled = true;
        return true;
    }

    private static ScanOutcome outcomeOf(int answer) {
        switch (answer) {
            case 0:
                return ScanOutcome.COMPLETED;
            case 1:
                return ScanOutcome.CANCELLED;
            case 2:
                return ScanOutcome.FEEDER_EMPTY;
            default:
                throw new IllegalStateException("the library ended a scan with an unknown outcome: " + answer);
        }
    }

    /**
     * One scan in progress: whether it is cancelled, and its progress, passed on to the
     * listener once for each value, rising within a page, up to 100 when the page arrives.
     * A page's 0 % waits for the page's next report or its arrival: the library asks before
     * each page whether to go on, and a feeder that turns out to be empty has no page for it.
     * The library may report from a thread of its own.
     */
    private static final class BatchScan {
        private final ScanProgressListener listener;
        final List<Throwable> failures = Collections.synchronizedList(new ArrayList<>());
        volatile boolean cancelled;
        volatile boolean duplex;
        /** The latest page reported, and the latest percentage passed on for it (-1: none). */
        private int page;
        private int shown = -1;

        BatchScan(ScanSettings settings) {
            this.listener = settings.getProgressListener().orElse(null);
        }

        boolean progress(int reportedPage, int reportedPercent) {
            if (cancelled) {
                return false;
            }
            synchronized (this) {
                if (reportedPage > page) {
                    page = reportedPage;
                    shown = -1;
                }
                if (reportedPage == page && reportedPercent > 0) {
                    show(Math.min(100, reportedPercent));
                }
            }
            return !cancelled;
        }

        /** The page being scanned has arrived. */
        synchronized void pageArrived() {
            if (page >= 1) {
                show(100);
            }
        }

        private void show(int percent) {
            if (shown < 0) {
                tell(0);
            }
            if (percent > shown) {
                tell(percent);
            }
        }

        private void tell(int percent) {
            shown = percent;
            if (listener == null) {
                return;
            }
            try {
                listener.progress(page, duplex && page % 2 == 0 ? PageSide.BACK : PageSide.FRONT, percent);
            } catch (RuntimeException e) {
                failures.add(e);
            }
        }
    }
}
