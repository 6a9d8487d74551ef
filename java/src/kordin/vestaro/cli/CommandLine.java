package kordin.vestaro.cli;

import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import kordin.vestaro.wia.ColorMode;
import kordin.vestaro.wia.PageSize;
import kordin.vestaro.wia.ScanSource;

/** The command line, parsed: what to do and with which settings. */
final class CommandLine {
    /** What the command line asks for. */
    enum Command {
        LIST, SCAN, CAMERA, INFO, HELP, VERSION
    }

    /** A command line that cannot be run; the message says why. */
    static final class UsageException extends Exception {
        private static final long serialVersionUID = 1L;

        UsageException(String message) {
            super(message);
        }
    }

    static final Map<String, ColorMode> MODES = Map.of(
            "bw", ColorMode.BLACK_AND_WHITE,
            "gray", ColorMode.GRAY_8,
            "gray16", ColorMode.GRAY_16,
            "color", ColorMode.COLOR_24,
            "color48", ColorMode.COLOR_48);

    /** The command line's name of a mode, as --mode takes it. */
    static String modeName(ColorMode mode) {
        for (Map.Entry<String, ColorMode> entry : MODES.entrySet()) {
            if (entry.getValue() == mode) {
                return entry.getKey();
            }
        }
        return String.valueOf(mode);
    }

    /** Every option by its long name: true for those that take a value. */
    private static final Map<String, Boolean> OPTIONS = Map.ofEntries(
            Map.entry("--debug", false), Map.entry("--trace", false), Map.entry("--json", false),
            Map.entry("--dialog", false), Map.entry("--output", true), Map.entry("--device", true),
            Map.entry("--prefix", true), Map.entry("--resolution", true), Map.entry("--mode", true),
            Map.entry("--area", true), Map.entry("--source", true), Map.entry("--pages", true),
            Map.entry("--page-size", true), Map.entry("--progress", false), Map.entry("--keep-names", false));
    private static final List<String> TRANSFER_OPTIONS = List.of("--output", "--dialog", "--prefix");
    private static final List<String> SCAN_OPTIONS = List.of("--resolution", "--mode", "--area", "--source", "--pages",
            "--page-size", "--progress");
    /** The options of a scan of pages, which a single-page scan (its dialog or an area in pixels) does not take. */
    private static final List<String> PAGE_OPTIONS = List.of("--source", "--pages", "--page-size", "--progress");

    static final Map<String, PageSize> PAGE_SIZES = Map.of(
            "a4", PageSize.A4, "a5", PageSize.A5, "letter", PageSize.LETTER, "legal", PageSize.LEGAL);
    private static final Pattern CUSTOM_SIZE = Pattern.compile("([0-9]{1,7}(?:\\.[0-9]{1,4})?)x([0-9]{1,7}(?:\\.[0-9]{1,4})?)(mm|in)");

    Command command;
    /** For {@link Command#HELP}: the command whose usage is asked for, null for the whole. */
    Command topic;
    boolean debug;
    boolean trace;
    boolean json;
    String device;
    Path output = Path.of("");
    boolean dialog;
    String prefix;
    /** Whether a camera's pictures are kept under their own names. */
    boolean keepNames;
    Integer resolution;
    ColorMode mode;
    int[] area;
    /** The source of a scan of pages; null when not given. */
    ScanSource source;
    /** The pages of a scan from the feeder, 0 for all; null when not given. */
    Integer pages;
    PageSize pageSize;
    boolean progress;

    private CommandLine() {
    }

