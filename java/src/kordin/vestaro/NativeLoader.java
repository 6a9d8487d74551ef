package kordin.vestaro;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Set;

/**
 * Finds and loads the native library for a Java VM. Every fact about the VM comes in
 * through the constructor, and the loading itself through {@link Loading}, so that the
 * decisions can be tested for any platform.
 *
 * <p>The file or folder named by {@value #LIBRARY_PROPERTY}, when set, is the only place.
 * Otherwise, in order: the copy that a jar on the class path carries, extracted into a
 * private folder below {@value #TMPDIR_PROPERTY} (else {@code java.io.tmpdir}); the folders
 * of {@code java.library.path}. The first library that loads wins; when none does, the
 * error lists every place with the reason it failed.
 *
 * <p>Jars carry the natives under {@value NativeIndex#RESOURCE_ROOT}, one folder per platform
 * ({@code linux-x86_64}, {@code windows-x86_64}, {@code windows-x86}), and an index that
 * lists every file with its SHA-256 as {@code sha256sum} writes it ({@code <hex>  folder/name},
 * one a line). Each jar has its own index: the main artifact carries the Windows DLLs and
 * the Linux build, {@value #VIRTUAL_ARTIFACT} only the file that installs the virtual
 * devices ({@code linux-x86_64/winsim-virtual-devices}), which is extracted beside the main
 * jar's {@code libwinsim.so} and read by it as it loads. Every file is taken from the jar
 * whose index lists it and must have the checksum listed there: a file that is not the one
 * its jar was built with is refused, and nothing else is loaded in its place. The other
 * libraries of the platform (such as {@code libwinsim.so}) are loaded by their absolute
 * paths before the library itself, so that the system's search path
 * ({@code LD_LIBRARY_PATH}) cannot put another build's copy in their place, and so that the
 * Java VM runs their own load entry (the stand-in reads the drivers' system properties
 * there).
 */
final class NativeLoader {
    /** The native library's file, or the folder that holds it; tried before everything else. */
    static final String LIBRARY_PROPERTY = "vestaro.library";
    /** The folder below which the jar's copy is extracted, instead of {@code java.io.tmpdir}. */
    static final String TMPDIR_PROPERTY = "vestaro.tmpdir";
    /** The artifact that adds the virtual devices to the main artifact's Linux build. */
    static final String VIRTUAL_ARTIFACT = "kordin:vestaro-virtual";
    /** The stand-in platform beside the Linux library, loaded by its path before it when present. */
    static final String PLATFORM_LIBRARY = "libwinsim.so";

    private final String osName;
    private final String osArch;
    private final String dataModel;
    private final String libraryPath;
    private final Path tempRoot;
    private final ClassLoader resources;
    private final String namedLibrary;

    NativeLoader(String osName, String osArch, String dataModel, String libraryPath, Path tempRoot,
            ClassLoader resources) {
        this(osName, osArch, dataModel, libraryPath, tempRoot, resources, null);
    }

    /** {@code namedLibrary}: the value of {@value #LIBRARY_PROPERTY}, or null. */
    NativeLoader(String osName, String osArch, String dataModel, String libraryPath, Path tempRoot,
            ClassLoader resources, String namedLibrary) {
        this.osName = osName == null ? "" : osName;
        this.osArch = osArch == null ? "" : osArch;
        this.dataModel = dataModel == null ? "" : dataModel;
        this.libraryPath = libraryPath == null ? "" : libraryPath;
        // System.load takes absolute paths only, and build tools often pass a relative tmpdir.
        this.tempRoot = tempRoot == null ? null : tempRoot.toAbsolutePath();
        this.resources = resources;
        this.namedLibrary = namedLibrary == null || namedLibrary.isEmpty() ? null : namedLibrary;
    }

    /** The loader for the running VM. */
    static NativeLoader forThisJvm() {
        String tmpdir = System.getProperty(TMPDIR_PROPERTY, "");
        if (tmpdir.isEmpty()) {
            tmpdir = System.getProperty("java.io.tmpdir");
        }
        Path tempRoot;
        try {
            tempRoot = Path.of(tmpdir);
        } catch (InvalidPathException e) {
            throw new UnsatisfiedLinkError("the extraction folder " + tmpdir + " is not a folder name here: "
                    + e.getMessage());
        }
        return new NativeLoader(System.getProperty("os.name"), System.getProperty("os.arch"),
                System.getProperty("sun.arch.data.model"), System.getProperty("java.library.path"),
                tempRoot, NativeLoader.class.getClassLoader(), System.getProperty(LIBRARY_PROPERTY));
    }

    /** How a library file or name is handed to the VM: {@code System::load}, {@code System::loadLibrary}. */
    interface Loading {
        void load(Path file);

        void loadLibrary(String name);
    }

