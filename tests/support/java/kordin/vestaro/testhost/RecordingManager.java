package kordin.vestaro.testhost;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

import kordin.vestaro.wia.WIAManager;

/** A manager that records each device offered to it and opens the natives to tests. */
public class RecordingManager extends WIAManager {
    /** One call of add. */
    public static final class Offer {
        public final String name;
        public final long handle;
        public final int type;
        public final String id;

        Offer(String name, long handle, int type, String id) {
            this.name = name;
            this.handle = handle;
            this.type = type;
            this.id = id;
        }

        @Override
        public String toString() { return name + "|" + handle + "|" + type + "|" + id; }
    }

    public final List<Offer> offers = Collections.synchronizedList(new ArrayList<>());
    /** False: add keeps no record of its calls (a benchmark's host, which must not pay for them). */
    public boolean keepOffers = true;
    /** The handle of the latest device offered, kept either way. */
    public long lastHandle;
    /** What add returns. */
    public boolean accept = true;
    /** Thrown by add after recording the call, when set. */
    public RuntimeException toThrow;

    @Override
    protected boolean add(String name, long deviceHandle, int type, String id) {
        lastHandle = deviceHandle;
        if (keepOffers) {
            offers.add(new Offer(name, deviceHandle, type, id));
        }
        if (toThrow != null) {
            throw toThrow;
        }
        return accept;
    }

    public int offerCount() { return offers.size(); }

    public Offer offer(int index) {
        return offers.get(index);
    }

    public long initialize() { return _initialize(); }

    public void poll(long managerHandle) {
        _poll(managerHandle);
    }

    public void release(long managerHandle) {
        _release(managerHandle);
    }
}
