package kordin.vestaro.testhost;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.lang.management.ManagementFactory;
import java.nio.charset.StandardCharsets;

import kordin.vestaro.Manager;

/** What the native test harness does on the Java side before and after the library loads. */
public final class Harness {
    private static ByteArrayOutputStream captured;

    private Harness() {
    }

    /**
     * Loads a native library from this class, so that it binds to the application class
     * loader that holds the host classes. Returns what the load threw, or null.
     */
    public static Throwable loadLibrary(String name) {
        try {
            System.loadLibrary(name);
            return null;
        } catch (Throwable thrown) {
            return thrown;
        }
    }

    /** Replaces System.err by a stream that keeps what is printed, as UTF-8. */
    public static void captureErr() {
        captured = new ByteArrayOutputStream();
        System.setErr(new PrintStream(captured, true, StandardCharsets.UTF_8));
    }

    /** Sets System.err to null, as a host may. */
    public static void dropErr() {
        System.setErr(null);
    }

    /** What was printed on the captured stream since the last call; empty without capture. */
    public static String takeErr() {
        if (captured == null) {
            return "";
        }
        synchronized (captured) {
            String text = captured.toString(StandardCharsets.UTF_8);
            captured.reset();
            return text;
        }
    }

    public static void setDebug(boolean on) {
        Manager.debug = on;
    }

    /** Threads the VM counts as live, attached native threads included. */
    public static int liveThreadCount() { return ManagementFactory.getThreadMXBean().getThreadCount(); }
}
