package kordin.vestaro.wia;

import java.io.IOException;
import java.nio.file.Path;
import java.util.List;
import kordin.vestaro.VestaroException;

/**
 * A WIA digital camera: transfers all its pictures, or those the user picks in the device's
 * own dialog. Images, failures and threads as {@link WIADevice} describes.
 */
public class WIACamera extends WIADevice {
    /** A camera without a handle, for subclasses that drive the natives themselves. */
    protected WIACamera() {
    }

    /**
     * A camera as the library offered it.
     *
     * @param name the camera's name
     * @param handle the library's handle of the camera
     * @param type the device's type word (kind {@link #KIND_CAMERA} in the high 16 bits)
     * @param id the camera's identifier
     */
    protected WIACamera(String name, long handle, int type, String id) {
        super(name, handle, type, id);
    }

    /**
     * Transfers pictures; the library calls {@link #fireTransferDone} for each before it
     * returns.
     *
     * @param deviceHandle the camera's handle
     * @param dialog true to let the user pick in the device's dialog, false for every picture
     * @hidden
     */
    protected native void _transfer(long deviceHandle, boolean dialog);

    /**
     * Transfers pictures as {@link #_transfer} does, calling {@link #pictureNamed} with each
     * picture's name before {@link #fireTransferDone} hands over its file.
     *
     * @param deviceHandle the camera's handle
     * @param dialog true to let the user pick in the device's dialog, false for every picture
     * @hidden
     */
    protected native void _transferNamed(long deviceHandle, boolean dialog);

    /**
     * Called by the library before each picture's file: the picture's name as the camera
     * gives it, which the next {@link TransferredImage} takes.
     *
     * @param itemName the item's name, or null when the camera gives none
     * @hidden
     */
    protected void pictureNamed(String itemName) {
        nameNextImage(itemName);
    }

    @Override
    void transferNative(long deviceHandle, boolean dialog) {
        _transferNamed(deviceHandle, dialog);
    }

    /**
     * Transfers every picture, or those the user picks in the device's dialog, handing each
     * to a listener while its file exists.
     *
     * @param dialog true to show the device's dialog (no picture arrives when the user
     *     cancels it), false for every picture on the camera, in the camera's order
     * @param listener receives each picture before the registered listeners; may be null
     * @return the number of pictures that arrived
     * @throws VestaroException when the camera fails; the pictures after a failed one are
     *     still attempted
     * @throws IOException when an {@link ImageFolder} it delivers to cannot take images
     *     (before the camera runs), or a listener failed with one and the camera did not fail
     * @throws IllegalStateException when the camera is released
     */
    public int transfer(boolean dialog, ImageListener listener) throws VestaroException, IOException {
        return runTransfer(dialog, listener);
    }

    /**
     * Transfers every picture, or those the user picks in the device's dialog, into a folder,
     * as copies named {@code picture-001.jpg}, {@code picture-002.jpg}, ... (see
     * {@link ImageFolder}). An {@link ImageFolder} passed to
     * {@link #transfer(boolean, ImageListener)} also tells what each file holds.
     *
     * @param dialog true to show the device's dialog, false for every picture on the camera
     * @param folder where the pictures go; created when the first one arrives
     * @return the files kept, in the order the pictures arrived
     * @throws VestaroException when the camera fails
     * @throws IOException when the folder cannot be made or written into (before the
     *     camera runs), or a picture cannot be kept
     * @throws IllegalStateException when the camera is released
     */
    public List<Path> transfer(boolean dialog, Path folder) throws VestaroException, IOException {
        return runTransfer(dialog, folder, "picture");
    }
}
