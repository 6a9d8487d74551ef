package kordin.vestaro.wia;

import java.io.IOException;

/**
 * Receives each image that a device transfers, while its file exists.
 *
 * <p>The file is the one the platform wrote, in its temporary folder. It exists only while
 * {@link #imageTransferred} runs: the library deletes it right after the call returns. Read,
 * copy or move it inside the call ({@link ImageFolder} does that), and keep no reference to
 * the path.
 *
 * <p>The call runs on the thread that started the transfer, before the transfer method
 * returns. An exception it throws does not stop the transfer: the other listeners still get
 * the image, later images still arrive, and the transfer method throws the first failure
 * when it returns (see {@link WIADevice}).
 */
@FunctionalInterface
public interface ImageListener {
    /**
     * An image has arrived.
     *
     * @param image the image; its file is valid only during this call
     * @throws IOException when the listener cannot handle the file
     */
    void imageTransferred(TransferredImage image) throws IOException;
}
