package kordin.vestaro.wia;

import java.io.BufferedInputStream;
import java.io.DataInputStream;
import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Iterator;
import java.util.Locale;
import javax.imageio.ImageIO;
import javax.imageio.ImageReader;
import javax.imageio.ImageTypeSpecifier;
import javax.imageio.stream.ImageInputStream;
import kordin.vestaro.Manager;

/**
 * What an image file says about itself: its format, its size in pixels, its resolution and
 * its depth. The file is the record of what the device did, which may differ from what was
 * asked: a device that refuses a setting scans with its own value, and a file format holds
 * only the depths it can.
 *
 * <p>JPEG files are read up to their frame header (the size and sample precision) with the
 * JFIF density before it; BMP files from their bitmap header. Other formats are read with the
 * Java platform's image readers, which give no resolution. A value that the file does not
 * record is 0.
 */
public final class ImageHeader {
    private static final System.Logger LOG = System.getLogger(Manager.LOGGER_NAME);

    /** The format of a JPEG file. */
    public static final String JPEG = "jpeg";
    /** The format of a Windows bitmap. */
    public static final String BMP = "bmp";
    /** The format of a file whose header could not be read. */
    public static final String UNKNOWN = "unknown";

    /** A file whose header could not be read: every value unknown. */
    static final ImageHeader UNREADABLE = new ImageHeader(UNKNOWN, 0, 0, 0, 0, 0);

    private static final double INCH_IN_CM = 2.54;
    private static final double INCH_IN_M = 0.0254;

    private final String format;
    private final int width;
    private final int height;
    private final int xResolution;
    private final int yResolution;
    private final int bitsPerPixel;

    private ImageHeader(String format, int width, int height, int xResolution, int yResolution, int bitsPerPixel) {
        this.format = format;
        this.width = width;
        this.height = height;
        this.xResolution = xResolution;
        this.yResolution = yResolution;
        this.bitsPerPixel = bitsPerPixel;
    }

    /**
     * Reads the header of an image file.
     *
     * @param file the file
     * @return what the header says
     * @throws IOException when the file cannot be read, or is no image whose header can be
     *     read (the message says which)
     */
    public static ImageHeader read(Path file) throws IOException {
        byte[] magic = new byte[3];
        int got;
        try (InputStream in = Files.newInputStream(file)) {
            got = in.readNBytes(magic, 0, magic.length);
        }
        try {
            if (got >= 3 && (magic[0] & 0xFF) == 0xFF && (magic[1] & 0xFF) == 0xD8 && (magic[2] & 0xFF) == 0xFF) {
                return readJpeg(file);
            }
            if (got >= 2 && magic[0] == 'B' && magic[1] == 'M') {
                return readBmp(file);
            }
        } catch (EOFException e) {
            throw new IOException(file + ": the image file ends inside its header", e);
        }
        return readWithImageIo(file);
    }

    /** The file's header, or {@link #UNREADABLE} with the reason logged as a warning. */
    static ImageHeader readOrUnknown(Path file) {
        try {
            return read(file);
        } catch (IOException | RuntimeException e) {
            LOG.log(System.Logger.Level.WARNING, "the header of the image file cannot be read: "
                    + (e.getClass() == IOException.class ? e.getMessage() : e.toString()));
            return UNREADABLE;
        }
    }

