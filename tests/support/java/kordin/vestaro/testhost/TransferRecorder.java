package kordin.vestaro.testhost;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/** Records the fireTransferDone calls of a recording camera or scanner. */
public final class TransferRecorder {
    /** One call of fireTransferDone, with what the file looked like during the call. */
    public static final class Transfer {
        public final String path;
        public final String extension;
        public final boolean existed;
        public final long size;
        /** Up to the first 16 bytes of the file. */
        public final byte[] head;
        /** The copy made during the call, or null. */
        public final String copy;

        Transfer(String path, String extension, boolean existed, long size, byte[] head, String copy) {
            this.path = path;
            this.extension = extension;
            this.existed = existed;
            this.size = size;
            this.head = head;
            this.copy = copy;
        }
    }

    private final List<Transfer> transfers = Collections.synchronizedList(new ArrayList<>());
    private String copyDirectory;
    private RuntimeException toThrow;
    private int throwOnCall;
    private int calls;
    private boolean totalsOnly;
    private long totalBytes;

    /** Copies every file into `directory` during the call. */
    public void copyInto(String directory) {
        copyDirectory = directory;
    }

    /** Throws `thrown` from the `call`-th callback (1-based), or from every one when 0. */
    public void throwOn(int call, RuntimeException thrown) {
        throwOnCall = call;
        toThrow = thrown;
    }

    /**
     * Keeps no record of each call, only the files' total size, read during each call as a
     * host that looks at its files would: a benchmark's host, which must not pay for the
     * records, the head reads and the copies.
     */
    public void keepTotalsOnly() {
        totalsOnly = true;
    }

    /** The total size of the files delivered while only totals are kept. */
    public long totalBytes() { return totalBytes; }

    public int count() { return transfers.size(); }

    public Transfer get(int index) {
        return transfers.get(index);
    }

    void record(String path, String extension) {
        ++calls;
        if (totalsOnly) {
            totalBytes += path == null ? 0 : new File(path).length();
        } else {
            transfers.add(read(path, extension));
        }
        if (toThrow != null && (throwOnCall == 0 || throwOnCall == calls)) {
            throw toThrow;
        }
    }

    private Transfer read(String path, String extension) {
        boolean existed = false;
        long size = -1;
        byte[] head = new byte[0];
        String copy = null;
        if (path != null) {
            Path file = Paths.get(path);
            existed = Files.isRegularFile(file);
            try {
                if (existed) {
                    size = Files.size(file);
                    try (InputStream in = Files.newInputStream(file)) {
                        head = in.readNBytes(16);
                    }
                    if (copyDirectory != null) {
                        Path target = Paths.get(copyDirectory, calls + "-" + file.getFileName());
                        Files.copy(file, target, StandardCopyOption.REPLACE_EXISTING);
                        copy = target.toString();
                    }
                }
            } catch (IOException e) {
                throw new IllegalStateException("reading the transferred file " + path, e);
            }
        }
        return new Transfer(path, extension, existed, size, head, copy);
    }
}
