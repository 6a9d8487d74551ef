package kordin.vestaro;

import java.net.MalformedURLException;
import java.net.URL;

/**
 * One file that a jar's index of natives lists: its index entry ({@code folder/name}), the
 * SHA-256 the index gives for it (null when it gives none), and the index that lists it.
 */
record CarriedFile(String entry, String sha256, URL index) {
    String name() { return entry.substring(entry.lastIndexOf('/') + 1); }

    /** The file in the jar (or folder) whose index lists it. */
    URL url() throws MalformedURLException {
        return new URL(index, entry);
    }

    /** The jar or folder that holds the index, as a URL. */
    String origin() {
        String text = index.toString();
        if (text.endsWith(NativeIndex.INDEX)) {
            text = text.substring(0, text.length() - NativeIndex.INDEX.length());
        }
        if (text.startsWith("jar:") && text.endsWith("!/")) {
            text = text.substring("jar:".length(), text.length() - "!/".length());
        }
        return text;
    }
}
