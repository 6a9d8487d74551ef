package kordin.vestaro.wia;

/** A host scanner that lacks the "height" setting. */
public class WIAScanner extends WIADevice {
    protected int bitDepth = 8;
    protected int resolution = 300;
    protected int x = -1;
    protected int y = -1;
    protected int width = -1;

    protected native void _transfer(long deviceHandle, boolean dialog);
}
