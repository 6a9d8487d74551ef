package kordin.vestaro;

import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.URL;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.channels.OverlappingFileLockException;
import java.nio.file.DirectoryIteratorException;
import java.nio.file.DirectoryStream;
import java.nio.file.FileSystems;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
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
import java.util.HexFormat;
import java.util.List;
import java.util.Set;

/**
 * A private folder holding one extraction of a jar's natives, from its creation to its
 * deletion: made below the extraction root readable by the user alone, marked as in use by
 * a lock file that stays locked while its process runs, each file written into it checked
 * against the SHA-256 its jar's index lists, and deleted after the load (on Linux) or by a
 * later process's {@link #sweep} once its process has ended (on Windows, where a loaded
 * library cannot be deleted).
 */
final class Extraction {
    static final String FOLDER_PREFIX = "vestaro-";
    static final String LOCK_NAME = ".lock";
    /** A lock file younger than this may belong to a process that has not locked it yet. */
    static final Duration SWEEP_GRACE = Duration.ofMinutes(1);

    /** A jar's file that is not the one the jar was built with, or one that cannot be checked. */
    static final class NotTheJarsOwn extends IOException {
        private static final long serialVersionUID = 1L;

        NotTheJarsOwn(String message) {
            super(message);
        }
    }

    private final Path folder;
    private final String origin;
    private Path library;
    private final List<Path> companions = new ArrayList<>();
    private FileChannel lockChannel;

    private Extraction(Path folder, String origin) {
        this.folder = folder;
        this.origin = origin;
    }

    /**
     * A new private folder below {@code root} (made when missing), locked; {@code origin} is
     * the jar that carries the library.
     */
    static Extraction create(Path root, String origin) throws IOException {
        Files.createDirectories(root);
        Extraction extraction = new Extraction(Files.createTempDirectory(root, FOLDER_PREFIX, ownerOnly("rwx------")),
                origin);
        try {
            extraction.lock();
        } catch (IOException | RuntimeException e) {
            extraction.delete();
            throw e;
        }
        return extraction;
    }

    Path folder() { return folder; }

    /** The library file to load. */
    Path library() { return library; }

    /** The other libraries extracted with it, in index order, to load before it. */
    List<Path> companions() { return List.copyOf(companions); }

    /** The jar (or folder) that carried the library. */
    String origin() { return origin; }

    /** Extracts the library. */
    void extractLibrary(CarriedFile file) throws IOException {
        library = extract(file);
    }

    /** Extracts a library to load before the library. */
    void extractCompanion(CarriedFile file) throws IOException {
        companions.add(extract(file));
    }

    /**
     * Copies one file out of its jar into the folder under its own name, refusing it unless
     * its SHA-256 is the one its index lists.
     *
     * @throws NotTheJarsOwn when the file is not the one its index lists, or the index gives
     *     no checksum to check it by
     */
    Path extract(CarriedFile file) throws IOException {
        Path target = folder.resolve(file.name());
        URL url = file.url();
        if (file.sha256() == null) {
            throw new NotTheJarsOwn(file.name() + " cannot be checked: " + file.origin() + " lists "
                    + NativeIndex.RESOURCE_ROOT + file.entry() + " without its SHA-256");
        }
        InputStream opened;
        try {
            opened = url.openStream();
        } catch (FileNotFoundException e) {
            throw new IOException(file.origin() + " lists " + NativeIndex.RESOURCE_ROOT + file.entry()
                    + " but does not carry it");
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
        return target;
    }

    private void lock() throws IOException {
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

    /**
     * Removes the extraction folders below {@code root} that no live process holds: each
     * keeps its lock file locked for as long as its process runs (on Windows a loaded
     * library cannot be deleted, so the folder outlives its process and the next one cleans
     * it up).
     */
    static void sweep(Path root) {
        try (DirectoryStream<Path> folders = Files.newDirectoryStream(root, FOLDER_PREFIX + "*")) {
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

    private static MessageDigest sha256() {
        try {
            return MessageDigest.getInstance("SHA-256");
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("every Java platform has SHA-256", e);
        }
    }

    private static boolean posix() { return FileSystems.getDefault().supportedFileAttributeViews().contains("posix"); }

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
}
