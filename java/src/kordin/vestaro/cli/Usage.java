package kordin.vestaro.cli;

/** The texts of {@code help}: the whole command line, and each command's options. */
final class Usage {
    private Usage() {
    }

    static final String GENERAL = String.join("\n",
            "usage: java -jar vestaro.jar [--json] [--debug] [--trace] COMMAND [OPTIONS]",
            "",
            "commands:",
            "  list      list the WIA devices",
            "  scan      scan one page into a folder",
            "  camera    transfer a camera's pictures into a folder",
            "  help      show this text; 'help COMMAND' shows a command's options",
            "",
            "options of every command:",
            "  --json      the result as one JSON document on standard output",
            "  --debug     the library's diagnostic lines and the Java side's debug messages",
            "              on standard error",
            "  --trace     a failure's stack trace on standard error",
            "  -h, --help  this text, or the options of the command named with it",
            "  --version   the version",
            "",
            "Results go to standard output; progress, warnings and failures to standard error.",
            "",
            "exit status:",
            "  0  every image arrived (list: the devices were listed)",
            "  1  a failure of the device, of the platform or of keeping an image",
            "  2  a wrong command line",
            "  3  nothing to acquire: the dialog was cancelled or nothing was picked, the",
            "     camera holds no picture, the scanner had nothing to scan",
            "  4  no such device: none with the number, name or identifier given, or none of",
            "     the command's kind",
            "");

    static final String LIST = String.join("\n",
            "usage: java -jar vestaro.jar [--json] list",
            "",
            "Lists the WIA devices: number, kind, name and identifier, one a line.",
            "");

    private static final String TRANSFER_OPTIONS = String.join("\n",
            "  -o, --output DIR      folder for the images (default: the current folder);",
            "                        files are numbered after those already there",
            "  -d, --device DEVICE   the device's number in 'list', its name or its identifier",
            "                        (default: the first device of the kind)",
            "      --dialog          let the user choose in the device's own dialog",
            "      --prefix NAME     start of the file names");

    static final String SCAN = String.join("\n",
            "usage: java -jar vestaro.jar [--json] scan [OPTIONS]",
            "",
            "Scans one page into a folder as scan-001.jpg (or .bmp), and prints what the",
            "file holds. Warns when the device did not take a setting that was asked.",
            "",
            TRANSFER_OPTIONS + " (default: scan)",
            "  -r, --resolution DPI  dots per inch (default: 300)",
            "  -m, --mode MODE       bw, gray, gray16, color or color48 (default: color)",
            "      --area X,Y,W,H    scan area in pixels at the resolution; -1 for the",
            "                        device's own value (default: the whole area)",
            "The device's dialog, when asked for, makes the settings instead.",
            "");

    static final String CAMERA = String.join("\n",
            "usage: java -jar vestaro.jar [--json] camera [OPTIONS]",
            "",
            "Transfers every picture of a camera, or those picked in its dialog, into a",
            "folder as picture-001.jpg, picture-002.jpg, ..., and prints what each file holds.",
            "",
            TRANSFER_OPTIONS + " (default: picture)",
            "");

    static final String HELP = String.join("\n",
            "usage: java -jar vestaro.jar help [COMMAND]",
            "",
            "Shows the usage of the command line, or of one command.",
            "");

    /** The text for a command, naming the command that started the program instead of {@link Program#DEFAULT}. */
    static String of(CommandLine.Command command, String program) {
        return of(command).replace(Program.DEFAULT, program);
    }

    /** The text for a command; the whole command line's for null. */
    static String of(CommandLine.Command command) {
        if (command == null) {
            return GENERAL;
        }
        switch (command) {
            case LIST:
                return LIST;
            case SCAN:
                return SCAN;
            case CAMERA:
                return CAMERA;
            default:
                return HELP;
        }
    }
}
