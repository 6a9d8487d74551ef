package kordin.vestaro.wia;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryStream;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Objects;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Keeps each transferred image as a file of the caller's, in a folder the caller names.
 *
 * <p>Files are named {@code <prefix>-<number>.<extension>}, such as {@code scan-001.jpg}:
 * the number continues after the highest one that the folder already holds for the prefix
 * (whatever the extension), so no file is ever replaced and the names sort in the order the
 * images arrived. The extension is the image's format ("jpg" or "bmp"). The folder is
 * created when the first image arrives. An image folder made by {@link #keepingNames(Path)}
 * keeps each image under its own name instead, as a camera names its pictures.
 *
 * <p>Use it as the listener of a transfer, or call {@link #keep} from a listener of one's
 * own; {@link #images()} then tells what each kept file holds. A transfer that delivers to
 * an image folder first {@linkplain #prepare() prepares} it: a folder that cannot take the
 * images fails the transfer before the device runs, so that no image is acquired only to be
 * lost. Its methods may be called from any thread.
 */
public final class ImageFolder implements ImageListener {
    /** How a file reaches the folder. */
    public enum Mode {
        /** The platform's file is copied; the library deletes the original afterwards. */
        COPY,
        /**
         * The platform's file is moved, which saves a copy when both lie on one file system;
         * where the platform holds the file so that it cannot move, it is copied.
         */
        MOVE
    }

    private static final Pattern PREFIX = Pattern.compile("[^./\\\\:*?\"<>|\\p{Cntrl}][^/\\\\:*?\"<>|\\p{Cntrl}]{0,99}");
    private static final Pattern EXTENSION = Pattern.compile("[A-Za-z0-9]{1,16}");
    /**
     * The longest prefix in UTF-8 bytes: with "-", nine digits, "." and sixteen letters of
     * extension the name stays within the 255 bytes that file systems allow a name.
     */
    static final int MAX_PREFIX_BYTES = 255 - 27;

    /**
     * How often a check or a keep makes the folder again after a failure that says it is
     * gone: the checks of other image folders on the same place, begun before it was made,
     * remove it while it is empty. Whether it exists a moment later proves nothing either
     * way, so the few tries are made whatever the cause.
     */
    private static final int MAX_REMAKES = 8;
    /** How many files of one name a folder that keeps names takes, the first one included. */
    private static final int MAX_NAME_COPIES = 9999;

    private final Path folder;
    private final String prefix;
    private final Mode mode;
    private final Pattern ownName;
    /** Whether images with a name of their own are kept under it. */
    private final boolean keepingNames;
    private final List<KeptImage> kept = new ArrayList<>();
    /** The next number to try; 0 until the folder has been looked at. */
    private int next;

    /**
     * Keeps copies named {@code image-001.jpg}, {@code image-002.jpg}, ...
     *
     * @param folder where the files go
     */
    public ImageFolder(Path folder) {
        this(folder, "image", Mode.COPY);
    }

    /**
     * Keeps copies named after a prefix.
     *
     * @param folder where the files go
     * @param prefix the start of each file name: no path separator, not starting with a dot,
     *     at most 100 characters and 228 bytes in UTF-8
     * @throws IllegalArgumentException for a prefix that cannot start a file name
     */
    public ImageFolder(Path folder, String prefix) {
        this(folder, prefix, Mode.COPY);
    }

    /**
     * Keeps files named after a prefix, copied or moved.
     *
     * @param folder where the files go
     * @param prefix the start of each file name: no path separator, not starting with a dot,
     *     at most 100 characters and 228 bytes in UTF-8
     * @param mode whether the platform's file is copied or moved
     * @throws IllegalArgumentException for a prefix that cannot start a file name
     */
    public ImageFolder(Path folder, String prefix, Mode mode) {
        this(folder, prefix, mode, false);
    }

    private ImageFolder(Path folder, String prefix, Mode mode, boolean keepingNames) {
        this.keepingNames = keepingNames;
        this.folder = Objects.requireNonNull(folder, "folder");
        this.mode = Objects.requireNonNull(mode, "mode");
        if (prefix == null || !PREFIX.matcher(prefix).matches()) {
            throw new IllegalArgumentException("not a file name prefix: " + prefix);
        }
        int bytes = prefix.getBytes(StandardCharsets.UTF_8).length;
        if (bytes > MAX_PREFIX_BYTES) {
            throw new IllegalArgumentException("a file name prefix of " + bytes + " bytes in UTF-8 is too long (at most "
                    + MAX_PREFIX_BYTES + ")");
        }
        this.prefix = prefix;
        this.ownName = Pattern.compile(Pattern.quote(prefix) + "-([0-9]{1,9})\\.[^.]+");
    }

    /**
     * Keeps copies under the images' own names ({@link TransferredImage#getName()}), such as
     * a camera's {@code IMG_0001.JPG}; images without a name are numbered as
     * {@code image-001.jpg}, ... Each name is made safe for any file system first: path
     * separators, control characters and the characters Windows refuses become {@code _},
     * runs of dots become one, leading and trailing dots and spaces go, a device name such as
     * {@code CON} gets a {@code _} before it, and a name too long is cut before its extension.
     * The format's extension is added unless the name ends with one of the format's. A name
     * that a file in the folder has already gets a number, {@code IMG_0001-2.JPG}: no file is
     * ever replaced.
     *
     * @param folder where the files go
     * @return the image folder
     */
    public static ImageFolder keepingNames(Path folder) {
        return keepingNames(folder, "image");
    }

    /**
     * Keeps copies under the images' own names, as {@link #keepingNames(Path)} does, and
     * numbers those without a name after a prefix.
     *
     * @param folder where the files go
     * @param prefix the start of the names of images that have none of their own, as
     *     {@link #ImageFolder(Path, String)} takes it
     * @return the image folder
     * @throws IllegalArgumentException for a prefix that cannot start a file name
     */
    public static ImageFolder keepingNames(Path folder, String prefix) {
        return new ImageFolder(folder, prefix, Mode.COPY, true);
    }

    /**
     * The folder the files go to.
     *
     * @return the folder
     */
    public Path getFolder() { return folder; }

    /**
     * The files kept so far, in the order the images arrived.
     *
     * @return a copy of the list
     */
    public synchronized List<Path> files() { return kept.stream().map(KeptImage::file).toList(); }

    /**
     * The images kept so far, in the order they arrived, each with what its file's header
     * says: the format, size, resolution and depth that the device delivered.
     *
     * @return a copy of the list
     */
    public synchronized List<KeptImage> images() { return List.copyOf(kept); }

    /**
     * Makes sure that images can be kept: that the folder exists or can be made, and that a
     * file can be written into it. A folder that this makes for the check is removed again,
     * so that nothing is left when no image arrives. Transfers call it for the image folders
     * they deliver to; call it before a transfer whose listener of one's own calls
     * {@link #keep}.
     *
     * @throws IOException when the folder cannot be made or written into, saying why in
     *     words, such as "DIR is a file" or "cannot write into DIR: permission denied"
     */
    public synchronized void prepare() throws IOException {
        Path absolute = folder.toAbsolutePath().normalize();
        Path existing = absolute;
        while (existing.getParent() != null && !Files.exists(existing, LinkOption.NOFOLLOW_LINKS)) {
            existing = existing.getParent();
        }
        try {
            for (int remade = 0; ; remade++) {
                try {
                    makeFolder();
                } catch (IOException e) {
                    throw new IOException(notCreated(e), e);
                }
                Path probe;
                try {
                    probe = Files.createTempFile(folder, ".vestaro-", ".tmp");
                } catch (NoSuchFileException e) {
                    if (remade < MAX_REMAKES) {
                        continue;
                    }
                    throw new IOException("cannot write into " + folder + ": " + FileFailureText.reason(e), e);
                } catch (IOException e) {
                    throw new IOException("cannot write into " + folder + ": " + FileFailureText.reason(e), e);
                }
                try {
                    Files.delete(probe);
                } catch (IOException e) {
                    throw new IOException("cannot write into " + folder + ": " + FileFailureText.fileAndReason(e), e);
                }
                return;
            }
        } finally {
            removeMadeFolders(absolute, existing);
        }
    }

    /** Makes the folder and those above it that are missing, again when it vanishes meanwhile. */
    private void makeFolder() throws IOException {
        for (int remade = 0; ; remade++) {
            try {
                Files.createDirectories(folder);
                return;
            } catch (FileAlreadyExistsException | NoSuchFileException e) {
                if (remade >= MAX_REMAKES) {
                    throw e;
                }
            }
        }
    }

    /** Removes the folders from {@code made} up to below {@code existing}, those that stayed empty. */
    private static void removeMadeFolders(Path made, Path existing) {
        for (Path place = made; place != null && !place.equals(existing); place = place.getParent()) {
            try {
                Files.delete(place);
            } catch (IOException e) {
                return; // something arrived in it meanwhile: it stays, and so do the folders above
            }
        }
    }

    /** Why the folder could not be made: it, or a folder above it, is something else. */
    private String notCreated(IOException failure) {
        for (Path place = folder; place != null; place = place.getParent()) {
            if (Files.exists(place, LinkOption.NOFOLLOW_LINKS) && !Files.isDirectory(place)) {
                String what = Files.isRegularFile(place) ? " is a file" : " is not a folder";
                return place.equals(folder) ? folder + what : "cannot create " + folder + ": " + place + what;
            }
        }
        return "cannot create " + folder + ": " + FileFailureText.reason(failure);
    }

    /**
     * Keeps the image's file; the same as {@link #keep(TransferredImage)}.
     *
     * @param image the image that arrived
     * @throws IOException when the file cannot be kept
     */
    @Override
    public void imageTransferred(TransferredImage image) throws IOException {
        keep(image);
    }

    /**
     * Keeps the image's file in the folder under the next free name.
     *
     * @param image the image; call this while its file exists, inside the listener call
     * @return the kept file
     * @throws IOException when the file cannot be kept, saying why in words; nothing is left
     *     in the folder then
     */
    public Path keep(TransferredImage image) throws IOException {
        String ownFileName = keepingNames ? image.getName().map(name -> SafeFileName.of(name, image.getExtension()))
                .orElse(null) : null;
        return keep(image.getFile(), image.getExtension(), image.getHeader(), ownFileName);
    }

    /**
     * Keeps a file in the folder under the next free name.
     *
     * @param file the file to copy or move
     * @param extension the extension the kept file gets, without a dot: letters and digits
     * @return the kept file
     * @throws IOException when the file cannot be kept, saying why in words; nothing is left
     *     in the folder then
     * @throws IllegalArgumentException for an extension other than letters and digits
     */
    public Path keep(Path file, String extension) throws IOException {
        return keep(file, extension, null, null);
    }

    /**
     * Keeps the file under {@code ownFileName} (a safe name), else numbered; its header is
     * read from the kept copy when the caller has none.
     */
    private synchronized Path keep(Path file, String extension, ImageHeader header, String ownFileName)
            throws IOException {
        if (extension == null || !EXTENSION.matcher(extension).matches()) {
            throw new IllegalArgumentException("not a file name extension: " + extension);
        }
        Path target;
        try {
            makeFolder();
            target = ownFileName != null ? reserveNamed(ownFileName) : reserve(extension.toLowerCase(Locale.ROOT));
        } catch (IOException e) {
            throw notKept(e);
        }
        try {
            if (mode == Mode.MOVE) {
                try {
                    Files.move(file, target, StandardCopyOption.REPLACE_EXISTING);
                } catch (IOException e) {
                    copy(file, target);
                }
            } else {
                copy(file, target);
            }
        } catch (IOException | RuntimeException e) {
            try {
                Files.deleteIfExists(target);
            } catch (IOException cleanup) {
                e.addSuppressed(cleanup);
            }
            if (e instanceof IOException) {
                throw notKept((IOException) e);
            }
            throw e;
        }
        if (header == null) {
            try {
                header = ImageHeader.read(target);
            } catch (IOException e) {
                header = ImageHeader.UNREADABLE; // a file of the caller's: it need not be an image
            }
        }
        kept.add(new KeptImage(target, header));
        return target;
    }

    private IOException notKept(IOException failure) {
        return new IOException("cannot keep the image in " + folder + ": " + FileFailureText.fileAndReason(failure),
                failure);
    }

    /** Creates the next free name as an empty file, so that no other writer can take it. */
    private Path reserve(String extension) throws IOException {
        if (next == 0) {
            next = highestNumberInFolder() + 1;
        }
        for (int remade = 0; ; ) {
            Path candidate = folder.resolve(String.format("%s-%03d.%s", prefix, next, extension));
            try {
                Files.createFile(candidate);
                next++;
                return candidate;
            } catch (FileAlreadyExistsException e) {
                next++; // taken since the folder was looked at: try the next number
            } catch (NoSuchFileException e) {
                if (remade++ >= MAX_REMAKES) {
                    throw e;
                }
                makeFolder();
            }
        }
    }

    /**
     * Creates the file {@code name}, or when that is taken {@code <stem>-2.<extension>},
     * {@code -3}, ..., as an empty file, so that nothing is replaced.
     */
    private Path reserveNamed(String name) throws IOException {
        for (int copy = 1, remade = 0; copy <= MAX_NAME_COPIES; ) {
            Path candidate = folder.resolve(copy == 1 ? name : SafeFileName.numbered(name, copy));
            try {
                Files.createFile(candidate);
                return candidate;
            } catch (FileAlreadyExistsException e) {
                copy++;
            } catch (NoSuchFileException e) {
                if (remade++ >= MAX_REMAKES) {
                    throw e;
                }
                makeFolder();
            }
        }
        throw new FileAlreadyExistsException(folder.resolve(name).toString(), null,
                MAX_NAME_COPIES + " files of that name are there already");
    }

    private int highestNumberInFolder() throws IOException {
        int highest = 0;
        try (DirectoryStream<Path> entries = Files.newDirectoryStream(folder)) {
            for (Path entry : entries) {
                Matcher name = ownName.matcher(entry.getFileName().toString());
                if (name.matches()) {
                    highest = Math.max(highest, Integer.parseInt(name.group(1)));
                }
            }
        } catch (NoSuchFileException e) {
            return 0; // removed while empty by another image folder's check: reserving makes it again
        }
        return highest;
    }

    private static void copy(Path file, Path target) throws IOException {
        try (OutputStream out = Files.newOutputStream(target, StandardOpenOption.WRITE,
                StandardOpenOption.TRUNCATE_EXISTING)) {
            Files.copy(file, out);
        }
    }

    @Override
    public String toString() {
        return "ImageFolder " + folder + " (" + (keepingNames ? "own names, else " : "") + prefix + "-NNN, " + mode + ")";
    }
}
