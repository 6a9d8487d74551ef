package kordin.vestaro.wia;

import java.nio.file.Path;

/**
 * One image that a device transferred: the platform's file and its format. The file exists
 * only during the {@link ImageListener#imageTransferred} call that receives this object.
 */
public final class TransferredImage {
    private final WIADevice device;
    private final Path file;
    private final String extension;
    private final int index;

    TransferredImage(WIADevice device, Path file, String extension, int index) {
        this.device = device;
        this.file = file;
        this.extension = extension;
        this.index = index;
    }

    /**
     * The device the image came from.
     *
     * @return the device
     */
    public WIADevice getDevice() {
        return device;
    }

    /**
     * The file that the platform wrote; deleted when the listener call returns.
     *
     * @return the file
     */
    public Path getFile() {
        return file;
    }

    /**
     * The file's format as an extension without a dot: "jpg" for JPEG, "bmp" for a Windows
     * bitmap (when the device offers no JPEG).
     *
     * @return the extension
     */
    public String getExtension() {
        return extension;
    }

    /**
     * The image's position within its transfer, counting from 1.
     *
     * @return the position
     */
    public int getIndex() {
        return index;
    }

    @Override
    public String toString() {
        return "image " + index + " (" + extension + ") " + file;
    }
}
