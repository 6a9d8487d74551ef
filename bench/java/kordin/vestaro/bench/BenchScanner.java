package kordin.vestaro.bench;

import java.io.File;

import kordin.vestaro.wia.WIAScanner;

/** A scanner that counts its images and their bytes, with settings made from outside. */
public class BenchScanner extends WIAScanner {
    public int images;
    public long bytes;

    @Override
    protected void fireTransferDone(String path, String extension) {
        images++;
        bytes += new File(path).length();
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
