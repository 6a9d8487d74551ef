package kordin.vestaro.testsupport;

import java.awt.Color;
import java.awt.Graphics2D;
import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import javax.imageio.ImageIO;

/**
 * Real devices for a VM that runs the main artifact alone: SANE's test backend through a
 * private configuration that enables it alone ({@code SANE_CONFIG_DIR}), and a folder of
 * JPEG files that libgphoto2's "Directory Browse" driver serves as a camera.
 */
public final class RealDevices {
    /** The first of the test backend's two scanners. */
    public static final String SCANNER_ID = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:test:0";
    /** The pictures of the folder, in the camera's order (by name). */
    public static final List<String> PICTURES = List.of("IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003 copy.jpeg");

    private final Path saneConfiguration;
    private final Path pictures;

    /** Writes the configuration and the pictures below {@code folder}. */
    public RealDevices(Path folder) throws IOException {
        saneConfiguration = Files.createDirectories(folder.resolve("sane"));
        Files.writeString(saneConfiguration.resolve("dll.conf"), "test\n");
        pictures = Files.createDirectories(folder.resolve("pictures"));
        for (int i = 0; i < PICTURES.size(); i++) {
            BufferedImage picture = new BufferedImage(40 + 10 * i, 30, BufferedImage.TYPE_INT_RGB);
            Graphics2D drawing = picture.createGraphics();
            drawing.setColor(new Color(60 * i, 100, 200 - 50 * i));
            drawing.fillRect(0, 0, picture.getWidth(), picture.getHeight());
            drawing.dispose();
            ImageIO.write(picture, "jpeg", pictures.resolve(PICTURES.get(i)).toFile());
        }
    }

    /** The folder that the camera serves. */
    public Path pictures() { return pictures; }

    /** The folder camera's device id. */
    public String cameraId() { return "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\gphoto2:disk:" + pictures; }

    /**
     * The VM's environment: SANE's private configuration, no drivers' setting (so every
     * driver is on, as for a user), and {@code folderCameras} in the environment's variable
     * (null for none).
     */
    public Map<String, String> environment(String folderCameras) {
        Map<String, String> environment = new HashMap<>();
        environment.put("SANE_CONFIG_DIR", saneConfiguration.toString());
        environment.put("VESTARO_DRIVERS", null);
        environment.put("VESTARO_DRIVER_TIMEOUT", null);
        environment.put("VESTARO_FOLDER_CAMERAS", folderCameras);
        return environment;
    }
}
