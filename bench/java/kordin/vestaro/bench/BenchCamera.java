package kordin.vestaro.bench;

import java.io.File;

import kordin.vestaro.wia.WIACamera;

/** A camera that counts its images and their bytes, as a host that reads each file's size. */
public class BenchCamera extends WIACamera {
    public int images;
    public long bytes;

    @Override
    protected void fireTransferDone(String path, String extension) {
        images++;
        bytes += new File(path).length();
    }

    public void transfer(long deviceHandle, boolean dialog) {
        _transfer(deviceHandle, dialog);
    }

    public void release(long deviceHandle) {
        _release(deviceHandle);
    }
}