    /** Walks the markers up to the first frame header; the JFIF segment, when present, precedes it. */
    private static ImageHeader readJpeg(Path file) throws IOException {
        int xDpi = 0;
        int yDpi = 0;
        try (DataInputStream in = new DataInputStream(new BufferedInputStream(Files.newInputStream(file)))) {
            in.skipNBytes(2); // start of image
            while (true) {
                if (in.readUnsignedByte() != 0xFF) {
                    throw new IOException(file + ": not a JPEG file: no marker where one must be");
                }
                int marker = in.readUnsignedByte();
                while (marker == 0xFF) {
                    marker = in.readUnsignedByte(); // fill bytes
                }
                if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                    continue; // markers without a segment
                }
                if (marker == 0xDA || marker == 0xD9) {
                    throw new IOException(file + ": not a JPEG file: no frame header before the image data");
                }
                int length = in.readUnsignedShort() - 2;
                if (length < 0) {
                    throw new IOException(file + ": not a JPEG file: a segment shorter than its length field");
                }
                if (isFrameHeader(marker)) {
                    if (length < 6) {
                        throw new IOException(file + ": not a JPEG file: a frame header of " + length + " bytes");
                    }
                    int precision = in.readUnsignedByte();
                    int lines = in.readUnsignedShort();
                    int samplesPerLine = in.readUnsignedShort();
                    int components = in.readUnsignedByte();
                    return new ImageHeader(JPEG, samplesPerLine, lines, xDpi, yDpi, precision * components);
                }
                byte[] segment = new byte[length];
                in.readFully(segment);
                if (marker == 0xE0 && length >= 12 && new String(segment, 0, 5, StandardCharsets.ISO_8859_1).equals("JFIF\0")) {
                    int units = segment[7] & 0xFF;
                    int xDensity = ((segment[8] & 0xFF) << 8) | (segment[9] & 0xFF);
                    int yDensity = ((segment[10] & 0xFF) << 8) | (segment[11] & 0xFF);
                    // Units 0 give only the aspect ratio: the file records no resolution.
                    if (units == 1) {
                        xDpi = xDensity;
                        yDpi = yDensity;
                    } else if (units == 2) {
                        xDpi = (int) Math.round(xDensity * INCH_IN_CM);
                        yDpi = (int) Math.round(yDensity * INCH_IN_CM);
                    }
                }
            }
        }
    }

    /** The start-of-frame markers of every coding process; C4, C8 and CC are other segments. */
    private static boolean isFrameHeader(int marker) {
        return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    }

    /** The file header (14 bytes), then the bitmap header: the old 12-byte core form or a longer one. */
    private static ImageHeader readBmp(Path file) throws IOException {
        byte[] head = new byte[14 + 40];
        int got;
        try (InputStream in = Files.newInputStream(file)) {
            got = in.readNBytes(head, 0, head.length);
        }
        if (got < 14 + 4) {
            throw new EOFException();
        }
        long headerSize = uint32(head, 14);
        if (headerSize == 12) {
            if (got < 14 + 12) {
                throw new EOFException();
            }
            return new ImageHeader(BMP, uint16(head, 18), uint16(head, 20), 0, 0, uint16(head, 24));
        }
        if (headerSize < 16) {
            throw new IOException(file + ": not a BMP file: a bitmap header of " + headerSize + " bytes");
        }
        if (got < 14 + 16) {
            throw new EOFException();
        }
        int width = int32(head, 18);
        int height = int32(head, 22); // negative for rows stored top-down
        if (width < 0 || height == Integer.MIN_VALUE) {
            throw new IOException(file + ": not a BMP file: a size of " + width + " by " + height + " pixels");
        }
        int bits = uint16(head, 28);
        int xDpi = 0;
        int yDpi = 0;
        if (headerSize >= 40 && got >= 14 + 40) {
            xDpi = dpiOfPixelsPerMeter(int32(head, 38));
            yDpi = dpiOfPixelsPerMeter(int32(head, 42));
        }
        return new ImageHeader(BMP, width, Math.abs(height), xDpi, yDpi, bits);
    }

    private static int dpiOfPixelsPerMeter(int pixelsPerMeter) {
        return pixelsPerMeter <= 0 ? 0 : (int) Math.round(pixelsPerMeter * INCH_IN_M);
    }

    private static ImageHeader readWithImageIo(Path file) throws IOException {
        try (ImageInputStream in = ImageIO.createImageInputStream(file.toFile())) {
            Iterator<ImageReader> readers = in == null ? null : ImageIO.getImageReaders(in);
            if (readers == null || !readers.hasNext()) {
                throw new IOException(file + ": not an image file that this Java platform can read");
            }
            ImageReader reader = readers.next();
            try {
                reader.setInput(in, true, true);
                ImageTypeSpecifier type = reader.getRawImageType(0);
                int bits = type == null ? 0 : type.getColorModel().getPixelSize();
                return new ImageHeader(reader.getFormatName().toLowerCase(Locale.ROOT), reader.getWidth(0),
                        reader.getHeight(0), 0, 0, bits);
            } catch (IOException | RuntimeException e) {
                throw new IOException(file + ": the " + reader.getFormatName() + " header cannot be read: " + e, e);
            } finally {
                reader.dispose();
            }
        }
    }

    private static int uint16(byte[] bytes, int at) {
        return (bytes[at] & 0xFF) | (bytes[at + 1] & 0xFF) << 8;
    }

    private static int int32(byte[] bytes, int at) {
        return uint16(bytes, at) | uint16(bytes, at + 2) << 16;
    }

    private static long uint32(byte[] bytes, int at) {
        return int32(bytes, at) & 0xFFFF_FFFFL;
    }

    /**
     * The file's format: {@link #JPEG}, {@link #BMP}, the name of the Java image reader that
     * read another format (such as "png"), or {@link #UNKNOWN}.
     *
     * @return the format
     */
    public String getFormat() {
        return format;
    }

    /**
     * Whether the header was read; when not, every value is unknown.
     *
     * @return false for a file whose header could not be read
     */
    public boolean isKnown() {
        return this != UNREADABLE;
    }

    /**
     * The width in pixels.
     *
     * @return the width, 0 when unknown
     */
    public int getWidth() {
        return width;
    }

    /**
     * The height in pixels.
     *
     * @return the height, 0 when unknown (also for a JPEG that gives its height only after
     *     the image data)
     */
    public int getHeight() {
        return height;
    }

    /**
     * The horizontal resolution that the file records.
     *
     * @return dots per inch, 0 when the file records none
     */
    public int getXResolution() {
        return xResolution;
    }

    /**
     * The vertical resolution that the file records.
     *
     * @return dots per inch, 0 when the file records none
     */
    public int getYResolution() {
        return yResolution;
    }

    /**
     * The bits per pixel that the file holds: 1 for black and white, 8 for grey, 24 for
     * colour with 8 bits per channel, and so on.
     *
     * @return bits per pixel, 0 when unknown
     */
    public int getBitsPerPixel() {
        return bitsPerPixel;
    }

    /** Such as {@code jpeg 1275x1753, 150 dpi, 24 bits per pixel}. */
    @Override
    public String toString() {
        if (!isKnown()) {
            return UNKNOWN;
        }
        StringBuilder text = new StringBuilder(format).append(' ').append(width).append('x').append(height);
        if (xResolution != 0 || yResolution != 0) {
            text.append(", ").append(xResolution);
            if (yResolution != xResolution) {
                text.append('x').append(yResolution);
            }
            text.append(" dpi");
        }
        return text.append(", ").append(bitsPerPixel).append(" bits per pixel").toString();
    }
}
