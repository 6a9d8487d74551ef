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
            "  scan      scan pages into a folder, from the flatbed or the feeder",
            "  camera    transfer a camera's pictures into a folder",
            "  info      show what a scanner offers",
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
            "  1  a failure of the device, of the platform or of keeping an image; a scan",
            "     the scanner cannot make (a source it lacks, a page larger than its glass);",
            "     a paper jam, after the pages before it were kept",
            "  2  a wrong command line",
            "  3  nothing to acquire: the dialog was cancelled or nothing was picked, the",
            "     camera holds no picture, the scanner had nothing to scan, the feeder is",
            "     empty",
            "  4  no such device: none with the number, name or identifier given, or none of",
            "     the command's kind",
            "  130  cancelled with Ctrl-C: the pages that arrived are kept",
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
            "Scans pages into a folder as scan-001.jpg (or .bmp), scan-002.jpg, ..., and",
            "prints what each file holds. Warns when the device did not take a setting that",
            "was asked. Ctrl-C cancels: the pages that arrived are kept (exit status 130).",
            "",
            TRANSFER_OPTIONS + " (default: scan)",
            "  -r, --resolution DPI  dots per inch (default: 300)",
            "  -m, --mode MODE       bw, gray, gray16, color or color48 (default: color)",
            "      --source SOURCE   flatbed, feeder, or duplex for both sides of each sheet",
            "                        (default: flatbed)",
            "      --pages N|all     how many pages the feeder gives at most (default: all;",
            "                        the flatbed gives one)",
            "      --page-size SIZE  a4, a5, letter, legal, or WxHmm or WxHin such as",
            "                        100x150mm or 4x6in, from the top left corner (default:",
            "                        the whole bed, or the feeder's own page size)",
            "      --progress        each page's progress on standard error",
            "      --area X,Y,W,H    one page, the scan area in pixels at the resolution; -1",
            "                        for the device's own value",
            "The device's dialog, when asked for, makes the settings instead; the dialog and",
            "--area scan one page and take no option of the four before --area.",
            "");

    static final String CAMERA = String.join("\n",
            "usage: java -jar vestaro.jar [--json] camera [OPTIONS]",
            "",
            "Transfers every picture of a camera, or those picked in its dialog, into a",
            "folder as picture-001.jpg, picture-002.jpg, ..., and prints what each file holds.",
            "",
            TRANSFER_OPTIONS + " (default: picture)",
            "      --keep-names      keep each picture under the name the camera gives it",
            "                        (made safe as a file name; a name taken gets -2, -3,",
            "                        ...); pictures without a name are numbered",
            "");

    static final String INFO = String.join("\n",
            "usage: java -jar vestaro.jar [--json] info [-d DEVICE]",
            "",
            "Shows what a scanner offers: its sources, the sizes of its bed and of the",
            "largest sheet its feeder takes, whether paper is ready in the feeder, its",
            "resolutions and its colour modes.",
            "",
            "  -d, --device DEVICE   the scanner's number in 'list', its name or its",
            "                        identifier (default: the first scanner)",
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
            case INFO:
                return INFO;
            default:
                return HELP;
        }
    }
}
