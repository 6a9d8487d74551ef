package kordin.vestaro.cli;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import kordin.vestaro.Manager;
import kordin.vestaro.VestaroException;
import kordin.vestaro.wia.ImageFolder;
import kordin.vestaro.wia.ImageListener;
import kordin.vestaro.wia.WIACamera;
import kordin.vestaro.wia.WIADevice;
import kordin.vestaro.wia.WIAManager;
import kordin.vestaro.wia.WIAScanner;

/**
 * The command line: {@code java -jar vestaro.jar list | scan | camera | help}. Run it with
 * {@code help} for the options and exit statuses.
 */
public final class Main {
    static final int OK = 0;
    static final int FAILED = 1;
    static final int USAGE = 2;
    static final int NOTHING = 3;

    /** Opens the device manager; tests put a manager of their own in its place. */
    @FunctionalInterface
    interface Opener {
        WIAManager open() throws VestaroException;
    }

    private final PrintStream out;
    private final PrintStream err;
    private final Opener opener;
    private boolean debug;
    private boolean trace;

    Main(PrintStream out, PrintStream err, Opener opener) {
        this.out = out;
        this.err = err;
        this.opener = opener;
    }

    /**
     * Runs one command and exits with its status.
     *
     * @param args the command line
     */
    public static void main(String[] args) {
        System.exit(new Main(System.out, System.err, WIAManager::open).run(args));
    }

    /** Runs one command; returns the exit status. */
    int run(String... args) {
        CommandLine line;
        try {
            line = CommandLine.parse(args);
        } catch (CommandLine.UsageException e) {
            err.println("vestaro: " + e.getMessage());
            err.println("Run 'java -jar vestaro.jar help' for the usage.");
            return USAGE;
        }
        if (line.command == CommandLine.Command.HELP) {
            out.print(CommandLine.USAGE);
            return OK;
        }
        debug = line.debug;
        trace = line.trace;
        if (debug) {
            // Before the library loads: it reads the switch once, at load.
            Manager.debug = true;
        }
        WIAManager manager;
        try {
            manager = opener.open();
        } catch (VestaroException | RuntimeException | LinkageError e) {
            return failed("cannot open the WIA device manager: ", e);
        }
        int status;
        try {
            status = line.command == CommandLine.Command.LIST ? list(manager) : acquire(line, manager);
        } catch (VestaroException | IOException | RuntimeException e) {
            status = failed("", e);
        }
        try {
            manager.close();
        } catch (VestaroException | RuntimeException e) {
            status = failed("cannot release the devices: ", e);
        }
        out.flush();
        return status;
    }

    private int list(WIAManager manager) {
        List<WIADevice> devices = manager.getDevices();
        if (devices.isEmpty()) {
            out.println("no WIA device found");
            return OK;
        }
        int nameWidth = 1;
        for (WIADevice device : devices) {
            nameWidth = Math.max(nameWidth, String.valueOf(device.getName()).length());
        }
        for (int i = 0; i < devices.size(); i++) {
            WIADevice device = devices.get(i);
            out.printf(Locale.ROOT, "%2d  %-7s  %-" + nameWidth + "s  %s%n", i + 1, kindName(device), device.getName(),
                    device.getId());
        }
        out.printf(Locale.ROOT, "%d device%s%n", devices.size(), devices.size() == 1 ? "" : "s");
        return OK;
    }

