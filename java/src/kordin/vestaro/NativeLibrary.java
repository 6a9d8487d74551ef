package kordin.vestaro;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * Loads the native library that fits the running Java VM, once per process.
 *
 * <p>The library is {@code vestaro64_12} in a 64-bit VM and {@code vestaro32_12} in a
 * 32-bit one. It is taken from {@code java.library.path} when a folder there has it;
 * otherwise from inside the jar, which carries the Linux build (with the stand-in
 * platform, {@code libwinsim.so}, beside it) and both Windows DLLs. The jar's copy is
 * extracted into a new folder below {@code java.io.tmpdir} that only the user can read.
 * On Linux that folder is deleted as soon as the library is loaded; on Windows a loaded
 * library cannot be deleted, so its folder stays, locked, until the process ends, and a
 * later load removes the folders whose processes are gone.
 *
 * <p>The library reads {@link Manager#debug} and binds {@code System.err} when it loads:
 * set both before the first {@link #load()} (which {@code WIAManager.open()} calls).
 * Loading again, from any thread, does nothing; so does loading a library that the host
 * already loaded itself with {@code System.loadLibrary} from {@code java.library.path}.
 */
public final class NativeLibrary {
    private static Path location;
    /** Extractions that must stay locked while the process runs. */
    private static final List<NativeLoader.Extraction> HELD = new ArrayList<>();

    private NativeLibrary() {
    }

    /**
     * The name of the library that fits this VM, as {@code System.loadLibrary} takes it.
     *
     * @return {@code vestaro64_12} or {@code vestaro32_12}
     */
    public static String name() {
        return NativeLoader.forThisJvm().libraryName();
    }

    /**
     * Loads the library, unless it is loaded already.
     *
     * @throws UnsatisfiedLinkError when no library fits this VM (the message names the
     *     library, the folders of {@code java.library.path} and what the jar carries), or
     *     when the library that was found cannot be loaded
     */
    public static synchronized void load() {
        if (location != null) {
            return;
        }
        NativeLoader loader = NativeLoader.forThisJvm();
        Path onPath = loader.findOnLibraryPath();
        if (onPath != null) {
            // Loaded by name so that a host that loaded it the same way gets no second copy.
            System.loadLibrary(loader.libraryName());
            loaded(onPath, "java.library.path");
            return;
        }
        NativeLoader.Extraction extraction;
        try {
            extraction = loader.extract();
        } catch (IOException e) {
            UnsatisfiedLinkError error = new UnsatisfiedLinkError("cannot extract " + loader.fileName()
                    + " from the jar into " + System.getProperty("java.io.tmpdir") + ": " + e);
            error.initCause(e);
            throw error;
        }
        if (extraction == null) {
            throw loader.notFound();
        }
        try {
            System.load(extraction.library().toString());
        } catch (UnsatisfiedLinkError e) {
            extraction.delete();
            UnsatisfiedLinkError error = new UnsatisfiedLinkError("cannot load " + loader.fileName()
                    + " extracted from the jar (a folder mounted noexec can be avoided with"
                    + " -Djava.io.tmpdir=...): " + e.getMessage());
            error.initCause(e);
            throw error;
        }
        if (loader.isWindows()) {
            HELD.add(extraction);
        } else {
            extraction.delete(); // the loaded library stays mapped
        }
        loaded(extraction.library(), "the jar");
    }

    private static void loaded(Path file, String source) {
        location = file;
        System.getLogger(Manager.LOGGER_NAME).log(System.Logger.Level.DEBUG, "loaded " + file + " from " + source);
    }

    /**
     * Whether {@link #load()} has loaded the library in this process.
     *
     * @return true after a successful {@link #load()}
     */
    public static synchronized boolean isLoaded() {
        return location != null;
    }

    /**
     * The file that {@link #load()} loaded: in a folder of {@code java.library.path}, or
     * the extracted copy (on Linux already deleted again).
     *
     * @return the file, or null before a successful {@link #load()}
     */
    public static synchronized Path location() {
        return location;
    }
}
