package kordin.vestaro.wia;

import java.nio.charset.StandardCharsets;
import java.util.Locale;
import java.util.Set;
import java.util.regex.Pattern;

/**
 * A device's name for an image made into a file name that every file system takes and that
 * stays inside its folder: what {@link ImageFolder#keepingNames(java.nio.file.Path)} keeps images under.
 */
final class SafeFileName {
    /** Path separators, control characters and what Windows refuses in a name. */
    private static final Pattern UNSAFE = Pattern.compile("[/\\\\:*?\"<>|\\p{Cntrl}\\x7f]");
    private static final Pattern DEVICE_NAME = Pattern.compile("(?i)(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?");
    /** The longest name in UTF-8 bytes, with room for a copy's "-9999". */
    static final int MAX_BYTES = 255 - 5;
    /** The extensions that name each format of {@link TransferredImage#getExtension()}. */
    private static final Set<String> JPEG = Set.of("jpg", "jpeg", "jpe", "jfif");
    private static final Set<String> BMP = Set.of("bmp", "dib");

    private SafeFileName() {
    }

    /**
     * The safe name of {@code name} for a file of the format {@code extension}; null when
     * nothing of it is left to name a file by.
     */
    static String of(String name, String extension) {
        String safe = UNSAFE.matcher(name).replaceAll("_").replaceAll("\\.{2,}", ".").strip();
        safe = safe.replaceAll("^[. ]+", "").replaceAll("[. ]+$", "");
        if (safe.isEmpty()) {
            return null;
        }
        if (DEVICE_NAME.matcher(safe).matches()) {
            safe = "_" + safe;
        }
        String own = extensionOf(safe);
        if (own == null || !namesFormat(own, extension)) {
            safe = safe + "." + extension.toLowerCase(Locale.ROOT);
        }
        return shortened(safe);
    }

    /** {@code name} as the {@code copy}th file of that name: {@code IMG_0001-2.JPG}. */
    static String numbered(String name, int copy) {
        int dot = name.lastIndexOf('.');
        return dot > 0 ? name.substring(0, dot) + "-" + copy + name.substring(dot) : name + "-" + copy;
    }

    private static String extensionOf(String name) {
        int dot = name.lastIndexOf('.');
        return dot > 0 && dot < name.length() - 1 ? name.substring(dot + 1) : null;
    }

    private static boolean namesFormat(String own, String extension) {
        String lower = own.toLowerCase(Locale.ROOT);
        String format = extension.toLowerCase(Locale.ROOT);
        return lower.equals(format) || JPEG.contains(format) && JPEG.contains(lower) || BMP.contains(format) && BMP.contains(lower);
    }

    /** The name cut before its extension to {@link #MAX_BYTES}, never inside a character. */
    private static String shortened(String name) {
        if (name.getBytes(StandardCharsets.UTF_8).length <= MAX_BYTES) {
            return name;
        }
        int dot = name.lastIndexOf('.');
        String tail = name.substring(dot);
        StringBuilder stem = new StringBuilder();
        int bytes = tail.getBytes(StandardCharsets.UTF_8).length;
        for (int i = 0; i < dot; ) {
            int codePoint = name.codePointAt(i);
            int size = new String(Character.toChars(codePoint)).getBytes(StandardCharsets.UTF_8).length;
            if (bytes + size > MAX_BYTES) {
                break;
            }
            stem.appendCodePoint(codePoint);
            bytes += size;
            i += Character.charCount(codePoint);
        }
        return stem + tail;
    }
}
