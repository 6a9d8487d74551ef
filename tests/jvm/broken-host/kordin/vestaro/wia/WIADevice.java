package kordin.vestaro.wia;

/** A host device that lacks fireTransferFailed, a member bound after the scanner's fields. */
public class WIADevice {
    protected native void _release(long deviceHandle);

    protected void fireTransferDone(String path, String extension) {
    }
}
