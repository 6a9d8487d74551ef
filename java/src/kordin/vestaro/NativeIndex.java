package kordin.vestaro;

import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Set;

/**
 * What the jars on the class path carry: each jar's index of its natives
 * ({@value #INDEX}), which lists every file below {@value #RESOURCE_ROOT} with its SHA-256 as
 * {@code sha256sum} writes it ({@code <hex>  folder/name}, one a line).
 */
final class NativeIndex {
    static final String RESOURCE_ROOT = "kordin/vestaro/native/";
    static final String INDEX = RESOURCE_ROOT + "index";

    private NativeIndex() {
    }

    /**
     * Every file the jars carry, each jar's index in class path order; a file that an
     * earlier jar lists already is left out. Empty when no jar with natives is present.
     */
    static List<CarriedFile> read(ClassLoader resources) throws IOException {
        List<CarriedFile> carried = new ArrayList<>();
        Set<String> listed = new LinkedHashSet<>();
        for (URL url : Collections.list(resources.getResources(INDEX))) {
            try (InputStream in = url.openStream()) {
                for (String line : new String(in.readAllBytes(), StandardCharsets.UTF_8).split("\n")) {
                    CarriedFile file = line(line.strip(), url);
                    if (file != null && listed.add(file.entry())) {
                        carried.add(file);
                    }
                }
            }
        }
        return carried;
    }

    /** A line of an index: {@code <sha256>  folder/name}, or a bare {@code folder/name}; null when blank. */
    private static CarriedFile line(String line, URL index) {
        if (line.isEmpty()) {
            return null;
        }
        String[] fields = line.split("\\s+", 2);
        if (fields.length == 2 && fields[0].matches("[0-9a-fA-F]{64}")) {
            String entry = fields[1].startsWith("*") ? fields[1].substring(1) : fields[1];
            return new CarriedFile(entry, fields[0].toLowerCase(Locale.ROOT), index);
        }
        return new CarriedFile(line, null, index);
    }

    /** The files of one platform's folder ({@code linux-x86_64}), those with plain names only. */
    static List<CarriedFile> inFolder(List<CarriedFile> index, String platformFolder) {
        String prefix = platformFolder + "/";
        List<CarriedFile> entries = new ArrayList<>();
        for (CarriedFile file : index) {
            String entry = file.entry();
            String name = entry.substring(Math.min(entry.length(), prefix.length()));
            // Only plain names: an entry must never lead the extraction out of its folder.
            if (entry.startsWith(prefix) && name.matches("[A-Za-z0-9._-]+") && !name.startsWith(".")) {
                entries.add(file);
            }
        }
        return entries;
    }
}
