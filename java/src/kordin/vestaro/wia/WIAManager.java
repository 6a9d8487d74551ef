package kordin.vestaro.wia;

import kordin.vestaro.Manager;

/** The WIA device manager. */
public class WIAManager extends Manager {
    protected native long _initialize();

    protected native void _poll(long managerHandle);

    protected native void _release(long managerHandle);

    /** Offered each device found by {@code _poll}; returns true to keep it. */
    protected boolean add(String name, long deviceHandle, int type, String id) {
        return false;
    }
}
