package kordin.vestaro.cli;

import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.stream.Collectors;
import kordin.vestaro.wia.ColorMode;
import kordin.vestaro.wia.PageSize;
import kordin.vestaro.wia.Resolutions;
import kordin.vestaro.wia.ScanSource;
import kordin.vestaro.wia.ScannerCapabilities;

/** What {@code info} shows of a scanner's capabilities: as text, and as JSON. */
final class ScannerInfo {
    private ScannerInfo() {
    }

    /** The lines after the device's name, each a name and its value. */
    static String text(ScannerCapabilities capabilities) {
        StringBuilder text = new StringBuilder();
        line(text, "sources", capabilities.getSources().stream().map(CommandLine::sourceName)
                .collect(Collectors.joining(", ")));
        line(text, "bed", capabilities.getBedSize().map(ScannerInfo::bothUnits).orElse("not known"));
        if (capabilities.getSources().contains(ScanSource.FEEDER)) {
            line(text, "sheets", capabilities.getSheetSize().map(sheet -> "up to " + bothUnits(sheet)).orElse("not known"));
            line(text, "feeder", capabilities.isPaperJammed() ? "paper jammed"
                    : capabilities.isFeederReady() ? "paper ready" : "no paper detected");
        }
        int now = capabilities.getResolution();
        line(text, "resolutions", capabilities.getResolutions() + (now > 0 ? ", now " + now : ""));
        line(text, "modes", capabilities.getColorModes().isEmpty() ? "not known"
                : capabilities.getColorModes().stream().map(CommandLine::modeName).collect(Collectors.joining(", ")));
        return text.toString();
    }

    private static void line(StringBuilder text, String name, String value) {
        text.append(String.format(Locale.ROOT, "  %-12s %s%n", name, value));
    }

    private static String bothUnits(PageSize size) {
        return size.dimensions(PageSize.Unit.MILLIMETRES) + " (" + size.dimensions(PageSize.Unit.INCHES) + ")";
    }

    /** The capabilities as JSON: sizes in thousandths of an inch, null where the device does not say. */
    static Map<String, Object> json(ScannerCapabilities capabilities) {
        List<Object> sources = new ArrayList<>();
        capabilities.getSources().forEach(source -> sources.add(CommandLine.sourceName(source)));
        List<Object> modes = new ArrayList<>();
        for (ColorMode mode : capabilities.getColorModes()) {
            modes.add(CommandLine.modeName(mode));
        }
        boolean feeder = capabilities.getSources().contains(ScanSource.FEEDER);
        int now = capabilities.getResolution();
        return Json.object(
                "sources", sources,
                "bed", capabilities.getBedSize().map(ScannerInfo::size).orElse(null),
                "sheet", capabilities.getSheetSize().map(ScannerInfo::size).orElse(null),
                "feederReady", feeder ? capabilities.isFeederReady() : null,
                "paperJammed", feeder ? capabilities.isPaperJammed() : null,
                "resolution", now > 0 ? now : null,
                "resolutions", resolutions(capabilities.getResolutions()),
                "modes", modes);
    }

    private static Map<String, Object> size(PageSize size) {
        return Json.object("width", size.getWidthThousandths(), "height", size.getHeightThousandths());
    }

    private static Map<String, Object> resolutions(Resolutions resolutions) {
        if (!resolutions.isKnown()) {
            return null;
        }
        if (resolutions.isRange()) {
            return Json.object("min", resolutions.getMin(), "max", resolutions.getMax(), "step", resolutions.getStep());
        }
        return Json.object("values", new ArrayList<Object>(resolutions.getValues()));
    }
}
