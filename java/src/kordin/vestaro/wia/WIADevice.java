package kordin.vestaro.wia;

/** A WIA device found by {@link WIAManager}. */
public class WIADevice {
    protected native void _release(long deviceHandle);

    /** Called once per image that arrived; the file exists only during this call. */
    protected void fireTransferDone(String path, String extension) {
    }

    /** Part of the native contract; not called by this version of the library. */
    protected void fireTransferFailed(int code, String message) {
    }
}
