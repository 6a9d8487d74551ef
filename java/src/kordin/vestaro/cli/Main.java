package kordin.vestaro.cli;

import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import kordin.vestaro.Manager;
import kordin.vestaro.VestaroException;
import kordin.vestaro.wia.ColorMode;
import kordin.vestaro.wia.ImageFolder;
import kordin.vestaro.wia.ImageHeader;
import kordin.vestaro.wia.ImageListener;
import kordin.vestaro.wia.ScanRefusedException;
import kordin.vestaro.wia.ScanResult;
import kordin.vestaro.wia.ScanSettings;
import kordin.vestaro.wia.ScanSource;
import kordin.vestaro.wia.ScannerCapabilities;
import kordin.vestaro.wia.WIACamera;
import kordin.vestaro.wia.WIADevice;
import kordin.vestaro.wia.WIAManager;
import kordin.vestaro.wia.WIAScanner;

/**
 * The command line: {@code java -jar vestaro.jar list | scan | camera | info | help}. Run it with
 * {@code help} for the options and exit statuses. Results go to standard output (with
 * {@code --json} as one JSON document), progress, warnings and failures to standard error.
 */
public final class Main {
    static final int OK = 0;
    static final int FAILED = 1;
    static final int USAGE = 2;
    static final int NOTHING = 3;
    static final int NO_DEVICE = 4;
    /** A scan cancelled by Ctrl-C: the status the Java VM exits with after SIGINT. */
    static final int CANCELLED = 130;

    /** The version when the jar's manifest does not give one (classes run from a folder). */
    private static final String BUILT_VERSION = "12.0.0";

    /** Opens the device manager; tests put a manager of their own in its place. */
    @FunctionalInterface
    interface Opener {
        WIAManager open() throws VestaroException;
    }

    private final PrintStream out;
    /** Where the results go as text: standard output, or nowhere when they go out as JSON. */
    private PrintStream results;
    private final PrintStream err;
    private final Opener opener;
    /** The command that started the command line, as the usage texts name it. */
    private final String program;
    /** Whether standard error is a terminal, where progress is a bar drawn in place. */
    private final boolean terminal;
    /** Whether Ctrl-C cancels a scan of pages: in the command line's own VM, not in a host's. */
    private final boolean cancelsOnInterrupt;
    /** The Ctrl-C handler of the scan of this run, told when the run has written everything. */
    private CancelOnInterrupt interrupt;
    private boolean debug;
    private boolean trace;
    private Report report;

    Main(PrintStream out, PrintStream err, Opener opener) {
        this(out, err, opener, Program.DEFAULT);
    }

    Main(PrintStream out, PrintStream err, Opener opener, String program) {
        this(out, err, opener, program, false, false);
    }

    Main(PrintStream out, PrintStream err, Opener opener, String program, boolean terminal, boolean cancelsOnInterrupt) {
        this.out = out;
        this.err = err;
        this.opener = opener;
        this.program = program;
        this.terminal = terminal;
        this.cancelsOnInterrupt = cancelsOnInterrupt;
    }

    /**
     * Runs one command and exits with its status.
     *
     * @param args the command line
     */
    public static void main(String[] args) {
        System.exit(new Main(System.out, System.err, WIAManager::open, Program.ofThisVm(), System.console() != null, true)
                .run(args));
    }

    /** The jar's version, from its manifest. */
    static String version() {
        String version = Main.class.getPackage().getImplementationVersion();
        return version != null ? version : BUILT_VERSION;
    }

    /** Runs one command; returns the exit status. */
    int run(String... args) {
        CommandLine line;
        try {
            line = CommandLine.parse(args);
        } catch (CommandLine.UsageException e) {
            err.println("vestaro: " + e.getMessage());
            err.println("Run '" + program + " help' for the usage.");
            CommandLine.Outline outline = CommandLine.outline(args);
            if (outline.json()) {
                Report wrong = new Report(outline.command());
                wrong.failure(e.getMessage());
                out.print(wrong.json(USAGE));
            }
            return USAGE;
        }
        if (line.command == CommandLine.Command.HELP || line.command == CommandLine.Command.VERSION) {
            boolean help = line.command == CommandLine.Command.HELP;
            String text = help ? Usage.of(line.topic, program) : "vestaro " + version() + System.lineSeparator();
            if (line.json) {
                Report shown = new Report(line.name());
                shown.text(help ? "usage" : "version", help ? text : version());
                text = shown.json(OK);
            }
            out.print(text);
            return OK;
        }
        debug = line.debug;
        trace = line.trace;
        results = line.json ? new PrintStream(OutputStream.nullOutputStream()) : out;
        if (debug) {
            // Before the library loads: it reads the switch once, at load.
            Manager.debug = true;
        }
        report = new Report(line.name());
        int status;
        ConsoleLog log = new ConsoleLog(err, debug, trace, report::warning);
        try {
            status = runWithManager(line);
        } finally {
            log.close();
        }
        if (line.json) {
            out.print(report.json(status));
        }
        out.flush();
        err.flush();
        if (interrupt != null) {
            interrupt.finished();
            interrupt = null;
        }
        return status;
    }

