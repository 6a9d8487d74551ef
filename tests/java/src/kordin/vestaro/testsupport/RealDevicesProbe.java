package kordin.vestaro.testsupport;

import java.io.IOException;
import java.nio.file.Path;
import kordin.vestaro.VestaroException;
import kordin.vestaro.wia.ImageFolder;
import kordin.vestaro.wia.ScanResult;
import kordin.vestaro.wia.ScanSettings;
import kordin.vestaro.wia.ScanSource;
import kordin.vestaro.wia.WIACamera;
import kordin.vestaro.wia.WIADevice;
import kordin.vestaro.wia.WIAManager;
import kordin.vestaro.wia.WIAScanner;

/**
 * A program for a VM of its own with the main artifact alone: through the Java API, the
 * devices, the feeder's pages and a flatbed page of SANE's test scanner (whose feeder holds
 * ten pages for all the scans of one opening), and every picture of
 * the first camera kept under its name, each as a line; everything into the folder named
 * by its argument.
 */
public final class RealDevicesProbe {
    private RealDevicesProbe() {
    }

    public static void main(String[] args) throws VestaroException, IOException {
        Path out = Path.of(args[0]);
        try (WIAManager manager = WIAManager.open()) {
            for (WIADevice device : manager.getDevices()) {
                System.out.println("device: " + device.getName() + " " + device.getId());
            }
            WIAScanner scanner = manager.getScanners().stream()
                    .filter(each -> each.getId().equals(RealDevices.SCANNER_ID)).findFirst().orElseThrow();
            for (ScanSource source : new ScanSource[] {ScanSource.FEEDER, ScanSource.FLATBED}) {
                ScanResult result = scanner.scan(ScanSettings.of(source).withResolution(50), out.resolve(source.name()));
                System.out.println(source + ": " + result.getOutcome() + ", " + result.getFiles().size() + " pages");
            }
            WIACamera camera = manager.getCameras().get(0);
            ImageFolder kept = ImageFolder.keepingNames(out.resolve("camera"));
            camera.transfer(false, image -> System.out.println("picture " + image.getIndex() + ": "
                    + image.getName().orElse("(none)") + " as " + kept.keep(image).getFileName()));
        }
    }
}
