package kordin.vestaro.wia;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Path;

/**
 * An image that an {@link ImageFolder} kept: the file in the folder and what its header says.
 *
 * @param file the kept file
 * @param header the file's header; {@link ImageHeader#isKnown()} is false when it could not
 *     be read
 */
public record KeptImage(Path file, ImageHeader header) {
    /**
     * Decodes the kept file into pixels with the Java platform's image readers.
     *
     * @return the image
     * @throws IOException when the file is gone or is no image that the platform can decode
     *     (the message names the file and says why)
     */
    public BufferedImage readImage() throws IOException {
        return ImageDecoder.decode(file);
    }
}
