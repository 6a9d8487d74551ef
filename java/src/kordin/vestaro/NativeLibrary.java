package kordin.vestaro;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * Loads the native library that fits the running Java VM, once per process.
 *
 * <p>The library is {@code vestaro64_12} in a 64-bit VM and {@code vestaro32_12} in a
 * 32-bit one. When the system property {@code vestaro.library} is set, it is the file that
 * property names, or the file of that name in the folder it names (on Linux with
 * {@code libwinsim.so} beside it, which is loaded by its path first), and nothing else. Otherwise it is looked for, in this
 * order:
 * <ol>
 * <li>the copy that a jar on the class path carries: {@code kordin:vestaro} carries both
 *     Windows DLLs and the Linux build with the stand-in platform, and
 *     {@code kordin:vestaro-virtual} the file that adds the virtual devices, extracted
 *     beside the stand-in. It is extracted into a new folder that only the
 *     user can read, below the folder named by {@code vestaro.tmpdir}, else below
 *     {@code java.io.tmpdir} (a relative one taken from the working folder). Each file
 *     must have the SHA-256 that its jar's index lists, or the jar's copy is refused and
 *     nothing else is loaded; the jar's other libraries (such as {@code libwinsim.so}) are
 *     loaded by their paths first. On Linux that folder is deleted as soon as the library is
 *     loaded; on Windows a loaded library cannot be deleted, so its folder stays, locked,
 *     until the process ends, and a later load removes the folders whose processes are
 *     gone;
 * <li>the folders of {@code java.library.path} (on Windows these include {@code PATH},
 *     which is why the jar's own copy comes first).
 * </ol>
 * When none loads, the {@link UnsatisfiedLinkError} lists each place in order with the
 * reason it failed (a missing file, what the jars carry, the system's own loader message).
 *
 * <p>The library reads {@link Manager#debug} and binds {@code System.err} when it loads:
 * set both before the first {@link #load()} (which {@code WIAManager.open()} calls).
 * Loading again, from any thread, does nothing. A host that loads the library itself
 * names the same file in {@code vestaro.library}, so that no second copy is loaded.
 */
public final class NativeLibrary {
    private static Path location;
    /** Extractions that must stay locked while the process runs. */
    private static final List<Extraction> HELD = new ArrayList<>();

    private NativeLibrary() {
    }

    /**
     * The name of the library that fits this VM, as {@code System.loadLibrary} takes it.
     *
     * @return {@code vestaro64_12} or {@code vestaro32_12}
     */
    public static String name() {
        return new NativeLoader(System.getProperty("os.name"), System.getProperty("os.arch"),
                System.getProperty("sun.arch.data.model"), null, null, null).libraryName();
    }

    /**
     * Loads the library, unless it is loaded already.
     *
     * @throws UnsatisfiedLinkError when no library fits this VM or none that was found
     *     loads; the message lists each place tried, in order, and why it failed
     */
    public static synchronized void load() {
        if (location != null) {
            return;
        }
        NativeLoader loader = NativeLoader.forThisJvm();
        NativeLoader.Loaded loaded = loader.load(new NativeLoader.Loading() {
            @Override
            public void load(Path file) {
                System.load(file.toString());
            }

            @Override
            public void loadLibrary(String name) {
                System.loadLibrary(name);
            }
        });
        Extraction extraction = loaded.extraction();
        if (extraction != null) {
            if (loader.isWindows()) {
                HELD.add(extraction);
            } else {
                extraction.delete(); // the loaded library stays mapped
            }
        }
        location = loaded.file();
        System.getLogger(Manager.LOGGER_NAME).log(System.Logger.Level.DEBUG,
                "loaded " + loaded.file() + " from " + loaded.source());
    }

    /**
     * Whether {@link #load()} has loaded the library in this process.
     *
     * @return true after a successful {@link #load()}
     */
    public static synchronized boolean isLoaded() { return location != null; }

    /**
     * The file that {@link #load()} loaded: the one {@code vestaro.library} names, the
     * extracted copy (on Linux already deleted again), or one in a folder of
     * {@code java.library.path}.
     *
     * @return the file, or null before a successful {@link #load()}
     */
    public static synchronized Path location() { return location; }
}
