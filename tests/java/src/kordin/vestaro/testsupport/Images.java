package kordin.vestaro.testsupport;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.stream.Stream;
import javax.imageio.ImageIO;

/** Images as a caller reads them back: decoded with {@code javax.imageio}. */
public final class Images {
    private Images() {
    }

    /** The decoded file; fails when it is no image that ImageIO can read. */
    public static BufferedImage decode(Path file) throws IOException {
        BufferedImage image = ImageIO.read(file.toFile());
        assertNotNull(image, file + " decodes as an image");
        return image;
    }

    /**
     * The image's size and colour mode as "WIDTHxHEIGHT MODE": "bw" for one bit per pixel,
     * or a grey image whose samples are all near black or white (a JPEG's edges ring a
     * little); "gray" for other one-channel images; "color" for three channels.
     */
    public static String describe(Path file) throws IOException {
        BufferedImage image = decode(file);
        int channels = image.getColorModel().getNumColorComponents();
        String mode;
        if (image.getColorModel().getPixelSize() == 1) {
            mode = "bw";
        } else if (channels == 1) {
            mode = blackAndWhiteOnly(image) ? "bw" : "gray";
        } else {
            assertEquals(3, channels, file + ": colour channels");
            mode = "color";
        }
        return image.getWidth() + "x" + image.getHeight() + " " + mode;
    }

    private static boolean blackAndWhiteOnly(BufferedImage image) {
        int[] samples = image.getRaster().getSamples(0, 0, image.getWidth(), image.getHeight(), 0, (int[]) null);
        int grey = 0;
        for (int sample : samples) {
            if (sample >= 48 && sample < 208) {
                grey++;
            }
        }
        return grey * 100L < samples.length;
    }

    /** The names of the files in a folder, sorted; empty when the folder does not exist. */
    public static List<String> names(Path folder) throws IOException {
        if (!Files.isDirectory(folder)) {
            return List.of();
        }
        try (Stream<Path> files = Files.list(folder)) {
            return files.map(p -> p.getFileName().toString()).sorted().toList();
        }
    }

    /** Fails unless every file is a JPEG or BMP by its first bytes, as its extension says. */
    public static void assertFormatMatchesExtension(Path file) throws IOException {
        byte[] head = Files.readAllBytes(file);
        String name = file.getFileName().toString();
        if (name.endsWith(".jpg")) {
            assertTrue(head.length > 2 && (head[0] & 0xFF) == 0xFF && (head[1] & 0xFF) == 0xD8, name + " is a JPEG");
        } else {
            assertTrue(name.endsWith(".bmp") && head.length > 2 && head[0] == 'B' && head[1] == 'M', name + " is a BMP");
        }
    }
}
