package kordin.vestaro;

/**
 * Base of the device managers; holds the library-wide diagnostic switch.
 *
 * <p>The switch is read once, when the native library loads (on the first
 * {@code WIAManager.open()}, or when a host loads the library itself): set it, and point
 * {@code System.err} where the diagnostic lines should go, before that.
 */
public abstract class Manager {
    /**
     * Turns on the native library's diagnostic lines on {@code System.err}: failed
     * property writes and the property listing of each item before it is transferred.
     * Read once, when the native library loads; changing it later has no effect on the
     * library.
     */
    public static boolean debug;

    /** For subclasses. */
    protected Manager() {
    }
}
