package kordin.vestaro.wia;

/**
 * Follows the pages of a scan as the device makes them. For each page the percentages rise
 * from 0, each value once, to 100 when the page arrives (before the image listeners get it);
 * a page that is cancelled or fails stops short. A device that reports nothing while it
 * scans gives 0 and 100 as each page arrives.
 *
 * <p>The calls come while the device works, usually on the thread that scans; a driver that
 * runs in a process of its own may call from another thread, so a listener must not rely on
 * the thread. A call should return quickly: the device waits for it. An exception it throws
 * does not stop the scan; the scan method throws it when it returns, as it does for an
 * {@link ImageListener}'s failures (see {@link WIADevice}).
 */
@FunctionalInterface
public interface ScanProgressListener {
    /**
     * The device has made this much of a page.
     *
     * @param page the page's number within the scan, from 1, as {@link TransferredImage#getIndex()} will give it
     * @param side the side of the sheet the page shows
     * @param percent how much of the page is done, 0 to 100
     */
    void progress(int page, PageSide side, int percent);
}
