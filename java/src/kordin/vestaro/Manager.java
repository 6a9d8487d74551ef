package kordin.vestaro;

/**
 * Base of the device managers; holds the library-wide diagnostic switch and names the
 * Java side's logger.
 *
 * <p>The switch is read once, when the native library loads (on the first
 * {@code WIAManager.open()}, or when a host loads the library itself): set it, and point
 * {@code System.err} where the diagnostic lines should go, before that. An application
 * that cannot run code of its own first sets the system property {@value #DEBUG_PROPERTY}
 * to {@code true} instead (such as {@code java -Dkordin.vestaro.debug=true ...}).
 *
 * <p>The native library's diagnostic lines go to {@code System.err} as it was when the
 * library loaded. The Java side's own messages go to the platform logger
 * {@value #LOGGER_NAME} ({@link System#getLogger}), and so to {@code java.util.logging} or
 * whatever logging the application binds: the library's loading and each image's header
 * at {@code DEBUG}; an image header that cannot be read, and each device that the poll of
 * {@code WIAManager.open()} could not open, at {@code WARNING}.
 */
public abstract class Manager {
    /** The name of the {@link System.Logger} that the Java side writes to. */
    public static final String LOGGER_NAME = "kordin.vestaro";

    /** The system property that, set to {@code true}, turns {@link #debug} on from the start. */
    public static final String DEBUG_PROPERTY = "kordin.vestaro.debug";

    /**
     * Turns on the native library's diagnostic lines on {@code System.err}: failed
     * property writes and the property listing of each item before it is transferred.
     * Read once, when the native library loads; changing it later has no effect on the
     * library. Starts as the system property {@value #DEBUG_PROPERTY} says.
     */
    public static boolean debug = Boolean.getBoolean(DEBUG_PROPERTY);

    /** For subclasses. */
    protected Manager() {
    }
}
