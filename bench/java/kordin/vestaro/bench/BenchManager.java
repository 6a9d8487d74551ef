package kordin.vestaro.bench;

import kordin.vestaro.wia.WIAManager;

/** A manager that counts the devices offered and takes none unless told to. */
public class BenchManager extends WIAManager {
    public int offers;
    public boolean accept;
    /** The handle of the latest device offered. */
    public long lastHandle;

    @Override
    protected boolean add(String name, long deviceHandle, int type, String id) {
        offers++;
        lastHandle = deviceHandle;
        return accept;
    }

    public long initialize() {
        return _initialize();
    }

    public void poll(long managerHandle) {
        _poll(managerHandle);
    }

    public void release(long managerHandle) {
        _release(managerHandle);
    }
}