    /**
     * Parses a command line. Help and the version win over everything else on it, so that
     * {@code scan --resolution x --help} shows the usage of scan.
     */
    static CommandLine parse(String... args) throws UsageException {
        CommandLine line = new CommandLine();
        List<String> all = Arrays.asList(args);
        line.json = outline(args).json();
        if (all.contains("-h") || all.contains("--help")) {
            line.command = Command.HELP;
            for (String arg : args) {
                if (line.topic == null && !arg.startsWith("-") && !arg.equals("help")) {
                    line.topic = commandOrNull(arg);
                }
            }
            return line;
        }
        if (all.contains("--version")) {
            line.command = Command.VERSION;
            return line;
        }
        List<String> options = new ArrayList<>();
        for (int i = 0; i < args.length; i++) {
            String arg = args[i];
            String value = null;
            int equals = arg.indexOf('=');
            if (arg.startsWith("--") && equals > 0) {
                value = arg.substring(equals + 1);
                arg = arg.substring(0, equals);
            }
            arg = longName(arg);
            if (!arg.startsWith("-") || arg.equals("-")) {
                line.word(arg);
                continue;
            }
            Boolean takesValue = OPTIONS.get(arg);
            if (takesValue == null) {
                throw new UsageException("unknown option: " + arg);
            }
            if (takesValue && value == null) {
                if (i + 1 >= args.length) {
                    throw new UsageException(arg + " needs a value");
                }
                value = args[++i];
            } else if (!takesValue && value != null) {
                throw new UsageException(arg + " takes no value");
            }
            line.option(arg, value);
            options.add(arg);
        }
        if (line.command == null) {
            throw new UsageException("no command");
        }
        if (line.command == Command.HELP) {
            return line;
        }
        // Options that the command does not use are refused, so that a typo is not ignored.
        boolean acquires = line.command == Command.SCAN || line.command == Command.CAMERA;
        for (String name : options) {
            if ((TRANSFER_OPTIONS.contains(name) && !acquires)
                    || (name.equals("--device") && !acquires && line.command != Command.INFO)
                    || (SCAN_OPTIONS.contains(name) && line.command != Command.SCAN)
                    || (name.equals("--keep-names") && line.command != Command.CAMERA)) {
                throw new UsageException(name + " is not an option of " + line.name());
            }
        }
        line.checkPageOptions(options);
        return line;
    }

    /**
     * A single-page scan (the dialog, or an area in pixels) takes none of the options of a
     * scan of pages, and the flatbed gives one page.
     */
    private void checkPageOptions(List<String> options) throws UsageException {
        for (String single : List.of("--dialog", "--area")) {
            for (String paged : PAGE_OPTIONS) {
                if (options.contains(single) && options.contains(paged)) {
                    throw new UsageException(single + " cannot be combined with " + paged);
                }
            }
        }
        if (pages != null && pages > 1 && (source == null || source == ScanSource.FLATBED)) {
            throw new UsageException("--pages " + pages + " needs --source feeder or duplex: the flatbed scans one page");
        }
    }

    /** Whether a scan runs as a scan of pages: every unattended scan but one of an area in pixels. */
    boolean scansPages() { return !dialog && area == null; }

    /**
     * What a command line asks for even when it cannot be parsed: whether it has the JSON
     * switch, and the command its first word names (null when it names none).
     */
    record Outline(boolean json, String command) {
    }

    static Outline outline(String... args) {
        boolean json = false;
        boolean firstWord = true;
        String command = null;
        for (int i = 0; i < args.length; i++) {
            String arg = args[i];
            int equals = arg.indexOf('=');
            boolean valueAttached = arg.startsWith("--") && equals > 0;
            String name = longName(valueAttached ? arg.substring(0, equals) : arg);
            if (name.equals("--json")) {
                json = true;
            } else if (!name.startsWith("-") || name.equals("-")) {
                if (firstWord && commandOrNull(name) != null) {
                    command = name;
                }
                firstWord = false;
            } else if (!valueAttached && Boolean.TRUE.equals(OPTIONS.get(name))) {
                i++; // the option's value, whatever it looks like
            }
        }
        return new Outline(json, command);
    }

    /** A word that is no option: the command, or the command that {@code help} is asked about. */
    private void word(String word) throws UsageException {
        if (command == null) {
            command = command(word);
        } else if (command == Command.HELP && topic == null) {
            topic = command(word);
        } else if (command == Command.HELP) {
            throw new UsageException("help takes one command: " + name(topic) + " and " + word);
        } else {
            throw new UsageException("one command at a time: " + name() + " and " + word);
        }
    }

    private static String longName(String arg) {
        return switch (arg) {
            case "-o" -> "--output";
            case "-d" -> "--device";
            case "-r" -> "--resolution";
            case "-m" -> "--mode";
            default -> arg;
        };
    }

    private static Command command(String name) throws UsageException {
        Command command = commandOrNull(name);
        if (command == null) {
            throw new UsageException("unknown command: " + name);
        }
        return command;
    }

