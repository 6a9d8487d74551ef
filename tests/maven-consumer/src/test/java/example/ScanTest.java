package example;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.nio.file.Path;
import java.util.List;
import javax.imageio.ImageIO;
import kordin.vestaro.wia.ColorMode;
import kordin.vestaro.wia.WIADevice;
import kordin.vestaro.wia.WIAManager;
import kordin.vestaro.wia.WIAScanner;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** What an application's own test does with the virtual devices on the test class path. */
class ScanTest {
    @TempDir
    Path folder;

    @Test
    void scansAGrayPageFromTheVirtualScanner() throws Exception {
        assertTrue(WIAManager.isSupported(), () -> WIAManager.unsupportedReason().orElse(""));
        try (WIAManager manager = WIAManager.open()) {
            assertEquals(List.of("Virtual Flatbed Scanner", "Virtual Camera"),
                    manager.getDevices().stream().map(WIADevice::getName).toList(),
                    "the virtual devices alone, as the POM's vestaro.drivers asks");
            List<WIAScanner> scanners = manager.getScanners();
            assertFalse(scanners.isEmpty(), "the virtual scanner is there");
            WIAScanner scanner = scanners.get(0);
            scanner.setResolution(50);
            scanner.setColorMode(ColorMode.GRAY_8);
            scanner.setArea(0, 0, 200, 300);

            List<Path> pages = scanner.scan(false, folder);

            assertEquals(List.of(folder.resolve("scan-001.jpg")), pages);
            BufferedImage page = ImageIO.read(pages.get(0).toFile());
            assertEquals(200, page.getWidth());
            assertEquals(300, page.getHeight());
            assertEquals(1, page.getColorModel().getNumComponents(), "gray");
        }
    }
}