    /** The library that loaded: its file, where it came from, and its extraction (null unless from the jar). */
    record Loaded(Path file, String source, Extraction extraction) {
    }

    /**
     * Tries every place in order and returns the first library that loads.
     *
     * @throws UnsatisfiedLinkError listing each place tried and why it failed
     */
    Loaded load(Loading vm) {
        List<String> tried = new ArrayList<>();
        if (namedLibrary != null) {
            // The user's choice: another copy in its place would be the silent mix-up that
            // naming it is meant to prevent.
            Loaded loaded = loadNamed(vm, tried);
            if (loaded == null) {
                tried.add("nothing else is tried while " + LIBRARY_PROPERTY + " names the library");
                throw failure(tried);
            }
            return loaded;
        }
        Loaded loaded = loadFromJar(vm, tried);
        if (loaded == null) {
            loaded = loadFromLibraryPath(vm, tried);
        }
        if (loaded == null) {
            throw failure(tried);
        }
        return loaded;
    }

    private Loaded loadNamed(Loading vm, List<String> tried) {
        String place = "-D" + LIBRARY_PROPERTY + "=" + namedLibrary;
        Path file;
        try {
            Path named = Path.of(namedLibrary).toAbsolutePath();
            file = Files.isDirectory(named) ? named.resolve(fileName()) : named;
        } catch (InvalidPathException e) {
            tried.add(place + ": not a file name here (" + e.getMessage() + ")");
            return null;
        }
        if (!Files.isRegularFile(file)) {
            tried.add(place + ": " + file + " does not exist");
            return null;
        }
        try {
            // As from the jar: the stand-in beside the library first, by its path.
            Path platform = file.resolveSibling(PLATFORM_LIBRARY);
            if (!isWindows() && !file.getFileName().toString().equals(PLATFORM_LIBRARY) && Files.isRegularFile(platform)) {
                vm.load(platform);
            }
            vm.load(file);
            return new Loaded(file, LIBRARY_PROPERTY, null);
        } catch (UnsatisfiedLinkError e) {
            tried.add(place + ": " + loadFailure(e));
            return null;
        }
    }

    private Loaded loadFromJar(Loading vm, List<String> tried) {
        Extraction extraction;
        try {
            extraction = extract();
        } catch (Extraction.NotTheJarsOwn e) {
            tried.add("the jar's copy: " + e.getMessage());
            tried.add("nothing else is tried while a jar carries natives that are not the ones it was built with");
            throw failure(tried);
        } catch (IOException | RuntimeException e) {
            tried.add("the jar's copy: cannot extract it into " + tempRoot + " (" + e + ")");
            return null;
        }
        if (extraction == null) {
            tried.add("the jar's copy: " + jarLacks());
            return null;
        }
        try {
            for (Path companion : extraction.companions()) {
                vm.load(companion);
            }
            vm.load(extraction.library());
            return new Loaded(extraction.library(), "the jar " + extraction.origin(), extraction);
        } catch (UnsatisfiedLinkError e) {
            extraction.delete();
            tried.add("the jar's copy, extracted into " + tempRoot + ": " + loadFailure(e));
            return null;
        }
    }

    private Loaded loadFromLibraryPath(Loading vm, List<String> tried) {
        Path onPath = findOnLibraryPath();
        if (onPath == null) {
            tried.add("java.library.path: " + fileName() + " is in none of its folders " + libraryPathEntries());
            return null;
        }
        try {
            // By name, as a host that loads it itself does, so that both get the same copy.
            vm.loadLibrary(libraryName());
            return new Loaded(onPath, "java.library.path", null);
        } catch (UnsatisfiedLinkError e) {
            tried.add("java.library.path: " + loadFailure(e));
            return null;
        }
    }

    /**
     * The VM's reason, which names the file and what it lacks (a library it needs, a symbol,
     * the wrong architecture); only a refused mapping hints at a folder mounted noexec.
     */
    static String loadFailure(UnsatisfiedLinkError e) {
        String message = String.valueOf(e.getMessage());
        if (message.contains("failed to map segment") || message.contains("Operation not permitted")) {
            return message + " (a folder mounted noexec? name another with -D" + TMPDIR_PROPERTY + "=...)";
        }
        return message;
    }

    boolean isWindows() { return osName.startsWith("Windows"); }

    /** "64" or "32": the VM's data model, or a guess from its architecture when it does not say. */
    String bits() {
        if (dataModel.equals("64") || dataModel.equals("32")) {
            return dataModel;
        }
        String arch = architecture();
        return arch.equals("x86") || arch.equals("arm") ? "32" : "64";
    }

    /** The library's name without prefix or suffix, as {@code System.loadLibrary} takes it. */
    String libraryName() { return "vestaro" + bits() + "_12"; }

    /** The library's file name on the VM's platform. */
    String fileName() { return (isWindows() ? "" : "lib") + libraryName() + librarySuffix(); }

