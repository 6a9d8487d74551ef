package kordin.vestaro.wia;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Path;
import java.util.Optional;

/**
 * One image that a device transferred: the platform's file, its format, and what the file
 * says it holds (read from its header when the image arrived). The file exists only during
 * the {@link ImageListener#imageTransferred} call that receives this object; the header's
 * values stay.
 */
public final class TransferredImage {
    private final WIADevice device;
    private final Path file;
    private final String extension;
    private final int index;
    private final PageSide side;
    private final ImageHeader header;
    private final String name;

    TransferredImage(WIADevice device, Path file, String extension, int index, PageSide side, ImageHeader header,
            String name) {
        this.name = name;
        this.device = device;
        this.file = file;
        this.extension = extension;
        this.index = index;
        this.side = side;
        this.header = header;
    }

    /**
     * The device the image came from.
     *
     * @return the device
     */
    public WIADevice getDevice() { return device; }

    /**
     * The file that the platform wrote; deleted when the listener call returns.
     *
     * @return the file
     */
    public Path getFile() { return file; }

    /**
     * The file's format as an extension without a dot: "jpg" for JPEG, "bmp" for a Windows
     * bitmap (when the device offers no JPEG).
     *
     * @return the extension
     */
    public String getExtension() { return extension; }

    /**
     * The image's position within its transfer, counting from 1: a scanned page's number.
     *
     * @return the position
     */
    public int getIndex() { return index; }

    /**
     * The item's name as the device gives it: a camera's picture has one, such as
     * {@code IMG_0001.JPG} (a camera's file, as the camera names it) or {@code IMG_0001};
     * a scanned page has none. It is the device's text as it stands, which may hold
     * characters that no file name can: {@link ImageFolder#keepingNames(Path)} keeps files
     * under these names made safe.
     *
     * @return the name, or empty when the device gives none
     */
    public Optional<String> getName() { return Optional.ofNullable(name); }

    /**
     * The side of the sheet the image shows: {@link PageSide#BACK} for every second page of a
     * duplex scan, {@link PageSide#FRONT} for every other image.
     *
     * @return the side
     */
    public PageSide getSide() { return side; }

    /**
     * What the file says it holds: format, size in pixels, resolution and depth, which are
     * what the device did whatever was asked. {@link ImageHeader#isKnown()} is false when the
     * header could not be read (the reason is logged).
     *
     * @return the header's values
     */
    public ImageHeader getHeader() { return header; }

    /**
     * Decodes the file into pixels with the Java platform's image readers. Call it inside the
     * listener call, while the file exists; the device waits while it decodes, so a listener
     * that only keeps the file can decode the kept copy later ({@link KeptImage#readImage()}).
     *
     * @return the image
     * @throws IOException when the file is gone or is no image that the platform can decode
     *     (the message names the file and says why)
     */
    public BufferedImage readImage() throws IOException {
        return ImageDecoder.decode(file);
    }

    @Override
    public String toString() {
        return "image " + index + (side == PageSide.BACK ? " back" : "") + " (" + extension + ") " + file + ": "
                + header;
    }
}
