package kordin.vestaro.testsupport;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.NativeLibrary;

/**
 * The stand-in platform's control surface for tests: the census of what is still held, a
 * fresh state, device sets and dialog scripts in JSON, fault injection and the journal of
 * calls. The natives live in a test library named by the system property
 * {@value #HOOK_PROPERTY}; it is loaded after the product library, so that both use the
 * one stand-in platform of the process. Every method loads both on first use.
 */
public final class Winsim {
    /** The system property that names the test library's file. */
    public static final String HOOK_PROPERTY = "vestaro.winsim.hook";

    /** WIA_ERROR_BUSY. */
    public static final int WIA_ERROR_BUSY = 0x80210006;
    /** WIA_ERROR_OFFLINE. */
    public static final int WIA_ERROR_OFFLINE = 0x80210005;
    /** E_INVALIDARG, as the interface table answers a handle it does not hold. */
    public static final int E_INVALIDARG = 0x80070057;

    /** The default camera's and scanner's identifiers. */
    public static final String DEFAULT_SCANNER = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";
    public static final String DEFAULT_CAMERA = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";

    private static boolean loaded;

    private Winsim() {
    }

    /** What is alive on the platform: COM objects, task memory, BSTRs, local memory. */
    public record Census(long comObjects, long taskMemoryBlocks, long bstrs, long localMemoryBlocks) {
    }

    /** One journaled call: its target, its arguments as text, and its result. */
    public record Call(String target, String detail, int result) {
    }

    /**
     * Loads the product library (as the API does) and then the test library, once.
     *
     * @throws IllegalStateException when {@value #HOOK_PROPERTY} names no file
     */
    public static synchronized void load() {
        if (loaded) {
            return;
        }
        String hook = System.getProperty(HOOK_PROPERTY);
        if (hook == null || !Path.of(hook).isAbsolute() || !Files.isRegularFile(Path.of(hook))) {
            throw new IllegalStateException("-D" + HOOK_PROPERTY + " must name the test library's file: " + hook);
        }
        NativeLibrary.load();
        System.load(hook);
        loaded = true;
    }

    public static Census census() {
        load();
        long[] values = census0();
        return new Census(values[0], values[1], values[2], values[3]);
    }

    /** The live COM objects by kind, for failure messages. */
    public static String liveObjects() {
        load();
        return liveObjects0();
    }

    /** Faults, journal, read overrides, dialog scripts and the device set back to their start. */
    public static void reset() {
        load();
        reset0();
    }

    /**
     * Replaces the device set ({@code winsim/include/winsim/devices.h} has the format).
     *
     * @throws IllegalArgumentException naming the place of a fault in the set
     */
    public static void loadDevices(String json) {
        load();
        loadDevices0(json);
    }

    /**
     * Replaces one device's dialog script: a JSON array of steps as the device set's
     * {@code "dialog"} takes them, started from its first step.
     */
    public static void setDialogScript(String deviceId, String stepsJson) {
        load();
        setDialogScript0(deviceId, stepsJson);
    }

    /**
     * Makes calls of {@code method} fail with {@code result} (or, for a success code, return
     * it after doing their work): every matching call for {@code nth} 0, else only the
     * nth; only calls on {@code target} unless it is empty.
     */
    public static void injectFault(String method, int result, int nth, String target) {
        load();
        injectFault0(method, result, nth, target);
    }

    public static void clearFaults() {
        load();
        clearFaults0();
    }

    public static void clearJournal() {
        load();
        clearJournal0();
    }

    /** The journaled calls of one method, in order. */
    public static List<Call> journal(String method) {
        load();
        String[] flat = journal0(method);
        List<Call> calls = new ArrayList<>();
        for (int i = 0; i < flat.length; i += 3) {
            calls.add(new Call(flat[i], flat[i + 1], Integer.parseUnsignedInt(flat[i + 2].substring(2), 16)));
        }
        return calls;
    }

    /** The method of every journaled call, in order. */
    public static List<String> journalMethods() {
        load();
        return List.of(journalMethods0());
    }

    private static native long[] census0();

    private static native String liveObjects0();

    private static native void reset0();

    private static native void loadDevices0(String json);

    private static native void setDialogScript0(String deviceId, String stepsJson);

    private static native void injectFault0(String method, int result, int nth, String target);

    private static native void clearFaults0();

    private static native void clearJournal0();

    private static native String[] journal0(String method);

    private static native String[] journalMethods0();
}
