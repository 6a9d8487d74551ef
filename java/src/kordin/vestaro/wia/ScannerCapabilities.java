package kordin.vestaro.wia;

import java.util.ArrayList;
import java.util.Collections;
import java.util.EnumSet;
import java.util.List;
import java.util.Optional;
import java.util.Set;

/**
 * What a scanner offers, read from its driver by {@link WIAScanner#getCapabilities()}: the
 * sources, the sizes of the bed and of the largest sheet the feeder takes, the resolutions,
 * the colour modes, and whether paper is ready in the feeder. A scan is checked against them
 * before it starts. A value the driver does not declare is empty or not known.
 */
public final class ScannerCapabilities {
    // Bits of WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES.
    private static final int FEED = 0x01;
    private static final int FLAT = 0x02;
    private static final int DUP = 0x04;
    // Bits of WIA_DPS_DOCUMENT_HANDLING_STATUS.
    private static final int FEED_READY = 0x01;
    private static final int PAPER_JAM = 0x20;
    // WIA_IPA_DATATYPE values.
    private static final int DATA_THRESHOLD = 0;
    private static final int DATA_GRAYSCALE = 2;
    private static final int DATA_COLOR = 3;
    /** The resolution kinds of the library's layout. */
    private static final int RESOLUTION_RANGE = 1;
    private static final int RESOLUTION_LIST = 2;

    private final Set<ScanSource> sources;
    private final int status;
    private final boolean selectable;
    private final boolean pageCount;
    private final PageSize bed;
    private final PageSize sheet;
    private final boolean pageSizeOnRoot;
    private final int resolution;
    private final Resolutions resolutions;
    private final Set<ColorMode> colorModes;

    private ScannerCapabilities(Set<ScanSource> sources, int status, boolean selectable, boolean pageCount,
            PageSize bed, PageSize sheet, boolean pageSizeOnRoot, int resolution, Resolutions resolutions,
            Set<ColorMode> colorModes) {
        this.sources = sources;
        this.status = status;
        this.selectable = selectable;
        this.pageCount = pageCount;
        this.bed = bed;
        this.sheet = sheet;
        this.pageSizeOnRoot = pageSizeOnRoot;
        this.resolution = resolution;
        this.resolutions = resolutions;
        this.colorModes = colorModes;
    }

    /**
     * The capabilities from the library's answer (all ints, -1 for what the device lacks): the
     * document handling's capabilities, status and selection, the page count, the bed's and
     * the sheet's sides in thousandths of an inch, 1 when the root takes a page width and
     * height, the current resolution, the resolution's kind (0 unknown, 1 range, 2 list), its
     * count and values (a range: min, nominal, max, step), then the data types and the depths
     * of the current data type, each as a count and the values.
     *
     * @throws IllegalStateException for an answer that ends early or holds a negative count
     */
    static ScannerCapabilities of(int[] raw) {
        Reader in = new Reader(raw);
        int documentHandling = in.next();
        int status = in.next();
        boolean selectable = in.next() != -1;
        boolean pageCount = in.next() != -1;
        PageSize bed = size(in.next(), in.next());
        PageSize sheet = size(in.next(), in.next());
        boolean pageSizeOnRoot = in.next() == 1;
        int resolution = in.next();
        int kind = in.next();
        int[] values = in.counted();
        Resolutions resolutions = Resolutions.unknown();
        if (kind == RESOLUTION_RANGE && values.length == 4) {
            resolutions = Resolutions.range(values[0], values[2], values[3]);
        } else if (kind == RESOLUTION_LIST) {
            List<Integer> offered = new ArrayList<>();
            for (int value : values) {
                if (value > 0) {
                    offered.add(value);
                }
            }
            resolutions = Resolutions.list(offered);
        }
        int[] dataTypes = in.counted();
        int[] depths = in.counted();
        return new ScannerCapabilities(sourcesOf(documentHandling, selectable), status, selectable, pageCount, bed,
                sheet, pageSizeOnRoot, resolution, resolutions, colorModesOf(dataTypes, depths));
    }

    /** The ints of the library's answer in order, refusing to read past its end. */
    private static final class Reader {
        private final int[] raw;
        private int next;

        Reader(int[] raw) {
            if (raw == null) {
                throw new IllegalStateException("the library gave no capabilities");
            }
            this.raw = raw;
        }

        int next() {
            if (next >= raw.length) {
                throw new IllegalStateException("the library's capabilities end after " + raw.length + " values");
            }
            return raw[next++];
        }

        /** A count and that many values. */
        int[] counted() {
            int count = next();
            if (count < 0 || count > raw.length - next) {
                throw new IllegalStateException("the library's capabilities give " + count + " values at " + (next - 1)
                        + " of " + raw.length);
            }
            int[] values = new int[count];
            System.arraycopy(raw, next, values, 0, count);
            next += count;
            return values;
        }
    }