    private static Command commandOrNull(String name) {
        return switch (name) {
            case "list" -> Command.LIST;
            case "scan" -> Command.SCAN;
            case "camera" -> Command.CAMERA;
            case "info" -> Command.INFO;
            case "help" -> Command.HELP;
            default -> null;
        };
    }

    private void option(String name, String value) throws UsageException {
        switch (name) {
            case "--debug" -> debug = true;
            case "--trace" -> trace = true;
            case "--json" -> json = true;
            case "--dialog" -> dialog = true;
            case "--keep-names" -> keepNames = true;
            case "--device" -> device = value;
            case "--prefix" -> prefix = value;
            case "--output" -> {
                try {
                    output = Path.of(value);
                } catch (InvalidPathException e) {
                    throw new UsageException("not a folder name: " + value);
                }
            }
            case "--resolution" -> {
                resolution = number(name, value);
                if (resolution < 1) {
                    throw new UsageException("--resolution must be positive: " + value);
                }
            }
            case "--mode" -> {
                mode = MODES.get(value.toLowerCase(Locale.ROOT));
                if (mode == null) {
                    throw new UsageException("unknown mode " + value + " (bw, gray, gray16, color, color48)");
                }
            }
            case "--area" -> area = area(value);
            case "--source" -> source = source(value);
            case "--pages" -> pages = pages(value);
            case "--page-size" -> pageSize = pageSize(value);
            case "--progress" -> progress = true;
            default -> throw new IllegalArgumentException(name); // OPTIONS and this switch list the same options
        }
    }

    private static int number(String option, String value) throws UsageException {
        try {
            return Integer.parseInt(value.strip());
        } catch (NumberFormatException e) {
            throw new UsageException(option + " needs a whole number: " + value);
        }
    }

    private static ScanSource source(String value) throws UsageException {
        for (ScanSource source : ScanSource.values()) {
            if (sourceName(source).equalsIgnoreCase(value)) {
                return source;
            }
        }
        throw new UsageException("unknown source " + value + " (flatbed, feeder, duplex)");
    }

    /** The command line's name of a source, as --source takes it. */
    static String sourceName(ScanSource source) {
        return source.name().toLowerCase(Locale.ROOT);
    }

    private static int pages(String value) throws UsageException {
        if (value.equalsIgnoreCase("all")) {
            return 0;
        }
        int pages = number("--pages", value);
        if (pages < 1) {
            throw new UsageException("--pages needs a count of 1 or more, or all: " + value);
        }
        return pages;
    }

    /** A named size, or a custom one such as {@code 210x297mm} or {@code 8.5x11in}. */
    static PageSize pageSize(String value) throws UsageException {
        String lower = value.strip().toLowerCase(Locale.ROOT);
        PageSize named = PAGE_SIZES.get(lower);
        if (named != null) {
            return named;
        }
        Matcher custom = CUSTOM_SIZE.matcher(lower);
        if (!custom.matches()) {
            throw new UsageException("unknown page size " + value + " (a4, a5, letter, legal, WxHmm or WxHin)");
        }
        double width = Double.parseDouble(custom.group(1));
        double height = Double.parseDouble(custom.group(2));
        try {
            return custom.group(3).equals("mm") ? PageSize.millimetres(width, height) : PageSize.inches(width, height);
        } catch (IllegalArgumentException e) {
            throw new UsageException("--page-size " + value + ": " + e.getMessage());
        }
    }

    private static int[] area(String value) throws UsageException {
        String[] parts = value.split(",", -1);
        if (parts.length != 4) {
            throw new UsageException("--area needs X,Y,W,H: " + value);
        }
        int[] area = new int[4];
        for (int i = 0; i < 4; i++) {
            area[i] = number("--area", parts[i]);
            int least = i < 2 ? 0 : 1;
            if (area[i] != -1 && area[i] < least) {
                throw new UsageException("--area: " + (i < 2 ? "X and Y must be -1 or 0 or more" : "W and H must be -1 or 1 or more") + ": " + value);
            }
        }
        return area;
    }

    String name() { return name(command); }

    static String name(Command command) {
        return command.name().toLowerCase(Locale.ROOT);
    }

    @Override
    public String toString() {
        return command + " device=" + device + " output=" + output + " dialog=" + dialog + " resolution="
                + resolution + " mode=" + mode + " area=" + Arrays.toString(area) + " source=" + source + " pages=" + pages
                + " pageSize=" + pageSize + " progress=" + progress;
    }
}
