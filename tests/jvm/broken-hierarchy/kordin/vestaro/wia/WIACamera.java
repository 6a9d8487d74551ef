package kordin.vestaro.wia;

/** A host camera that does not extend WIADevice. */
public class WIACamera {
    protected native void _transfer(long deviceHandle, boolean dialog);

    protected void fireTransferDone(String path, String extension) {
    }
}