    private static PageSize size(int width, int height) {
        if (width < 1 || height < 1 || width > PageSize.MAX_THOUSANDTHS || height > PageSize.MAX_THOUSANDTHS) {
            return null;
        }
        return PageSize.ofThousandths(width, height);
    }

    /**
     * The sources: a device without document handling has its flatbed alone, as has one
     * that names no source at all; the feeder needs the selection to be chosen.
     */
    private static Set<ScanSource> sourcesOf(int documentHandling, boolean selectable) {
        Set<ScanSource> sources = EnumSet.noneOf(ScanSource.class);
        if (documentHandling == -1 || (documentHandling & (FLAT | FEED)) == 0 || (documentHandling & FLAT) != 0) {
            sources.add(ScanSource.FLATBED);
        }
        if (documentHandling != -1 && selectable && (documentHandling & FEED) != 0) {
            sources.add(ScanSource.FEEDER);
            if ((documentHandling & DUP) != 0) {
                sources.add(ScanSource.DUPLEX);
            }
        }
        return Collections.unmodifiableSet(sources);
    }

    /**
     * The modes of the data types offered; the depths are those of the current data type, so
     * 16-bit grey and 48-bit colour show only when the device is set to grey or colour.
     */
    private static Set<ColorMode> colorModesOf(int[] dataTypes, int[] depths) {
        Set<ColorMode> modes = EnumSet.noneOf(ColorMode.class);
        boolean deepGray = false;
        boolean deepColor = false;
        for (int depth : depths) {
            deepGray |= depth == 16;
            deepColor |= depth == 48;
        }
        for (int dataType : dataTypes) {
            if (dataType == DATA_THRESHOLD) {
                modes.add(ColorMode.BLACK_AND_WHITE);
            } else if (dataType == DATA_GRAYSCALE) {
                modes.add(ColorMode.GRAY_8);
                if (deepGray) {
                    modes.add(ColorMode.GRAY_16);
                }
            } else if (dataType == DATA_COLOR) {
                modes.add(ColorMode.COLOR_24);
                if (deepColor) {
                    modes.add(ColorMode.COLOR_48);
                }
            }
        }
        return Collections.unmodifiableSet(modes);
    }

    /**
     * The sources the scanner has.
     *
     * @return the sources, never empty
     */
    public Set<ScanSource> getSources() { return sources; }

    /**
     * The flatbed's glass.
     *
     * @return the size, in inches; empty when the device does not say
     */
    public Optional<PageSize> getBedSize() { return Optional.ofNullable(bed); }

    /**
     * The largest sheet the feeder takes.
     *
     * @return the size, in inches; empty without a feeder, or when the device does not say
     */
    public Optional<PageSize> getSheetSize() { return Optional.ofNullable(sheet); }

    /**
     * Whether paper is ready in the feeder, as the device reports it; a device that cannot
     * detect paper may say no and still feed.
     *
     * @return true when the feeder holds paper and is not jammed
     */
    public boolean isFeederReady() { return status != -1 && (status & FEED_READY) != 0 && (status & PAPER_JAM) == 0; }

    /**
     * Whether the device reports a paper jam.
     *
     * @return true while paper is jammed
     */
    public boolean isPaperJammed() { return status != -1 && (status & PAPER_JAM) != 0; }

    /**
     * The resolutions the device offers.
     *
     * @return the resolutions
     */
    public Resolutions getResolutions() { return resolutions; }

    /**
     * The resolution the device is set to.
     *
     * @return dots per inch; -1 when the device does not say
     */
    public int getResolution() { return resolution; }

    /**
     * The resolution a scan asking for one is made at: the one asked where the device offers
     * it, else the device's own, which it keeps when it refuses a value.
     *
     * @param asked the resolution asked for
     * @return dots per inch
     */
    public int resolutionFor(int asked) {
        return resolutions.contains(asked) || resolution < 1 ? asked : resolution;
    }

    /**
     * The colour modes the device offers. The depths a device declares are those of its
     * current data type, so {@link ColorMode#GRAY_16} and {@link ColorMode#COLOR_48} appear
     * only when it is set to grey or colour and takes them.
     *
     * @return the modes; empty when the device does not list its data types
     */
    public Set<ColorMode> getColorModes() { return colorModes; }

    /** Whether the source can be chosen on the device's root. */
    boolean hasSelection() { return selectable; }

    /** Whether the device takes a page count for its feeder. */
    boolean hasPageCount() { return pageCount; }

    /** Whether the device takes the feeder's page width and height on its root. */
    boolean hasPageSizeOnRoot() { return pageSizeOnRoot; }

    @Override
    public String toString() {
        return "sources " + sources + ", bed " + (bed == null ? "not known" : bed) + ", sheet "
                + (sheet == null ? "none" : sheet) + ", " + resolutions + (resolution > 0 ? " (now " + resolution + ")" : "")
                + ", modes " + colorModes + (isFeederReady() ? ", feeder ready" : "") + (isPaperJammed() ? ", jammed" : "");
    }
}
