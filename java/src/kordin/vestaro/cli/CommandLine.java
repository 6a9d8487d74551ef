package kordin.vestaro.cli;

import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import kordin.vestaro.wia.ColorMode;

/** The command line, parsed: what to do and with which settings. */
final class CommandLine {
    /** What the command line asks for. */
    enum Command {
        LIST, SCAN, CAMERA, HELP
    }

    /** A command line that cannot be run; the message says why. */
    static final class UsageException extends Exception {
        private static final long serialVersionUID = 1L;

        UsageException(String message) {
            super(message);
        }
    }

    static final String USAGE = String.join("\n",
            "usage: java -jar vestaro.jar [--debug] [--trace] COMMAND [OPTIONS]",
            "",
            "commands:",
            "  list      list the WIA devices",
            "  scan      scan one page into a folder",
            "  camera    transfer a camera's pictures into a folder",
            "  help      show this text",
            "",
            "options of scan and camera:",
            "  -o, --output DIR      folder for the images (default: the current folder);",
            "                        files are named scan-001.jpg, picture-001.jpg, ...,",
            "                        numbered after those already there",
            "  -d, --device DEVICE   the device's number in 'list', its name or its identifier",
            "                        (default: the first scanner or camera)",
            "      --dialog          let the user choose in the device's own dialog",
            "      --prefix NAME     start of the file names (default: scan, picture)",
            "options of scan (ignored by the device's dialog):",
            "  -r, --resolution DPI  dots per inch (default: 300)",
            "  -m, --mode MODE       bw, gray, gray16, color or color48 (default: color)",
            "      --area X,Y,W,H    scan area in pixels at the resolution; -1 for the",
            "                        device's own value (default: the whole area)",
            "",
            "  --debug   the library's diagnostic lines on standard error",
            "  --trace   a failure's stack trace on standard error",
            "",
            "Exit status: 0 when every image arrived, 1 when something failed, 2 for a wrong",
            "command line, 3 when there was nothing to acquire (no such device, the dialog",
            "was cancelled, an empty camera).",
            "");

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

    private static final List<String> TRANSFER_OPTIONS = List.of("--output", "--device", "--dialog", "--prefix");
    private static final List<String> SCAN_OPTIONS = List.of("--resolution", "--mode", "--area");

    Command command;
    boolean debug;
    boolean trace;
    String device;
    Path output = Path.of("");
    boolean dialog;
    String prefix;
    Integer resolution;
    ColorMode mode;
    int[] area;

    private CommandLine() {
    }

    static CommandLine parse(String... args) throws UsageException {
        CommandLine line = new CommandLine();
        if (Arrays.asList(args).contains("-h") || Arrays.asList(args).contains("--help")) {
            line.command = Command.HELP;
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
            if (!arg.startsWith("-")) {
                if (line.command != null) {
                    throw new UsageException("one command at a time: " + line.name() + " and " + arg);
                }
                line.command = command(arg);
                continue;
            }
            boolean takesValue = !List.of("--debug", "--trace", "--dialog").contains(arg);
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
        if (line.command == Command.HELP) {
            return line;
        }
        if (line.command == null) {
            throw new UsageException("no command");
        }
        // Options that the command does not use are refused, so that a typo is not ignored.
        for (String name : options) {
            if ((TRANSFER_OPTIONS.contains(name) && line.command != Command.SCAN && line.command != Command.CAMERA)
                    || (SCAN_OPTIONS.contains(name) && line.command != Command.SCAN)) {
                throw new UsageException(name + " is not an option of " + line.name());
            }
        }
        return line;
    }

    private static String longName(String arg) {
        switch (arg) {
            case "-o":
                return "--output";
            case "-d":
                return "--device";
            case "-r":
                return "--resolution";
            case "-m":
                return "--mode";
            default:
                return arg;
        }
    }

    private static Command command(String name) throws UsageException {
        switch (name) {
            case "list":
                return Command.LIST;
            case "scan":
                return Command.SCAN;
            case "camera":
                return Command.CAMERA;
            case "help":
                return Command.HELP;
            default:
                throw new UsageException("unknown command: " + name);
        }
    }

    private void option(String name, String value) throws UsageException {
        switch (name) {
            case "--debug":
                debug = true;
                break;
            case "--trace":
                trace = true;
                break;
            case "--dialog":
                dialog = true;
                break;
            case "--device":
                device = value;
                break;
            case "--prefix":
                prefix = value;
                break;
            case "--output":
                try {
                    output = Path.of(value);
                } catch (InvalidPathException e) {
                    throw new UsageException("not a folder name: " + value);
                }
                break;
            case "--resolution":
                resolution = number(name, value);
                if (resolution < 1) {
                    throw new UsageException("--resolution must be positive: " + value);
                }
                break;
            case "--mode":
                mode = MODES.get(value.toLowerCase(Locale.ROOT));
                if (mode == null) {
                    throw new UsageException("unknown mode " + value + " (bw, gray, gray16, color, color48)");
                }
                break;
            case "--area":
                area = area(value);
                break;
            default:
                throw new UsageException("unknown option: " + name);
        }
    }

    private static int number(String option, String value) throws UsageException {
        try {
            return Integer.parseInt(value.strip());
        } catch (NumberFormatException e) {
            throw new UsageException(option + " needs a whole number: " + value);
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

    String name() {
        return command.name().toLowerCase(Locale.ROOT);
    }

    @Override
    public String toString() {
        return command + " device=" + device + " output=" + output + " dialog=" + dialog + " resolution="
                + resolution + " mode=" + mode + " area=" + Arrays.toString(area);
    }
}