    /** How the names of shared libraries end on the VM's platform. */
    String librarySuffix() {
        if (isWindows()) {
            return ".dll";
        }
        return osName.startsWith("Mac") ? ".dylib" : ".so";
    }

    String architecture() {
        String arch = osArch.toLowerCase(Locale.ROOT);
        switch (arch) {
            case "amd64":
            case "x86_64":
            case "x64":
                return "x86_64";
            case "x86":
            case "i386":
            case "i486":
            case "i586":
            case "i686":
                return "x86";
            default:
                return arch;
        }
    }

    /** The jar's folder for this platform, such as {@code linux-x86_64}. */
    String platformFolder() {
        String os;
        if (isWindows()) {
            os = "windows";
        } else if (osName.startsWith("Mac")) {
            os = "mac";
        } else {
            os = osName.toLowerCase(Locale.ROOT).replaceAll("[^a-z0-9]", "");
        }
        return os + "-" + architecture();
    }

    /** The folders of {@code java.library.path}, in order, empty entries left out. */
    List<String> libraryPathEntries() {
        List<String> entries = new ArrayList<>();
        for (String entry : libraryPath.split(java.io.File.pathSeparator)) {
            if (!entry.isEmpty()) {
                entries.add(entry);
            }
        }
        return entries;
    }

    /** The library's file in the first folder of {@code java.library.path} that has it, else null. */
    Path findOnLibraryPath() {
        for (String entry : libraryPathEntries()) {
            try {
                Path file = Path.of(entry).resolve(fileName());
                if (Files.isRegularFile(file)) {
                    return file;
                }
            } catch (InvalidPathException e) {
                // Not a folder name on this platform: the VM cannot load from it either.
            }
        }
        return null;
    }

    /** Every file the jars on the class path carry ({@link NativeIndex#read}). */
    List<CarriedFile> index() throws IOException {
        return NativeIndex.read(resources);
    }

    /**
     * Extracts this platform's files from the jars into a new private folder, after removing
     * the folders of processes that are gone, each file checked against its jar's index.
     * Returns null when no jar has a library for this platform.
     *
     * @throws Extraction.NotTheJarsOwn when a file is not the one its index lists, or the
     *     index gives no checksum to check it by
     */
    Extraction extract() throws IOException {
        List<CarriedFile> files = NativeIndex.inFolder(index(), platformFolder());
        CarriedFile library = null;
        for (CarriedFile file : files) {
            if (file.name().equals(fileName())) {
                library = file;
            }
        }
        if (library == null) {
            return null;
        }
        sweep();
        Extraction extraction = Extraction.create(tempRoot, library.origin());
        try {
            for (CarriedFile file : files) {
                if (file == library) {
                    extraction.extractLibrary(file);
                } else if (file.name().endsWith(librarySuffix())) {
                    extraction.extractCompanion(file);
                } else {
                    extraction.extract(file);
                }
            }
        } catch (IOException | RuntimeException e) {
            extraction.delete();
            throw e;
        }
        return extraction;
    }

    /** Removes the extraction folders below the extraction root that no live process holds. */
    void sweep() {
        Extraction.sweep(tempRoot);
    }

    /** Why the jars on the class path have no library for this VM. */
    String jarLacks() {
        List<CarriedFile> index;
        try {
            index = index();
        } catch (IOException e) {
            return "the class path's index of native libraries cannot be read (" + e + ")";
        }
        String missing = NativeIndex.RESOURCE_ROOT + platformFolder() + "/" + fileName();
        String text;
        if (index.isEmpty()) {
            text = "no jar with native libraries is on the class path (" + NativeIndex.INDEX + " not found)";
        } else {
            Set<String> carried = new LinkedHashSet<>();
            for (CarriedFile file : index) {
                carried.add(file.entry().substring(0, Math.max(0, file.entry().indexOf('/'))));
            }
            text = "no jar on the class path has " + missing + " (they carry " + String.join(", ", carried) + ")";
        }
        if (!isWindows() && !osName.startsWith("Linux")) {
            text += "; WIA is a Windows platform, and the Linux build that serves SANE's scanners and libgphoto2's"
                    + " cameras is for Linux only";
        }
        return text;
    }

    /** The error for a VM that no library fits: the library, the VM, and each place tried in order. */
    UnsatisfiedLinkError failure(List<String> tried) {
        StringBuilder text = new StringBuilder("no native library ").append(libraryName())
                .append(" could be loaded for this Java VM (").append(osName).append(", ").append(osArch)
                .append(", ").append(bits()).append("-bit); tried in order:");
        for (int i = 0; i < tried.size(); i++) {
            text.append("\n  ").append(i + 1).append(". ").append(tried.get(i));
        }
        return new UnsatisfiedLinkError(text.toString());
    }
}
