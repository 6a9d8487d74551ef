package kordin.vestaro;

/** Base of the device managers; holds the library-wide diagnostic switch. */
public abstract class Manager {
    /**
     * Turns on the native library's diagnostic lines on {@code System.err}. Read once,
     * when the native library loads: set it before the first use of a manager.
     */
    public static boolean debug;
}
