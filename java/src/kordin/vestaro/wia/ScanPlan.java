package kordin.vestaro.wia;

import java.util.Arrays;
import java.util.Optional;

/**
 * What the library is asked to do for a scan: the properties written to the scanner's root
 * (the source, the page count, the feeder's page) and to its scan item (resolution, colour
 * mode, area), as pairs of property and value, and the most pages to take. Made from the
 * settings and the device's capabilities, refusing what the device cannot do before anything
 * is written.
 */
final class ScanPlan {
    // The root's document handling.
    static final int DOCUMENT_HANDLING_SELECT = 3088;
    static final int PAGES = 3096;
    static final int PAGE_WIDTH = 3098;
    static final int PAGE_HEIGHT = 3099;
    static final int FEEDER = 0x001;
    static final int FLATBED = 0x002;
    static final int DUPLEX = 0x004;
    static final int FRONT_FIRST = 0x008;
    // The scan item's settings.
    static final int XRES = 6147;
    static final int YRES = 6148;
    static final int DATATYPE = 4103;
    static final int DEPTH = 4104;
    static final int XPOS = 6149;
    static final int YPOS = 6150;
    static final int XEXTENT = 6151;
    static final int YEXTENT = 6152;

    private final int[] rootWrites;
    private final int[] itemWrites;
    private final int maxPages;
    private final boolean duplex;

    private ScanPlan(int[] rootWrites, int[] itemWrites, int maxPages, boolean duplex) {
        this.rootWrites = rootWrites;
        this.itemWrites = itemWrites;
        this.maxPages = maxPages;
        this.duplex = duplex;
    }

    /**
     * The plan of a scan, or its refusal.
     *
     * @param device the device as messages name it, such as {@code "Office Scanner"} in quotes
     * @throws ScanRefusedException for a source the device lacks, more than one page from the
     *     flatbed, or a page larger than the bed or the feeder's largest sheet
     */
    static ScanPlan of(String device, ScanSettings settings, ScannerCapabilities capabilities) {
        ScanSource source = settings.getSource();
        checkSource(device, source, capabilities);
        if (source == ScanSource.FLATBED && settings.getPages() > 1) {
            throw new ScanRefusedException("the flatbed scans one page, not " + settings.getPages()
                    + ": more pages come from the feeder");
        }
        Optional<PageSize> asked = settings.getPageSize();
        PageSize glass = source.isFeeder() ? capabilities.getSheetSize().orElse(null)
                : capabilities.getBedSize().orElse(null);
        if (asked.isPresent() && glass != null && !asked.get().fitsWithin(glass)) {
            throw new ScanRefusedException(asked.get() + " is larger than "
                    + (source.isFeeder() ? "the largest sheet the feeder takes" : "the bed") + " ("
                    + glass.dimensions(asked.get().getUnit()) + ")");
        }

        Writes root = new Writes();
        if (capabilities.hasSelection()) {
            root.add(DOCUMENT_HANDLING_SELECT, source == ScanSource.FLATBED ? FLATBED
                    : source == ScanSource.FEEDER ? FEEDER : FEEDER | DUPLEX | FRONT_FIRST);
        }
        if (source.isFeeder() && capabilities.hasPageCount()) {
            root.add(PAGES, settings.getPages());
        }
        if (source.isFeeder() && asked.isPresent() && capabilities.hasPageSizeOnRoot()) {
            root.add(PAGE_WIDTH, asked.get().getWidthThousandths());
            root.add(PAGE_HEIGHT, asked.get().getHeightThousandths());
        }

        Writes item = new Writes();
        ColorMode mode = settings.getColorMode();
        item.add(XRES, settings.getResolution());
        item.add(YRES, settings.getResolution());
        item.add(DATATYPE, mode.dataType());
        item.add(DEPTH, mode.bitsPerPixel());
        // The area in pixels at the resolution the device will scan at: the page asked, else
        // the whole bed (whatever area an earlier scan left); the feeder's page is its own.
        PageSize area = asked.orElse(source.isFeeder() ? null : glass);
        if (area != null) {
            int dpi = capabilities.resolutionFor(settings.getResolution());
            item.add(XPOS, 0);
            item.add(YPOS, 0);
            item.add(XEXTENT, area.widthPixels(dpi));
            item.add(YEXTENT, area.heightPixels(dpi));
        }
        return new ScanPlan(root.values(), item.values(), source.isFeeder() ? settings.getPages() : 1,
                source == ScanSource.DUPLEX);
    }

    private static void checkSource(String device, ScanSource source, ScannerCapabilities capabilities) {
        if (capabilities.getSources().contains(source)) {
            return;
        }
        boolean feeder = capabilities.getSources().contains(ScanSource.FEEDER);
        switch (source) {
            case FLATBED:
                throw new ScanRefusedException(device + " has no flatbed: its pages come from the feeder");
            case DUPLEX:
                throw new ScanRefusedException(device + (feeder ? " cannot scan both sides: its feeder has no duplex unit"
                        : " has no document feeder"));
            default:
                throw new ScanRefusedException(device + " has no document feeder");
        }
    }

    /** Pairs of property and value, in the order they are written. */
    private static final class Writes {
        private int[] values = new int[16];
        private int size;

        void add(int property, int value) {
            values[size++] = property;
            values[size++] = value;
        }

        int[] values() { return Arrays.copyOf(values, size); }
    }

    int[] rootWrites() { return rootWrites.clone(); }

    int[] itemWrites() { return itemWrites.clone(); }

    /** The most pages to take: the count asked, 0 until the feeder is empty, 1 from the flatbed. */
    int maxPages() { return maxPages; }

    /** Whether the pages alternate front and back. */
    boolean isDuplex() { return duplex; }
}
