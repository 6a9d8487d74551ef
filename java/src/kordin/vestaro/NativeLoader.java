package kordin.vestaro;

import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.MalformedURLException;
import java.net.URL;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.channels.OverlappingFileLockException;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryIteratorException;
import java.nio.file.DirectoryStream;
import java.nio.file.FileSystems;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.DigestOutputStream;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.time.Duration;
import java.time.Instant;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HexFormat;
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
 * <p>Jars carry the natives under {@value #RESOURCE_ROOT}, one folder per platform
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
    static final String RESOURCE_ROOT = "kordin/vestaro/native/";
    static final String INDEX = RESOURCE_ROOT + "index";
    static final String FOLDER_PREFIX = "vestaro-";
    static final String LOCK_NAME = ".lock";
    /** A lock file younger than this may belong to a process that has not locked it yet. */
    static final Duration SWEEP_GRACE = Duration.ofMinutes(1);

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

    /**
     * One file that a jar's index lists: its index entry ({@code folder/name}), the SHA-256
     * the index gives for it (null when it gives none), and the index that lists it.
     */
    record Carried(String entry, String sha256, URL index) {
        String name() {
            return entry.substring(entry.lastIndexOf('/') + 1);
        }

        /** The file in the jar (or folder) whose index lists it. */
        URL url() throws MalformedURLException {
            return new URL(index, entry);
        }

        /** The jar or folder that holds the index, as a URL. */
        String origin() {
            String text = index.toString();
            if (text.endsWith(INDEX)) {
                text = text.substring(0, text.length() - INDEX.length());
            }
            if (text.startsWith("jar:") && text.endsWith("!/")) {
                text = text.substring("jar:".length(), text.length() - "!/".length());
            }
            return text;
        }
    }

    /** A jar's file that is not the one the jar was built with, or one that cannot be checked. */
    static final class NotTheJarsOwn extends IOException {
        private static final long serialVersionUID = 1L;

        NotTheJarsOwn(String message) {
            super(message);
        }
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
        } catch (NotTheJarsOwn e) {
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

    boolean isWindows() {
        return osName.startsWith("Windows");
    }

    /** "64" or "32": the VM's data model, or a guess from its architecture when it does not say. */
    String bits() {
        if (dataModel.equals("64") || dataModel.equals("32")) {
            return dataModel;
        }
        String arch = architecture();
        return arch.equals("x86") || arch.equals("arm") ? "32" : "64";
    }

    /** The library's name without prefix or suffix, as {@code System.loadLibrary} takes it. */
    String libraryName() {
        return "vestaro" + bits() + "_12";
    }

    /** The library's file name on the VM's platform. */
    String fileName() {
        return (isWindows() ? "" : "lib") + libraryName() + librarySuffix();
    }

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

    /**
     * Every file the jars on the class path carry, each jar's index in class path order; a
     * file that an earlier jar lists already is left out. Empty when no jar with natives is
     * present.
     */
    List<Carried> index() throws IOException {
        List<Carried> carried = new ArrayList<>();
        Set<String> listed = new LinkedHashSet<>();
        for (URL url : Collections.list(resources.getResources(INDEX))) {
            try (InputStream in = url.openStream()) {
                for (String line : new String(in.readAllBytes(), StandardCharsets.UTF_8).split("\n")) {
                    Carried file = indexLine(line.strip(), url);
                    if (file != null && listed.add(file.entry())) {
                        carried.add(file);
                    }
                }
            }
        }
        return carried;
    }

    /** A line of an index: {@code <sha256>  folder/name}, or a bare {@code folder/name}; null when blank. */
    private static Carried indexLine(String line, URL index) {
        if (line.isEmpty()) {
            return null;
        }
        String[] fields = line.split("\\s+", 2);
        if (fields.length == 2 && fields[0].matches("[0-9a-fA-F]{64}")) {
            String entry = fields[1].startsWith("*") ? fields[1].substring(1) : fields[1];
            return new Carried(entry, fields[0].toLowerCase(Locale.ROOT), index);
        }
        return new Carried(line, null, index);
    }

    /** The index's files of this platform's folder. */
    List<Carried> platformEntries(List<Carried> index) {
        String prefix = platformFolder() + "/";
        List<Carried> entries = new ArrayList<>();
        for (Carried file : index) {
            String entry = file.entry();
            String name = entry.substring(Math.min(entry.length(), prefix.length()));
            // Only plain names: an entry must never lead the extraction out of its folder.
            if (entry.startsWith(prefix) && name.matches("[A-Za-z0-9._-]+") && !name.startsWith(".")) {
                entries.add(file);
            }
        }
        return entries;
    }

    /**
     * Extracts this platform's files from the jars into a new private folder, after removing
     * the folders of processes that are gone, each file checked against its jar's index.
     * Returns null when no jar has a library for this platform.
     *
     * @throws NotTheJarsOwn when a file is not the one its index lists, or the index gives no
     *     checksum to check it by
     */
    Extraction extract() throws IOException {
        List<Carried> files = platformEntries(index());
        Carried library = null;
        for (Carried file : files) {
            if (file.name().equals(fileName())) {
                library = file;
            }
        }
        if (library == null) {
            return null;
        }
        sweep();
        Extraction extraction = new Extraction(createPrivateFolder(), library.origin());
        try {
            extraction.lock();
            for (Carried file : files) {
                Path target = extraction.folder().resolve(file.name());
                extractChecked(file, target);
                if (file == library) {
                    extraction.library = target;
                } else if (file.name().endsWith(librarySuffix())) {
                    extraction.companions.add(target);
                }
            }
        } catch (IOException | RuntimeException e) {
            extraction.delete();
            throw e;
        }
        return extraction;
    }

    /** Copies one file out of its jar into {@code target}, refusing it unless its SHA-256 is the one its index lists. */
    private static void extractChecked(Carried file, Path target) throws IOException {
        URL url = file.url();
        if (file.sha256() == null) {
            throw new NotTheJarsOwn(file.name() + " cannot be checked: " + file.origin() + " lists " + RESOURCE_ROOT
                    + file.entry() + " without its SHA-256");
        }
        InputStream opened;
        try {
            opened = url.openStream();
        } catch (FileNotFoundException e) {
            throw new IOException(file.origin() + " lists " + RESOURCE_ROOT + file.entry() + " but does not carry it");
        }
        MessageDigest digest = sha256();
        try (InputStream in = opened;
                OutputStream out = new DigestOutputStream(Channels.newOutputStream(Files.newByteChannel(target,
                        Set.of(StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE), ownerOnly("rwx------"))), digest)) {
            in.transferTo(out);
        }
        String actual = HexFormat.of().formatHex(digest.digest());
        if (!actual.equals(file.sha256())) {
            throw new NotTheJarsOwn(file.name() + " is not the file its jar was built with: " + url + " has SHA-256 "
                    + actual + ", the jar's index lists " + file.sha256());
        }
    }

    private static MessageDigest sha256() {
        try {
            return MessageDigest.getInstance("SHA-256");
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("every Java platform has SHA-256", e);
        }
    }

    private static boolean posix() {
        return FileSystems.getDefault().supportedFileAttributeViews().contains("posix");
    }

    /**
     * The given owner-only permissions where the file system has POSIX permissions; none
     * elsewhere (on Windows the user's temporary folder is private to the user already).
     */
    private static FileAttribute<?>[] ownerOnly(String permissions) {
        if (!posix()) {
            return new FileAttribute<?>[0];
        }
        return new FileAttribute<?>[] {PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString(permissions))};
    }

    private Path createPrivateFolder() throws IOException {
        Files.createDirectories(tempRoot);
        return Files.createTempDirectory(tempRoot, FOLDER_PREFIX, ownerOnly("rwx------"));
    }

    /**
     * Removes the extraction folders that no live process holds: each keeps its lock file
     * locked for as long as its process runs (on Windows a loaded library cannot be
     * deleted, so the folder outlives its process and the next one cleans it up).
     */
    void sweep() {
        try (DirectoryStream<Path> folders = Files.newDirectoryStream(tempRoot, FOLDER_PREFIX + "*")) {
            for (Path folder : folders) {
                if (isAbandoned(folder)) {
                    deleteTree(folder);
                }
            }
        } catch (IOException | DirectoryIteratorException e) {
            // Best effort: a folder left behind costs disk space, nothing else.
        }
    }

    private static boolean isAbandoned(Path folder) {
        Path lockFile = folder.resolve(LOCK_NAME);
        try {
            if (!Files.isDirectory(folder, LinkOption.NOFOLLOW_LINKS)
                    || !Files.isRegularFile(lockFile, LinkOption.NOFOLLOW_LINKS)) {
                return false;
            }
            if (posix() && !Files.getOwner(folder, LinkOption.NOFOLLOW_LINKS).getName()
                    .equals(System.getProperty("user.name"))) {
                return false;
            }
            FileTime modified = Files.getLastModifiedTime(lockFile, LinkOption.NOFOLLOW_LINKS);
            if (modified.toInstant().isAfter(Instant.now().minus(SWEEP_GRACE))) {
                return false;
            }
            try (FileChannel channel = FileChannel.open(lockFile, StandardOpenOption.WRITE)) {
                FileLock lock = channel.tryLock();
                if (lock == null) {
                    return false;
                }
                lock.release();
                return true;
            }
        } catch (IOException | OverlappingFileLockException | UnsupportedOperationException e) {
            return false; // held by this VM, or not ours to judge
        }
    }

    /** Deletes a folder and everything below it without following links; true when it is gone. */
    static boolean deleteTree(Path folder) {
        try {
            Files.walkFileTree(folder, new SimpleFileVisitor<Path>() {
                @Override
                public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                    Files.deleteIfExists(file);
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult postVisitDirectory(Path dir, IOException failure) throws IOException {
                    Files.deleteIfExists(dir);
                    return FileVisitResult.CONTINUE;
                }
            });
        } catch (IOException e) {
            // Reported through the result.
        }
        return !Files.exists(folder, LinkOption.NOFOLLOW_LINKS);
    }

    /** Why the jars on the class path have no library for this VM. */
    String jarLacks() {
        List<Carried> index;
        try {
            index = index();
        } catch (IOException e) {
            return "the class path's index of native libraries cannot be read (" + e + ")";
        }
        String missing = RESOURCE_ROOT + platformFolder() + "/" + fileName();
        String text;
        if (index.isEmpty()) {
            text = "no jar with native libraries is on the class path (" + INDEX + " not found)";
        } else {
            Set<String> carried = new LinkedHashSet<>();
            for (Carried file : index) {
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

    /** A private folder holding one extraction, and the lock that marks it as in use. */
    static final class Extraction {
        private final Path folder;
        private final String origin;
        private Path library;
        private final List<Path> companions = new ArrayList<>();
        private FileChannel lockChannel;

        Extraction(Path folder, String origin) {
            this.folder = folder;
            this.origin = origin;
        }

        Path folder() {
            return folder;
        }

        /** The library file to load. */
        Path library() {
            return library;
        }

        /** The other libraries extracted with it, in index order, to load before it. */
        List<Path> companions() {
            return List.copyOf(companions);
        }

        /** The jar (or folder) that carried the library. */
        String origin() {
            return origin;
        }

        void lock() throws IOException {
            lockChannel = FileChannel.open(folder.resolve(LOCK_NAME),
                    Set.of(StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE), ownerOnly("rw-------"));
            if (lockChannel.tryLock() == null) {
                throw new IOException("cannot lock " + folder.resolve(LOCK_NAME));
            }
        }

        /** Releases the lock and deletes the folder; true when it is gone. */
        boolean delete() {
            if (lockChannel != null) {
                try {
                    lockChannel.close();
                } catch (IOException e) {
                    // The folder goes anyway.
                }
                lockChannel = null;
            }
            return deleteTree(folder);
        }
    }
}
