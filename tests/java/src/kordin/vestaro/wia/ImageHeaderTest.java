package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.logging.Handler;
import java.util.logging.Level;
import java.util.logging.LogRecord;
import java.util.logging.Logger;
import javax.imageio.ImageIO;
import kordin.vestaro.Manager;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.api.io.TempDir;

/** Headers of files made byte by byte, with the forms that devices and other writers use. */
class ImageHeaderTest {
    @TempDir
    Path temp;

    private int files;

    private Path file(byte[] content) throws IOException {
        return Files.write(temp.resolve("image-" + files++), content);
    }

    private static byte[] bytes(int... values) {
        byte[] bytes = new byte[values.length];
        for (int i = 0; i < values.length; i++) {
            bytes[i] = (byte) values[i];
        }
        return bytes;
    }

    /** A marker segment: FF, the marker, the length (which counts itself), the data. */
    private static byte[] segment(int marker, byte[] data) {
        int length = data.length + 2;
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.writeBytes(bytes(0xFF, marker, length >> 8, length & 0xFF));
        out.writeBytes(data);
        return out.toByteArray();
    }

    private static byte[] jfif(int units, int x, int y) {
        return segment(0xE0, bytes('J', 'F', 'I', 'F', 0, 1, 2, units, x >> 8, x & 0xFF, y >> 8, y & 0xFF, 0, 0));
    }

    private static byte[] frame(int marker, int precision, int width, int height, int components) {
        ByteArrayOutputStream data = new ByteArrayOutputStream();
        data.writeBytes(bytes(precision, height >> 8, height & 0xFF, width >> 8, width & 0xFF, components));
        for (int i = 0; i < components; i++) {
            data.writeBytes(bytes(i + 1, 0x11, 0));
        }
        return segment(marker, data.toByteArray());
    }