    private int acquire(CommandLine line, WIAManager manager) throws VestaroException, IOException {
        boolean scan = line.command == CommandLine.Command.SCAN;
        WIADevice device = select(manager, line.device, scan ? WIAScanner.class : WIACamera.class);
        if (device == null) {
            return NOTHING;
        }
        Path folder = line.output.toAbsolutePath().normalize();
        ImageFolder keeper;
        try {
            keeper = new ImageFolder(folder, line.prefix != null ? line.prefix : scan ? "scan" : "picture");
        } catch (IllegalArgumentException e) {
            err.println("vestaro: --prefix: " + e.getMessage());
            return USAGE;
        }
        Files.createDirectories(folder); // a folder that cannot be made fails before the device runs
        ImageListener printer = image -> {
            Path kept = keeper.keep(image);
            out.printf(Locale.ROOT, "%3d  %s  %,d bytes%n", image.getIndex(), kept.getFileName(), Files.size(kept));
            out.flush();
        };
        int count;
        try {
            if (scan) {
                WIAScanner scanner = (WIAScanner) device;
                configure(scanner, line);
                out.println(line.dialog ? "scanning with " + quoted(scanner) + " through its dialog"
                        : String.format(Locale.ROOT, "scanning with %s at %d dpi, mode %s", quoted(scanner),
                                scanner.getResolution(), CommandLine.modeName(scanner.getColorMode())));
                count = scanner.scan(line.dialog, printer);
            } else {
                out.println("transferring " + (line.dialog ? "the pictures picked in the dialog of " : "every picture of ")
                        + quoted(device));
                count = ((WIACamera) device).transfer(line.dialog, printer);
            }
        } catch (VestaroException | IOException | RuntimeException e) {
            summary(keeper, " before the failure");
            throw e;
        }
        if (count == 0) {
            out.println("no image: " + (line.dialog ? "the dialog was cancelled or nothing was picked"
                    : scan ? "the scanner had nothing to scan" : "the camera holds no picture"));
            return NOTHING;
        }
        summary(keeper, "");
        return OK;
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
        out.printf(Locale.ROOT, "%d image%s kept in %s%s%n", kept, kept == 1 ? "" : "s", keeper.getFolder(), when);
    }

    /**
     * The device that {@code wanted} names (its number in the list, its identifier or its
     * name), else the first of the kind; null, with the reason printed, when there is none.
     */
    private WIADevice select(WIAManager manager, String wanted, Class<? extends WIADevice> kind) {
        String kindWord = kind == WIAScanner.class ? "scanner" : "camera";
        List<WIADevice> devices = manager.getDevices();
        if (wanted == null) {
            for (WIADevice device : devices) {
                if (kind.isInstance(device)) {
                    return device;
                }
            }
            err.println("vestaro: no " + kindWord + " found"
                    + (devices.isEmpty() ? ": the platform offered no WIA device"
                            : " among " + devices.size() + (devices.size() == 1 ? " device" : " devices")));
            return null;
        }
        WIADevice named = null;
        if (wanted.matches("[0-9]{1,9}")) {
            int number = Integer.parseInt(wanted);
            named = number >= 1 && number <= devices.size() ? devices.get(number - 1) : null;
        }
        for (WIADevice device : devices) {
            if (named == null && (wanted.equals(device.getId()) || wanted.equalsIgnoreCase(device.getName()))) {
                named = device;
            }
        }
        if (named == null) {
            err.println("vestaro: no device " + wanted + " (see 'list')");
            return null;
        }
        if (!kind.isInstance(named)) {
            err.println("vestaro: " + quoted(named) + " is a " + kindName(named) + ", not a " + kindWord);
            return null;
        }
        return named;
    }

    private static String kindName(WIADevice device) {
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

    private static String quoted(WIADevice device) {
        return "\"" + device.getName() + "\"";
    }

    /** Prints a failure: the code in hexadecimal and the text; the stack trace only with --trace. */
    private int failed(String context, Throwable failure) {
        err.println("vestaro: " + context + describe(failure));
        if (debug && failure instanceof VestaroException && ((VestaroException) failure).getFile() != null) {
            VestaroException e = (VestaroException) failure;
            err.println("  reported at " + e.getFile() + ":" + e.getLine());
        }
        for (Throwable also : failure.getSuppressed()) {
            err.println("  also: " + describe(also));
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
        if (failure instanceof LinkageError && failure.getMessage() != null) {
            return failure.getMessage();
        }
        String message = failure.getMessage();
        return "error: " + failure.getClass().getSimpleName() + (message == null ? "" : ": " + message);
    }
}