    private int runWithManager(CommandLine line) {
        WIAManager manager;
        try {
            manager = opener.open();
        } catch (VestaroException | RuntimeException | LinkageError e) {
            return failed("cannot open the WIA device manager: ", e);
        }
        int status;
        try {
            switch (line.command) {
                case LIST:
                    status = list(manager);
                    break;
                case INFO:
                    status = info(line, manager);
                    break;
                default:
                    status = acquire(line, manager);
            }
        } catch (VestaroException | IOException | RuntimeException e) {
            status = failed("", e);
        }
        try {
            manager.close();
        } catch (VestaroException | RuntimeException e) {
            status = failed("cannot release the devices: ", e);
        }
        return status;
    }

    private int list(WIAManager manager) {
        List<WIADevice> devices = manager.getDevices();
        report.devices(devices);
        if (devices.isEmpty()) {
            VestaroException unlisted = manager.getPollFailure();
            if (unlisted != null) {
                return failed(DeviceSelection.cannotOpen(unlisted), unlisted);
            }
            results.println("no WIA device found");
            return OK;
        }
        int nameWidth = 1;
        for (WIADevice device : devices) {
            nameWidth = Math.max(nameWidth, TerminalText.printable(device.getName()).length());
        }
        for (int i = 0; i < devices.size(); i++) {
            WIADevice device = devices.get(i);
            results.printf(Locale.ROOT, "%2d  %-7s  %-" + nameWidth + "s  %s%n", i + 1, kindName(device),
                    TerminalText.printable(device.getName()), TerminalText.printable(device.getId()));
        }
        results.printf(Locale.ROOT, "%d device%s%n", devices.size(), devices.size() == 1 ? "" : "s");
        return OK;
    }

    private int acquire(CommandLine line, WIAManager manager) throws VestaroException, IOException {
        boolean scan = line.command == CommandLine.Command.SCAN;
        DeviceSelection.Selection selected = DeviceSelection.select(manager, line.device,
                scan ? WIAScanner.class : WIACamera.class);
        if (selected.device() == null) {
            return refused(selected);
        }
        WIADevice device = selected.device();
        report.device(device, manager.getDevices().indexOf(device) + 1);
        Path folder = line.output.toAbsolutePath().normalize();
        ImageFolder keeper;
        try {
            String prefix = line.prefix != null ? line.prefix : scan ? "scan" : "picture";
            keeper = line.keepNames ? ImageFolder.keepingNames(folder, prefix) : new ImageFolder(folder, prefix);
        } catch (IllegalArgumentException e) {
            err.println("vestaro: --prefix: " + e.getMessage());
            report.failure("--prefix: " + e.getMessage());
            return USAGE;
        }
        report.folder(folder);
        keeper.prepare(); // a folder that cannot take the images fails before the device runs
        if (scan && line.scansPages()) {
            return scanPages((WIAScanner) device, line, keeper);
        }
        ScanRequest[] asked = new ScanRequest[1];
        ImageListener printer = image -> {
            Path kept = keeper.keep(image);
            long size = Files.size(kept);
            report.image(image.getIndex(), kept, image.getHeader(), size);
            results.printf(Locale.ROOT, "%3d  %s  %s%,d bytes%n", image.getIndex(), kept.getFileName(),
                    values(image.getHeader()), size);
            results.flush();
            if (asked[0] != null) {
                for (String difference : asked[0].differences(image.getHeader())) {
                    warn(difference);
                }
            }
        };
        int count;
        try {
            if (scan) {
                WIAScanner scanner = (WIAScanner) device;
                configure(scanner, line);
                if (line.dialog) {
                    err.println("scanning with " + quoted(scanner) + " through its dialog");
                } else {
                    asked[0] = ScanRequest.of(scanner);
                    err.printf(Locale.ROOT, "scanning with %s, asking %d dpi, mode %s%n", quoted(scanner),
                            scanner.getResolution(), CommandLine.modeName(scanner.getColorMode()));
                }
                count = scanner.scan(line.dialog, printer);
            } else {
                err.println("transferring " + (line.dialog ? "the pictures picked in the dialog of " : "every picture of ")
                        + quoted(device));
                count = ((WIACamera) device).transfer(line.dialog, printer);
            }
        } catch (VestaroException | IOException | RuntimeException e) {
            summary(keeper, " before the failure");
            throw e;
        }
        if (count == 0) {
            err.println("vestaro: no image: " + (line.dialog ? "the dialog was cancelled or nothing was picked"
                    : scan ? "the scanner had nothing to scan" : "the camera holds no picture"));
            return NOTHING;
        }
        summary(keeper, "");
        return OK;
    }

