package kordin.vestaro.wia;

import kordin.vestaro.Manager;

/** The manager of the broken host: only the members the library binds. */
public class WIAManager extends Manager {
    protected native long _initialize();

    protected native void _poll(long managerHandle);

    protected native void _release(long managerHandle);

    protected boolean add(String name, long deviceHandle, int type, String id) {
        return false;
    }
}
