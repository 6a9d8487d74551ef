package kordin.vestaro.wia;

import java.util.Objects;
import java.util.Optional;

/**
 * What a scan of {@link WIAScanner#scan(ScanSettings, ImageListener)} asks of the scanner:
 * the source, how many pages, the page size, the resolution, the colour mode, and who
 * follows the progress. Immutable: each {@code with} method gives a copy with one setting
 * changed.
 *
 * <pre>{@code
 * ScanSettings settings = ScanSettings.of(ScanSource.DUPLEX)
 *         .withPageSize(PageSize.A4)
 *         .withResolution(200)
 *         .withColorMode(ColorMode.GRAY_8);
 * }</pre>
 *
 * <p>As with the single-page scan, a device that refuses the resolution or the colour mode
 * scans with its own, and only the image's header tells. A source the device lacks, or a
 * page larger than its bed or sheet, is refused before the scan ({@link ScanRefusedException}).
 */
public final class ScanSettings {
    /** {@link #getPages()} of a scan that takes every page the feeder holds. */
    public static final int ALL_PAGES = 0;

    private final ScanSource source;
    private final int pages;
    private final PageSize pageSize;
    private final int resolution;
    private final ColorMode colorMode;
    private final ScanProgressListener progressListener;

    private ScanSettings(ScanSource source, int pages, PageSize pageSize, int resolution, ColorMode colorMode,
            ScanProgressListener progressListener) {
        this.source = source;
        this.pages = pages;
        this.pageSize = pageSize;
        this.resolution = resolution;
        this.colorMode = colorMode;
        this.progressListener = progressListener;
    }

    /**
     * The settings of a scan from a source: every page it holds (the flatbed holds one), the
     * whole bed or the feeder's own page size, 300 dots per inch, colour, no progress listener.
     *
     * @param source the source
     * @return the settings
     */
    public static ScanSettings of(ScanSource source) {
        return new ScanSettings(Objects.requireNonNull(source, "source"), ALL_PAGES, null, 300, ColorMode.COLOR_24,
                null);
    }

    /**
     * The source.
     *
     * @return the source
     */
    public ScanSource getSource() { return source; }

    /**
     * How many pages the scan takes at most; a duplex sheet gives two.
     *
     * @return the count, or {@link #ALL_PAGES} for as many as the feeder holds
     */
    public int getPages() { return pages; }

    /**
     * Whether the scan takes every page the feeder holds.
     *
     * @return true for {@link #ALL_PAGES}
     */
    public boolean isAllPages() { return pages == ALL_PAGES; }

    /**
     * The page size.
     *
     * @return the size; empty for the whole bed, or the page the feeder is set to
     */
    public Optional<PageSize> getPageSize() { return Optional.ofNullable(pageSize); }

    /**
     * The resolution asked for.
     *
     * @return dots per inch, in both directions
     */
    public int getResolution() { return resolution; }

    /**
     * The colour mode asked for.
     *
     * @return the mode
     */
    public ColorMode getColorMode() { return colorMode; }

    /**
     * Who follows the progress.
     *
     * @return the listener; empty for none
     */
    public Optional<ScanProgressListener> getProgressListener() { return Optional.ofNullable(progressListener); }

    /**
     * A copy with another source.
     *
     * @param newSource the source
     * @return the copy
     */
    public ScanSettings withSource(ScanSource newSource) {
        return new ScanSettings(Objects.requireNonNull(newSource, "source"), pages, pageSize, resolution, colorMode,
                progressListener);
    }

    /**
     * A copy that takes at most this many pages from the feeder. The flatbed scans one page:
     * more than one from it is refused when the scan starts.
     *
     * @param count the pages, 1 or more
     * @return the copy
     * @throws IllegalArgumentException for a count below 1 (use {@link #withAllPages()})
     */
    public ScanSettings withPages(int count) {
        if (count < 1) {
            throw new IllegalArgumentException("a scan takes at least one page: " + count);
        }
        return new ScanSettings(source, count, pageSize, resolution, colorMode, progressListener);
    }

    /**
     * A copy that takes every page the feeder holds.
     *
     * @return the copy
     */
    public ScanSettings withAllPages() {
        return new ScanSettings(source, ALL_PAGES, pageSize, resolution, colorMode, progressListener);
    }

    /**
     * A copy with a page size.
     *
     * @param size the size; null for the whole bed, or the page the feeder is set to
     * @return the copy
     */
    public ScanSettings withPageSize(PageSize size) {
        return new ScanSettings(source, pages, size, resolution, colorMode, progressListener);
    }

    /**
     * A copy with a resolution.
     *
     * @param dotsPerInch the resolution in both directions, 1 or more
     * @return the copy
     * @throws IllegalArgumentException for a value below 1
     */
    public ScanSettings withResolution(int dotsPerInch) {
        if (dotsPerInch < 1) {
            throw new IllegalArgumentException("resolution must be positive: " + dotsPerInch);
        }
        return new ScanSettings(source, pages, pageSize, dotsPerInch, colorMode, progressListener);
    }

    /**
     * A copy with a colour mode.
     *
     * @param mode the mode
     * @return the copy
     */
    public ScanSettings withColorMode(ColorMode mode) {
        return new ScanSettings(source, pages, pageSize, resolution, Objects.requireNonNull(mode, "mode"),
                progressListener);
    }

    /**
     * A copy with a progress listener.
     *
     * @param listener the listener; null for none
     * @return the copy
     */
    public ScanSettings withProgressListener(ScanProgressListener listener) {
        return new ScanSettings(source, pages, pageSize, resolution, colorMode, listener);
    }

    @Override
    public String toString() {
        return source + ", " + (pages == ALL_PAGES ? "all pages" : pages + (pages == 1 ? " page" : " pages")) + ", "
                + (pageSize == null ? "whole glass" : pageSize) + ", " + resolution + " dpi, " + colorMode;
    }
}
