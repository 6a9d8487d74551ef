package kordin.vestaro.cli;

import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import kordin.vestaro.wia.ColorMode;
import kordin.vestaro.wia.ImageHeader;
import kordin.vestaro.wia.PageSize;
import kordin.vestaro.wia.ScanSettings;
import kordin.vestaro.wia.WIAScanner;

/**
 * What an unattended scan asked of the device, to hold against the file that arrived: a
 * device that refuses a setting scans with its own value without failing.
 */
final class ScanRequest {
    private final int resolution;
    private final ColorMode mode;
    private final int width;
    private final int height;
    private final PageSize pageSize;

    private ScanRequest(int resolution, ColorMode mode, int width, int height, PageSize pageSize) {
        this.resolution = resolution;
        this.mode = mode;
        this.width = width;
        this.height = height;
        this.pageSize = pageSize;
    }

    /** The settings the scanner is about to scan one page with. */
    static ScanRequest of(WIAScanner scanner) {
        int[] area = scanner.getArea();
        return new ScanRequest(scanner.getResolution(), scanner.getColorMode(), area[2], area[3], null);
    }

    /** The settings of a scan of pages. */
    static ScanRequest of(ScanSettings settings) {
        return new ScanRequest(settings.getResolution(), settings.getColorMode(), -1, -1,
                settings.getPageSize().orElse(null));
    }

    /**
     * One warning for each setting that the image's file shows the device did not take; none
     * for a value that the file does not record.
     */
    List<String> differences(ImageHeader header) {
        List<String> warnings = new ArrayList<>();
        if (!header.isKnown()) {
            warnings.add("the image's header cannot be read: what the device did is not known");
            return warnings;
        }
        int xDpi = header.getXResolution();
        int yDpi = header.getYResolution();
        if ((xDpi != 0 || yDpi != 0) && (xDpi != resolution || yDpi != resolution)) {
            warnings.add(String.format(Locale.ROOT, "asked %d dpi, the device scanned at %s", resolution,
                    xDpi == yDpi ? String.valueOf(xDpi) : xDpi + "x" + yDpi));
        }
        int bits = header.getBitsPerPixel();
        if (mode != null && bits != 0 && bits != expectedBits(header.getFormat())) {
            warnings.add(String.format(Locale.ROOT, "asked %s (%d bits per pixel), the image has %d",
                    CommandLine.modeName(mode), mode.bitsPerPixel(), bits));
        }
        boolean wrongWidth = width != -1 && header.getWidth() != width;
        boolean wrongHeight = height != -1 && header.getHeight() != 0 && header.getHeight() != height;
        if (wrongWidth || wrongHeight) {
            String asked = width != -1 && height != -1 ? "an area of " + width + "x" + height + " pixels"
                    : width != -1 ? "a width of " + width + " pixels" : "a height of " + height + " pixels";
            warnings.add("asked " + asked + ", the image is " + header.getWidth() + "x" + header.getHeight());
        }
        if (pageSize != null) {
            // The page in whole pixels at the image's own resolution; a pixel either way is the
            // rounding of a device that laid the area out at another resolution first.
            int pageXDpi = xDpi != 0 ? xDpi : resolution;
            int pageYDpi = yDpi != 0 ? yDpi : resolution;
            if (Math.abs(header.getWidth() - pageSize.widthPixels(pageXDpi)) > 1
                    || Math.abs(header.getHeight() - pageSize.heightPixels(pageYDpi)) > 1) {
                warnings.add(String.format(Locale.ROOT, "asked %s, the image is %dx%d at %s dpi", pageSize,
                        header.getWidth(), header.getHeight(),
                        pageXDpi == pageYDpi ? String.valueOf(pageXDpi) : pageXDpi + "x" + pageYDpi));
            }
        }
        return warnings;
    }

    /** The depth asked; black and white arrives as 8-bit grey in a JPEG, which has no 1-bit form. */
    private int expectedBits(String format) {
        int asked = mode.bitsPerPixel();
        return asked == 1 && format.equals(ImageHeader.JPEG) ? 8 : asked;
    }
}
