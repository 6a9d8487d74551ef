package kordin.vestaro.testhost;

import kordin.vestaro.wia.WIAScanner;

/** A scanner that records its transfers and opens the natives and scan settings to tests. */
public class RecordingScanner extends WIAScanner {
    public final TransferRecorder transfers = new TransferRecorder();

    @Override
    protected void fireTransferDone(String path, String extension) {
        transfers.record(path, extension);
    }

    public void setScan(int bitDepth, int resolution, int x, int y, int width, int height) {
        this.bitDepth = bitDepth;
        this.resolution = resolution;
        this.x = x;
        this.y = y;
        this.width = width;
        this.height = height;
    }

    public void transfer(long deviceHandle, boolean dialog) {
        _transfer(deviceHandle, dialog);
    }

    public void release(long deviceHandle) {
        _release(deviceHandle);
    }
}