    /**
     * A scan of pages: from the flatbed or the feeder, each page kept and printed with its
     * side as it arrives; Ctrl-C cancels it.
     */
    private int scanPages(WIAScanner scanner, CommandLine line, ImageFolder keeper) throws VestaroException, IOException {
        ScanSource source = line.source != null ? line.source : ScanSource.FLATBED;
        ScanSettings settings = ScanSettings.of(source).withPageSize(line.pageSize)
                .withResolution(line.resolution != null ? line.resolution : 300)
                .withColorMode(line.mode != null ? line.mode : ColorMode.COLOR_24);
        settings = line.pages == null || line.pages == 0 ? settings.withAllPages() : settings.withPages(line.pages);
        boolean duplex = source == ScanSource.DUPLEX;
        ProgressPrinter progress = line.progress ? new ProgressPrinter(err, terminal, duplex) : null;
        settings = settings.withProgressListener(progress);
        err.println(scanning(scanner, settings));
        ScanRequest asked = ScanRequest.of(settings);
        ImageListener printer = image -> {
            if (progress != null) {
                progress.endLine();
            }
            Path kept = keeper.keep(image);
            long size = Files.size(kept);
            report.image(image.getIndex(), image.getSide(), kept, image.getHeader(), size);
            String side = duplex ? String.format(Locale.ROOT, "%-5s  ", image.getSide().name().toLowerCase(Locale.ROOT)) : "";
            results.printf(Locale.ROOT, "%3d  %s%s  %s%,d bytes%n", image.getIndex(), side, kept.getFileName(),
                    values(image.getHeader()), size);
            results.flush();
            for (String difference : asked.differences(image.getHeader())) {
                warn(difference);
            }
        };
        if (cancelsOnInterrupt) {
            interrupt = CancelOnInterrupt.install(scanner);
        }
        ScanResult result;
        try {
            result = scanner.scan(settings, printer);
        } catch (ScanRefusedException e) {
            throw e; // nothing was scanned
        } catch (VestaroException | IOException | RuntimeException e) {
            endProgress(progress);
            summary(keeper, " before the failure");
            throw e;
        }
        endProgress(progress);
        switch (result.getOutcome()) {
            case FEEDER_EMPTY:
                err.println("vestaro: no image: the feeder is empty");
                return NOTHING;
            case CANCELLED:
                summary(keeper, " before the scan was cancelled");
                err.println("vestaro: the scan was cancelled");
                return CANCELLED;
            default:
                if (result.getPages().isEmpty()) {
                    err.println("vestaro: no image: the scanner had nothing to scan");
                    return NOTHING;
                }
                summary(keeper, "");
                return OK;
        }
    }

    private static void endProgress(ProgressPrinter progress) {
        if (progress != null) {
            progress.endLine();
        }
    }

    /** What a scan of pages asks: {@code scanning with "Scanner" from its feeder, both sides, all pages, ...}. */
    private static String scanning(WIAScanner scanner, ScanSettings settings) {
        StringBuilder text = new StringBuilder("scanning with ").append(quoted(scanner));
        if (settings.getSource().isFeeder()) {
            text.append(" from its feeder");
            if (settings.getSource() == ScanSource.DUPLEX) {
                text.append(", both sides");
            }
            text.append(settings.isAllPages() ? ", all pages"
                    : settings.getPages() == 1 ? ", 1 page" : ", " + settings.getPages() + " pages");
        }
        settings.getPageSize().ifPresent(size -> text.append(", page size ").append(size));
        return text.append(String.format(Locale.ROOT, ", asking %d dpi, mode %s", settings.getResolution(),
                CommandLine.modeName(settings.getColorMode()))).toString();
    }

