package kordin.vestaro.testsupport;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.logging.Handler;
import java.util.logging.Level;
import java.util.logging.LogRecord;
import java.util.logging.Logger;
import kordin.vestaro.Manager;
import kordin.vestaro.VestaroException;
import kordin.vestaro.wia.WIADevice;
import kordin.vestaro.wia.WIAManager;

/**
 * A program for a VM of its own: whether the class path gives a WIA platform, its devices,
 * and why not; the Java side's debug messages as "log: " lines, and on Linux the files of
 * the stand-in platform that the process mapped as "platform: " lines.
 */
public final class SupportProbe {
    private SupportProbe() {
    }

    public static void main(String[] args) throws VestaroException, IOException {
        Logger logger = Logger.getLogger(Manager.LOGGER_NAME);
        logger.setLevel(Level.ALL);
        logger.addHandler(new Handler() {
            @Override
            public void publish(LogRecord record) {
                System.out.println("log: " + record.getMessage().lines().findFirst().orElse(""));
            }

            @Override
            public void flush() {
            }

            @Override
            public void close() {
            }
        });
        boolean supported = WIAManager.isSupported();
        List<String> names = new ArrayList<>();
        if (supported) {
            try (WIAManager manager = WIAManager.open()) {
                for (WIADevice device : manager.getDevices()) {
                    names.add(device.getName());
                }
            }
        }
        System.out.println("supported: " + supported + ", devices: " + (names.isEmpty() ? "none" : String.join(", ", names)));
        WIAManager.unsupportedReason().ifPresent(reason -> System.out.println("reason: " + reason.lines().findFirst().orElse("")));
        Path maps = Path.of("/proc/self/maps");
        if (supported && Files.exists(maps)) {
            Files.readAllLines(maps).stream().filter(line -> line.contains("/libwinsim.so"))
                    .map(line -> line.substring(line.indexOf('/'))).distinct()
                    .forEach(file -> System.out.println("platform: " + file));
        }
    }
}
