package kordin.vestaro.testhost;

import kordin.vestaro.wia.WIACamera;

/** A camera that records its transfers and opens the natives to tests. */
public class RecordingCamera extends WIACamera {
    public final TransferRecorder transfers = new TransferRecorder();

    @Override
    protected void fireTransferDone(String path, String extension) {
        transfers.record(path, extension);
    }

    public void transfer(long deviceHandle, boolean dialog) {
        _transfer(deviceHandle, dialog);
    }

    public void release(long deviceHandle) {
        _release(deviceHandle);
    }
}
