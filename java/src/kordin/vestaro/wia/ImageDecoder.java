package kordin.vestaro.wia;

import java.awt.image.BufferedImage;
import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.RandomAccessFile;
import java.nio.file.AccessDeniedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.BasicFileAttributes;
import java.util.Iterator;
import java.util.Locale;
import javax.imageio.ImageIO;
import javax.imageio.ImageReader;
import javax.imageio.stream.FileImageInputStream;
import javax.imageio.stream.ImageInputStream;

/**
 * Decodes an image file into pixels with the Java platform's image readers, for a caller
 * who asks; transfers never decode.
 */
final class ImageDecoder {
    /**
     * The most pixels an image may have to be decoded: a raster's array holds at most
     * 2^31 - 1 elements, and a pixel takes up to four of them.
     */
    private static final long MAX_PIXELS = Integer.MAX_VALUE / 4;

    private ImageDecoder() {
    }

    /**
     * The image in a file.
     *
     * @throws IOException when the file cannot be opened, is no image that the platform's
     *     readers know, or cannot be decoded (the message names the file and says why)
     */
    static BufferedImage decode(Path file) throws IOException {
        try (ImageInputStream in = new FileImageInputStream(open(file))) {
            Iterator<ImageReader> readers = ImageIO.getImageReaders(in);
            if (!readers.hasNext()) {
                throw new IOException(file + ": not an image file that this Java platform can read");
            }
            ImageReader reader = readers.next();
            try {
                String format = reader.getFormatName().toUpperCase(Locale.ROOT);
                reader.setInput(in, true, true);
                long pixels;
                try {
                    pixels = (long) reader.getWidth(0) * reader.getHeight(0);
                } catch (IOException | RuntimeException e) {
                    throw undecodable(file, format, e);
                }
                if (pixels > MAX_PIXELS) {
                    throw new IOException(file + ": an image of " + pixels + " pixels, too large to decode into memory");
                }
                try {
                    return reader.read(0);
                } catch (IOException | RuntimeException e) {
                    throw undecodable(file, format, e);
                }
            } finally {
                reader.dispose();
            }
        }
    }

    private static RandomAccessFile open(Path file) throws IOException {
        if (!Files.readAttributes(file, BasicFileAttributes.class).isRegularFile()) {
            throw new IOException(file + ": not a file");
        }
        try {
            return new RandomAccessFile(file.toFile(), "r");
        } catch (FileNotFoundException e) {
            throw new AccessDeniedException(file.toString(), null, e.getMessage());
        }
    }

    private static IOException undecodable(Path file, String format, Exception e) {
        return new IOException(file + ": the " + format + " image cannot be decoded: " + (e.getMessage() != null ? e.getMessage() : e.toString()), e);
    }
}