    private static byte[] jpeg(byte[]... parts) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.writeBytes(bytes(0xFF, 0xD8));
        for (byte[] part : parts) {
            out.writeBytes(part);
        }
        out.writeBytes(segment(0xDA, bytes(1, 1, 0, 0, 63, 0)));
        out.writeBytes(bytes(0x12, 0x34, 0xFF, 0xD9));
        return out.toByteArray();
    }

    private static byte[] bmp(int headerSize, int width, int height, int bits, int pixelsPerMeter) {
        ByteBuffer out = ByteBuffer.allocate(14 + Math.max(headerSize, 40) + 16).order(ByteOrder.LITTLE_ENDIAN);
        out.put((byte) 'B').put((byte) 'M').putInt(out.capacity()).putInt(0).putInt(14 + headerSize);
        out.putInt(headerSize);
        if (headerSize == 12) {
            out.putShort((short) width).putShort((short) height).putShort((short) 1).putShort((short) bits);
        } else {
            out.putInt(width).putInt(height).putShort((short) 1).putShort((short) bits).putInt(0).putInt(0)
                    .putInt(pixelsPerMeter).putInt(pixelsPerMeter);
        }
        return out.array();
    }

    private static byte[] planes(byte[] bmp, int planes) {
        bmp[26] = (byte) planes;
        bmp[27] = 0;
        return bmp;
    }

    private String header(byte[] content) throws IOException {
        return ImageHeader.read(file(content)).toString();
    }

    @Test
    void jpegGivesItsFrameSizeDepthAndJfifDensityInEveryUnit() throws IOException {
        assertEquals("jpeg 640x480, 300 dpi, 24 bits per pixel", header(jpeg(jfif(1, 300, 300), frame(0xC0, 8, 640, 480, 3))));
        assertEquals("jpeg 640x480, 300x150 dpi, 8 bits per pixel",
                header(jpeg(jfif(2, 118, 59), frame(0xC0, 8, 640, 480, 1))), "dots per centimetre");
        assertEquals("jpeg 16x8, 8 bits per pixel", header(jpeg(jfif(0, 1, 1), frame(0xC0, 8, 16, 8, 1))),
                "an aspect ratio is no resolution");
        // No JFIF segment, an Exif one first, a table segment whose marker lies among the
        // frame markers, fill bytes, a progressive 12-bit frame.
        byte[] exif = segment(0xE1, "Exif\0\0whatever".getBytes(java.nio.charset.StandardCharsets.ISO_8859_1));
        byte[] huffmanTable = segment(0xC4, new byte[20]);
        byte[] fill = bytes(0xFF, 0xFF);
        assertEquals("jpeg 30x20, 12 bits per pixel", header(jpeg(exif, huffmanTable, fill, frame(0xC2, 12, 30, 20, 1))));
    }

    @Test
    void bmpGivesItsHeadersSizeDepthAndResolution() throws IOException {
        assertEquals("bmp 100x50, 150 dpi, 24 bits per pixel", header(bmp(40, 100, 50, 24, 5906)));
        assertEquals("bmp 100x50, 72 dpi, 1 bits per pixel", header(bmp(40, 100, -50, 1, 2835)), "rows stored top-down");
        assertEquals("bmp 7x9, 8 bits per pixel", header(bmp(124, 7, 9, 8, 0)), "no resolution recorded");
        assertEquals("bmp 300x200, 4 bits per pixel", header(bmp(12, 300, 200, 4, 0)), "the old core header");
    }

    /**
     * A GIF whose comment extension holds 16,384 full sub-blocks (4 MB): the platform's GIF
     * reader takes seconds and allocates many gigabytes on it.
     */
    private static byte[] gifWithLongComment() {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.writeBytes("GIF89a".getBytes(java.nio.charset.StandardCharsets.US_ASCII));
        out.writeBytes(bytes(1, 0, 1, 0, 0, 0, 0)); // a 1x1 screen without a colour table
        out.writeBytes(bytes(0x21, 0xFE));
        byte[] block = new byte[256];
        java.util.Arrays.fill(block, (byte) 0xFF); // the length byte, 255, and 255 bytes of comment
        for (int i = 0; i < 16_384; i++) {
            out.writeBytes(block);
        }
        out.writeBytes(bytes(0));
        out.writeBytes(bytes(0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B)); // a 1x1 image, the trailer
        return out.toByteArray();
    }

    /** The transfer reads only the two formats that the natives announce; anything else is unknown at once. */
    @Test
    @Timeout(value = 10, unit = TimeUnit.SECONDS) // a guard against the hang, not a measure
    void formatsOtherThanJpegAndBmpAreUnknownWithoutBeingDecoded() throws IOException {
        Path gif = file(gifWithLongComment());
        Path png = temp.resolve("grey.png");
        ImageIO.write(new BufferedImage(20, 10, BufferedImage.TYPE_BYTE_GRAY), "png", png.toFile());
        Path tiff = temp.resolve("grey.tiff");
        ImageIO.write(new BufferedImage(20, 10, BufferedImage.TYPE_BYTE_GRAY), "tiff", tiff.toFile());
        for (Path other : List.of(gif, png, tiff)) {
            IOException failure = assertThrows(IOException.class, () -> ImageHeader.read(other), other.toString());
            assertTrue(failure.getMessage().startsWith(other + ": neither a JPEG nor a BMP file"), failure.getMessage());
        }

        WIADevice device = new WIADevice("Test", 0, 0, "test");
        List<TransferredImage> arrived = new ArrayList<>();
        device.addImageListener(arrived::add);
        try (Recorder log = new Recorder()) {
            for (int i = 0; i < 3; i++) {
                device.fireTransferDone(gif.toString(), "jpg");
            }
            assertEquals(3, arrived.size());
            for (TransferredImage image : arrived) {
                assertFalse(image.getHeader().isKnown(), image.toString());
                assertEquals(ImageHeader.UNKNOWN, image.getHeader().getFormat());
            }
            assertTrue(log.records.stream().anyMatch(r -> r.getLevel() == Level.WARNING
                    && r.getMessage().contains("neither a JPEG nor a BMP file")), "warned");
        }
    }

    /** A JPEG's segments are skipped by their lengths, up to a bound on how far the frame header may lie. */
    @Test
    void jpegSegmentsAreSkippedByLengthWithinABound() throws IOException {
        // A segment whose contents look like a frame header, and a JFIF segment with a thumbnail after its density.
        byte[] fakeFrame = segment(0xE2, frame(0xC0, 8, 999, 999, 3));
        byte[] jfifWithThumbnail = segment(0xE0, bytes('J', 'F', 'I', 'F', 0, 1, 2, 1, 0, 200, 0, 200, 2, 1, 1, 2, 3, 4, 5, 6));
        assertEquals("jpeg 64x32, 200 dpi, 24 bits per pixel",
                header(jpeg(jfifWithThumbnail, fakeFrame, frame(0xC0, 8, 64, 32, 3))));

        byte[] largest = segment(0xE1, new byte[65_533]);
        byte[][] withinBound = new byte[15][];
        java.util.Arrays.fill(withinBound, largest);
        byte[][] beyondBound = new byte[17][];
        java.util.Arrays.fill(beyondBound, largest);
        byte[] frame = frame(0xC0, 8, 10, 20, 1);
        assertEquals("jpeg 10x20, 8 bits per pixel", header(jpeg(concat(concat(withinBound), frame))));
        Path far = file(jpeg(concat(concat(beyondBound), frame)));
        IOException failure = assertThrows(IOException.class, () -> ImageHeader.read(far));
        assertEquals(far + ": no JPEG frame header within the first 1 MiB of the file",
                failure.getMessage());
    }

    private static byte[] concat(byte[]... parts) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        for (byte[] part : parts) {
            out.writeBytes(part);
        }
        return out.toByteArray();
    }

    @Test
    void aFileThatIsNoReadableImageFailsWithTheReason() throws IOException {
        byte[][] broken = {
            {},
            "plain text, no image".getBytes(java.nio.charset.StandardCharsets.US_ASCII),
            bytes(0xFF, 0xD8, 0xFF),
            jpeg(jfif(1, 300, 300)),
            bytes(0xFF, 0xD8, 0xFF, 0xE0, 0, 1),
            bytes(0xFF, 0xD8, 0x00, 0x00),
            jpeg(segment(0xC0, bytes(8, 0, 1))),
            bytes('B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 1),
            bmp(5, 0, 0, 0, 0),
            bmp(40, 100, Integer.MIN_VALUE, 24, 0),
            // Values no such file can hold: 255-bit samples in 255 components, no width, a
            // frame header whose length does not fit its components, a negative width, no
            // planes, a depth that no bitmap has.
            jpeg(frame(0xC0, 255, 16, 16, 255)),
            jpeg(frame(0xC0, 8, 0, 16, 3)),
            jpeg(frame(0xC2, 16, 16, 16, 1)),
            jpeg(segment(0xC0, bytes(8, 0, 16, 0, 16, 3, 1, 0x11, 0))),
            bmp(40, -1, -1, 24, 0),
            bmp(40, 10, 10, 65_025, 0),
            bmp(12, 0, 10, 8, 0),
            planes(bmp(40, 10, 10, 24, 0), 0),
        };
        for (byte[] content : broken) {
            Path file = file(content);
            IOException failure = assertThrows(IOException.class, () -> ImageHeader.read(file), file.toString());
            assertTrue(failure.getMessage().startsWith(file.toString()), failure.getMessage());
        }
        assertThrows(NoSuchFileException.class, () -> ImageHeader.read(temp.resolve("absent")));
    }

    /** Records what reaches the Java side's logger, as an application's own handler would. */
    private static final class Recorder extends Handler implements AutoCloseable {
        final List<LogRecord> records = new ArrayList<>();
        private final Logger logger = Logger.getLogger(Manager.LOGGER_NAME);
        private final Level level = logger.getLevel();

        Recorder() {
            logger.setLevel(Level.ALL);
            logger.addHandler(this);
        }

        @Override
        public void publish(LogRecord record) {
            records.add(record);
        }

        @Override
        public void flush() {
        }

        @Override
        public void close() {
            logger.removeHandler(this);
            logger.setLevel(level);
        }
    }

    @Test
    void anImageArrivesWithItsHeaderAndAnUnreadableOneIsLoggedNotFailed() throws IOException {
        WIADevice device = new WIADevice("Test", 0, 0, "test");
        List<TransferredImage> arrived = new ArrayList<>();
        device.addImageListener(arrived::add);
        try (Recorder log = new Recorder()) {
            device.fireTransferDone(file(jpeg(jfif(1, 96, 96), frame(0xC0, 8, 4, 3, 3))).toString(), "jpg");
            device.fireTransferDone(file(bytes('B', 'M')).toString(), "bmp");

            assertEquals("jpeg 4x3, 96 dpi, 24 bits per pixel", arrived.get(0).getHeader().toString());
            assertFalse(arrived.get(1).getHeader().isKnown());
            assertEquals(0, arrived.get(1).getHeader().getWidth());
            assertEquals(List.of(Level.FINE, Level.WARNING, Level.FINE), log.records.stream().map(LogRecord::getLevel).toList());
            assertTrue(log.records.get(1).getMessage().startsWith("the header of the image file cannot be read: "),
                    log.records.get(1).getMessage());
        }
    }
}
