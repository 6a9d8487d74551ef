package kordin.vestaro.wia;

import java.nio.file.Path;
import java.util.List;

/**
 * How a scan of {@link WIAScanner#scan(ScanSettings, ImageListener)} ended and the pages
 * that arrived, in order. A scan that a failure ends throws instead (see {@link WIAScanner}).
 */
public final class ScanResult {
    private final ScanOutcome outcome;
    private final List<ScannedPage> pages;
    private final List<Path> files;

    ScanResult(ScanOutcome outcome, List<ScannedPage> pages, List<Path> files) {
        this.outcome = outcome;
        this.pages = List.copyOf(pages);
        this.files = List.copyOf(files);
    }

    /**
     * How the scan ended.
     *
     * @return {@link ScanOutcome#COMPLETED}, {@link ScanOutcome#CANCELLED} or
     *     {@link ScanOutcome#FEEDER_EMPTY}
     */
    public ScanOutcome getOutcome() { return outcome; }

    /**
     * The pages that arrived, in order: duplex pages alternate front and back.
     *
     * @return the pages; empty when none arrived
     */
    public List<ScannedPage> getPages() { return pages; }

    /**
     * The files kept by {@link WIAScanner#scan(ScanSettings, Path)}, in the order the pages
     * arrived.
     *
     * @return the files; empty for a scan whose pages went to a listener
     */
    public List<Path> getFiles() { return files; }

    ScanResult withFiles(List<Path> kept) {
        return new ScanResult(outcome, pages, kept);
    }

    @Override
    public String toString() { return outcome + ", " + pages.size() + (pages.size() == 1 ? " page" : " pages"); }
}
