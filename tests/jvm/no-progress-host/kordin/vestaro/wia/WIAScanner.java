package kordin.vestaro.wia;

/** A host scanner with the natives of pages and capabilities but no scanProgress. */
public class WIAScanner extends WIADevice {
    protected int bitDepth = 8;
    protected int resolution = 300;
    protected int x = -1;
    protected int y = -1;
    protected int width = -1;
    protected int height = -1;

    protected native void _transfer(long deviceHandle, boolean dialog);

    protected native int[] _capabilities(long deviceHandle);

    protected native int _scanPages(long deviceHandle, int[] rootWrites, int[] itemWrites, int maxPages);
}