    /** {@code info}: what a scanner offers. */
    private int info(CommandLine line, WIAManager manager) throws VestaroException {
        DeviceSelection.Selection selected = DeviceSelection.select(manager, line.device, WIAScanner.class);
        if (selected.device() == null) {
            return refused(selected);
        }
        WIAScanner scanner = (WIAScanner) selected.device();
        report.device(scanner, manager.getDevices().indexOf(scanner) + 1);
        ScannerCapabilities capabilities = scanner.getCapabilities();
        report.capabilities(ScannerInfo.json(capabilities));
        results.println(quoted(scanner) + " (" + TerminalText.printable(scanner.getId()) + ")");
        results.print(ScannerInfo.text(capabilities));
        return OK;
    }

    /** What the file holds, as the per-image line prints it: {@code 850x1169, 100 dpi, 24 bits, jpeg, }. */
    private static String values(ImageHeader header) {
        if (!header.isKnown()) {
            return "header unreadable, ";
        }
        StringBuilder text = new StringBuilder().append(header.getWidth()).append('x').append(header.getHeight())
                .append(", ");
        int xDpi = header.getXResolution();
        int yDpi = header.getYResolution();
        if (xDpi != 0 || yDpi != 0) {
            text.append(xDpi == yDpi ? String.valueOf(xDpi) : xDpi + "x" + yDpi).append(" dpi, ");
        }
        return text.append(header.getBitsPerPixel()).append(" bits, ").append(header.getFormat()).append(", ")
                .toString();
    }

    private void warn(String text) {
        err.println("vestaro: warning: " + text);
        report.warning(text);
    }

    private static void configure(WIAScanner scanner, CommandLine line) {
        if (line.resolution != null) {
            scanner.setResolution(line.resolution);
        }
        if (line.mode != null) {
            scanner.setColorMode(line.mode);
        }
        if (line.area != null) {
            scanner.setArea(line.area[0], line.area[1], line.area[2], line.area[3]);
        }
    }

    private void summary(ImageFolder keeper, String when) {
        int kept = keeper.files().size();
        results.printf(Locale.ROOT, "%d image%s kept in %s%s%n", kept, kept == 1 ? "" : "s", keeper.getFolder(), when);
    }

    /**
     * Why a command has no device, printed and reported; the exit status: a device listed
     * but not opened that may be the one asked for fails the command, else there is no such
     * device.
     */
    private int refused(DeviceSelection.Selection selected) {
        if (selected.unopened() != null) {
            return failed(DeviceSelection.cannotOpen(selected.unopened()), selected.unopened());
        }
        err.println("vestaro: " + TerminalText.printable(selected.why()));
        report.failure(selected.why());
        return NO_DEVICE;
    }

    static String kindName(WIADevice device) {
        switch (device.getKind()) {
            case WIADevice.KIND_SCANNER:
                return "scanner";
            case WIADevice.KIND_CAMERA:
                return "camera";
            case WIADevice.KIND_VIDEO:
                return "video";
            default:
                return "kind " + device.getKind();
        }
    }

    static String quoted(WIADevice device) {
        return "\"" + TerminalText.printable(device.getName()) + "\"";
    }

    /** Prints a failure: the code in hexadecimal and the text; the stack trace only with --trace. */
    private int failed(String context, Throwable failure) {
        report.failure(failure);
        err.println("vestaro: " + context + TerminalText.printable(describe(failure)));
        if (debug && failure instanceof VestaroException && ((VestaroException) failure).getFile() != null) {
            VestaroException e = (VestaroException) failure;
            err.println("  reported at " + e.getFile() + ":" + e.getLine());
        }
        for (Throwable also : failure.getSuppressed()) {
            err.println("  also: " + TerminalText.printable(describe(also)));
        }
        if (trace) {
            failure.printStackTrace(err);
        }
        return FAILED;
    }

    static String describe(Throwable failure) {
        if (failure instanceof VestaroException) {
            VestaroException e = (VestaroException) failure;
            return "error " + e.getHexCode() + (e.getText().isEmpty() ? "" : ": " + e.getText());
        }
        String text = Report.text(failure);
        return Report.saysItsOwnWords(failure) ? text : "error: " + text;
    }
}
