package kordin.vestaro.wia;

/** A WIA digital camera. */
public class WIACamera extends WIADevice {
    protected native void _transfer(long deviceHandle, boolean dialog);
}
