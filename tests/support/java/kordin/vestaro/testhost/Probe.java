package kordin.vestaro.testhost;

/**
 * Natives of the probe library, a test build of the library's load and reporting code with
 * entry points that drive the reporting directly.
 */
public final class Probe {
    private Probe() {
    }

    /** Reports `code` as a failure. */
    public static native void report(int code);

    /** Reports `first`, then `second` while the first is pending. */
    public static native void reportTwice(int first, int second);

    /** Prints `text` as a diagnostic line ("%ws"). */
    public static native void print(String text);

    /** Prints "`text` <i>" for i from 0 to count - 1, in one native call. */
    public static native void printRepeatedly(String text, int count);

    /** Reports `code` `count` times in one native call. */
    public static native void reportRepeatedly(int code, int count);

    /** Prints `text` when the library's debug switch was on at load. */
    public static native void printWhenDebugging(String text);

    /** Prints `text` from a new native thread the VM has never seen, and waits for it. */
    public static native void printFromNewThread(String text);

    /** Throws IllegalStateException("first"), then prints `text` with it pending. */
    public static native void printWhilePending(String text);

    /** True when the interface table is there; reports its failure otherwise. */
    public static native boolean useInterfaceTable();

    /** `threads` Java threads at once, each printing `lines` lines "t<thread> l<line>". */
    public static void printFromThreads(int threads, int lines) throws InterruptedException {
        Thread[] started = new Thread[threads];
        for (int t = 0; t < threads; ++t) {
            final int thread = t;
            started[t] = new Thread(() -> {
                for (int line = 0; line < lines; ++line) {
                    print("t" + thread + " l" + line);
                }
            });
        }
        for (Thread thread : started) {
            thread.start();
        }
        for (Thread thread : started) {
            thread.join();
        }
    }
}
