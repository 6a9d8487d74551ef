package kordin.vestaro.wia;

import java.io.IOException;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.NoSuchFileException;
import java.util.Locale;

/** A file system failure in words, as its message to a person says it, without the exception's class. */
final class FileFailureText {
    private FileFailureText() {
    }

    /** Why it failed: "permission denied", "read-only file system", ... */
    static String reason(IOException failure) {
        if (failure instanceof AccessDeniedException) {
            return "permission denied";
        }
        if (failure instanceof NoSuchFileException) {
            return "no such file or folder";
        }
        if (failure instanceof FileAlreadyExistsException) {
            return "it exists";
        }
        String reason = failure instanceof FileSystemException ? ((FileSystemException) failure).getReason()
                : failure.getMessage();
        reason = reason == null ? "" : reason.strip();
        if (reason.endsWith(".")) {
            reason = reason.substring(0, reason.length() - 1); // system texts that end as sentences
        }
        if (reason.isEmpty()) {
            return "the file system refused";
        }
        return reason.substring(0, 1).toLowerCase(Locale.ROOT) + reason.substring(1);
    }

    /** Which file and why: "/out/scan-001.jpg: no space left on device". */
    static String fileAndReason(IOException failure) {
        String file = failure instanceof FileSystemException ? ((FileSystemException) failure).getFile() : null;
        return file != null ? file + ": " + reason(failure) : reason(failure);
    }
}
