package kordin.vestaro.wia;

import java.io.EOFException;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Set;
import kordin.vestaro.Manager;

/**
 * What an image file says about itself: its format, its size in pixels, its resolution and
 * its depth. The file is the record of what the device did, which may differ from what was
 * asked: a device that refuses a setting scans with its own value, and a file format holds
 * only the depths it can.
 *
 * <p>Only the two formats that devices deliver are read, each from its first bytes: a JPEG
 * up to its frame header (the size and sample precision) with the JFIF density before it,
 * skipping the other segments by their lengths, the frame header within the first
 * {@value #JPEG_HEADER_LIMIT_MIB} MiB of the file; a BMP from its bitmap header. Any other
 * file is not read further, so a file that a driver wrote oddly costs no more than that. A
 * value that no such file can hold (a negative size, a depth no format has) makes the
 * header unreadable; a resolution that the file does not record is 0.
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

    /** How far into a JPEG its frame header may lie: room for sixteen of the largest segments. */
    static final int JPEG_HEADER_LIMIT_MIB = 1;
    private static final long JPEG_HEADER_LIMIT = JPEG_HEADER_LIMIT_MIB << 20;
    /** The bitmap file header and the longest part of a bitmap header that is read. */
    private static final int BMP_HEADER_BYTES = 14 + 40;
    /** The depths of bitmaps; 0 where the pixels are a compressed image of their own. */
    private static final Set<Integer> BMP_DEPTHS = Set.of(0, 1, 2, 4, 8, 16, 24, 32, 64);
    /** The JFIF identifier, version, units and both densities. */
    private static final int JFIF_BYTES = 12;

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
     * Reads the header of a JPEG or BMP file.
     *
     * @param file the file
     * @return what the header says
     * @throws IOException when the file cannot be read, is neither a JPEG nor a BMP file, or
     *     has a header that cannot be read (the message says which)
     */
    public static ImageHeader read(Path file) throws IOException {
        try (HeaderBytes in = new HeaderBytes(file, JPEG_HEADER_LIMIT)) {
            byte[] magic = new byte[3];
            int got = in.read(magic, 0);
            if (got >= 3 && (magic[0] & 0xFF) == 0xFF && (magic[1] & 0xFF) == 0xD8 && (magic[2] & 0xFF) == 0xFF) {
                return readJpeg(file, in);
            }
            if (got >= 2 && magic[0] == 'B' && magic[1] == 'M') {
                return readBmp(file, in, magic);
            }
            if (got == 0) {
                throw new IOException(file + ": the image file is empty");
            }
            throw new IOException(file + ": neither a JPEG nor a BMP file (it starts with " + hex(magic, got) + ")");
        } catch (EOFException e) {
            throw new IOException(file + ": the image file ends inside its header", e);
        } catch (HeaderBytes.LimitReached e) {
            throw new IOException(file + ": no JPEG frame header within the first " + JPEG_HEADER_LIMIT_MIB
                    + " MiB of the file", e);
        }
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

    private static String hex(byte[] bytes, int count) {
        StringBuilder text = new StringBuilder();
        for (int i = 0; i < count; i++) {
            text.append(i == 0 ? "" : " ").append(String.format("%02x", bytes[i] & 0xFF));
        }
        return text.toString();
    }

    /**
     * Walks the markers after the start of image up to the first frame header, skipping each
     * segment by its length; the JFIF segment, when present, precedes it.
     */
    private static ImageHeader readJpeg(Path file, HeaderBytes in) throws IOException {
        int xDpi = 0;
        int yDpi = 0;
        int marker = 0xFF; // the byte after the start of image, already read
        while (true) {
            if (marker != 0xFF) {
                throw new IOException(file + ": not a JPEG file: no marker where one must be");
            }
            marker = in.readUnsignedByte();
            while (marker == 0xFF) {
                marker = in.readUnsignedByte(); // fill bytes
            }
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                marker = in.readUnsignedByte(); // markers without a segment
                continue;
            }
            if (marker == 0xDA || marker == 0xD9) {
                throw new IOException(file + ": not a JPEG file: no frame header before the image data");
            }
            int length = in.readUnsignedShort() - 2;
            if (length < 0) {
                throw new IOException(file + ": not a JPEG file: a segment shorter than its length field");
            }
            if (isFrameHeader(marker)) {
                return frameHeader(file, in, marker, length, xDpi, yDpi);
            }
            if (marker == 0xE0 && length >= JFIF_BYTES) {
                byte[] jfif = new byte[JFIF_BYTES];
                in.read(jfif, 0);
                in.skip(length - JFIF_BYTES);
                if (new String(jfif, 0, 5, StandardCharsets.ISO_8859_1).equals("JFIF\0")) {
                    int units = jfif[7] & 0xFF;
                    int xDensity = ((jfif[8] & 0xFF) << 8) | (jfif[9] & 0xFF);
                    int yDensity = ((jfif[10] & 0xFF) << 8) | (jfif[11] & 0xFF);
                    // Units 0 give only the aspect ratio: the file records no resolution.
                    if (units == 1) {
                        xDpi = xDensity;
                        yDpi = yDensity;
                    } else if (units == 2) {
                        xDpi = (int) Math.round(xDensity * INCH_IN_CM);
                        yDpi = (int) Math.round(yDensity * INCH_IN_CM);
                    }
                }
            } else {
                in.skip(length);
            }
            marker = in.readUnsignedByte();
        }
    }

    /** The start-of-frame markers of every coding process; C4, C8 and CC are other segments. */
    private static boolean isFrameHeader(int marker) {
        return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    }

    /**
     * The frame header: sample precision, lines, samples per line and components, each
     * component with three bytes. Lossless frames take 2 to 16 bits a sample, the others 8
     * or 12; images have one to four components. Zero lines means the height follows the
     * image data.
     */
    private static ImageHeader frameHeader(Path file, HeaderBytes in, int marker, int length, int xDpi, int yDpi)
            throws IOException {
        if (length < 6) {
            throw new IOException(file + ": not a JPEG file: a frame header of " + length + " bytes");
        }
        int precision = in.readUnsignedByte();
        int lines = in.readUnsignedShort();
        int samplesPerLine = in.readUnsignedShort();
        int components = in.readUnsignedByte();
        boolean lossless = (marker & 0x03) == 0x03;
        if (lossless ? precision < 2 || precision > 16 : precision != 8 && precision != 12) {
            throw new IOException(file + ": not a JPEG file: a sample precision of " + precision + " bits");
        }
        if (components < 1 || components > 4) {
            throw new IOException(file + ": not a JPEG file: a frame of " + components + " components");
        }
        if (length != 6 + 3 * components) {
            throw new IOException(file + ": not a JPEG file: a frame header of " + length + " bytes for "
                    + components + " components");
        }
        if (samplesPerLine == 0) {
            throw new IOException(file + ": not a JPEG file: a frame without samples per line");
        }
        return new ImageHeader(JPEG, samplesPerLine, lines, xDpi, yDpi, precision * components);
    }

    /**
     * The file header (14 bytes), then the bitmap header: the old 12-byte core form or a
     * longer one. One plane, and a depth that bitmaps have (0 where the pixels are a JPEG or
     * PNG of their own, which leaves the depth unknown).
     */
    private static ImageHeader readBmp(Path file, HeaderBytes in, byte[] magic) throws IOException {
        byte[] head = Arrays.copyOf(magic, BMP_HEADER_BYTES);
        int got = in.read(head, magic.length);
        if (got < 14 + 4) {
            throw new EOFException();
        }
        long headerSize = uint32(head, 14);
        int width;
        int height;
        int planes;
        int bits;
        if (headerSize == 12) {
            if (got < 14 + 12) {
                throw new EOFException();
            }
            width = uint16(head, 18);
            height = uint16(head, 20);
            planes = uint16(head, 22);
            bits = uint16(head, 24);
        } else if (headerSize < 16) {
            throw new IOException(file + ": not a BMP file: a bitmap header of " + headerSize + " bytes");
        } else {
            if (got < 14 + 16) {
                throw new EOFException();
            }
            width = int32(head, 18);
            height = int32(head, 22); // negative for rows stored top-down
            planes = uint16(head, 26);
            bits = uint16(head, 28);
        }
        if (width < 1 || height == 0 || height == Integer.MIN_VALUE) {
            throw new IOException(file + ": not a BMP file: a size of " + width + " by " + height + " pixels");
        }
        if (planes != 1) {
            throw new IOException(file + ": not a BMP file: " + planes + " planes");
        }
        if (!BMP_DEPTHS.contains(bits) || (bits == 0 && headerSize == 12)) {
            throw new IOException(file + ": not a BMP file: a depth of " + bits + " bits per pixel");
        }
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
     * The file's format: {@link #JPEG}, {@link #BMP}, or {@link #UNKNOWN} for any other file
     * and for one whose header could not be read.
     *
     * @return the format
     */
    public String getFormat() { return format; }

    /**
     * Whether the header was read; when not, every value is unknown.
     *
     * @return false for a file whose header could not be read
     */
    public boolean isKnown() { return this != UNREADABLE; }

    /**
     * The width in pixels.
     *
     * @return the width, 0 when unknown
     */
    public int getWidth() { return width; }

    /**
     * The height in pixels.
     *
     * @return the height, 0 when unknown (also for a JPEG that gives its height only after
     *     the image data)
     */
    public int getHeight() { return height; }

    /**
     * The horizontal resolution that the file records.
     *
     * @return dots per inch, 0 when the file records none
     */
    public int getXResolution() { return xResolution; }

    /**
     * The vertical resolution that the file records.
     *
     * @return dots per inch, 0 when the file records none
     */
    public int getYResolution() { return yResolution; }

    /**
     * The bits per pixel that the file holds: 1 for black and white, 8 for grey, 24 for
     * colour with 8 bits per channel, and so on.
     *
     * @return bits per pixel, 0 when unknown
     */
    public int getBitsPerPixel() { return bitsPerPixel; }

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
