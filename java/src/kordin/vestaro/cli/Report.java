package kordin.vestaro.cli;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import kordin.vestaro.VestaroException;
import kordin.vestaro.wia.ImageHeader;
import kordin.vestaro.wia.PageSide;
import kordin.vestaro.wia.ScanRefusedException;
import kordin.vestaro.wia.WIADevice;

/**
 * What one command did, for {@code --json}: the devices listed or used, the images kept, the
 * usage or version shown, the warnings and the failure. Written as one JSON document when
 * the command ends.
 */
final class Report {
    private final String command;
    private final List<Object> devices = new ArrayList<>();
    private Map<String, Object> device;
    private String folder;
    private final List<Object> images = new ArrayList<>();
    private final List<Object> warnings = new ArrayList<>();
    private Map<String, Object> failure;
    private final Map<String, Object> texts = new LinkedHashMap<>();
    private Map<String, Object> capabilities;

    /** A report of a command; null for a command line that names none. */
    Report(String command) {
        this.command = command;
    }

    /** Every device present, numbered from 1 as {@code list} numbers them. */
    void devices(List<WIADevice> all) {
        for (int i = 0; i < all.size(); i++) {
            devices.add(describe(all.get(i), i + 1));
        }
    }

    void device(WIADevice used, int number) {
        device = describe(used, number);
    }

    void folder(Path kept) {
        folder = kept.toString();
    }

    void image(int index, Path kept, ImageHeader header, long size) {
        image(index, null, kept, header, size);
    }

    /** An image kept; a page of a scan of pages has its side, which other images leave out. */
    void image(int index, PageSide side, Path kept, ImageHeader header, long size) {
        boolean known = header.isKnown();
        boolean dpi = header.getXResolution() != 0 || header.getYResolution() != 0;
        Map<String, Object> image = Json.object("index", index);
        if (side != null) {
            image.put("side", side.name().toLowerCase(Locale.ROOT));
        }
        images.add(image);
        image.putAll(Json.object(
                "path", kept.toString(),
                "format", header.getFormat(),
                "size", size,
                "pixels", known ? Json.object("width", header.getWidth(), "height", header.getHeight()) : null,
                "dpi", dpi ? Json.object("x", header.getXResolution(), "y", header.getYResolution()) : null,
                "depth", known && header.getBitsPerPixel() != 0 ? header.getBitsPerPixel() : null));
    }

    /** A scanner's capabilities, for info. */
    void capabilities(Map<String, Object> described) {
        capabilities = described;
    }

    /** A text the command shows, such as the usage of help. */
    void text(String name, String value) {
        texts.put(name, value);
    }

    void warning(String text) {
        warnings.add(text);
    }

    /** A failure; the first one is the command's, later ones are attached to it. */
    void failure(Throwable thrown) {
        failure(describe(thrown));
    }

    /** A failure that is no exception, such as a device that is not there. */
    void failure(String text) {
        failure(Json.object("code", null, "text", text, "source", null, "device", null, "also", new ArrayList<>()));
    }

    private void failure(Map<String, Object> described) {
        if (failure == null) {
            failure = described;
        } else {
            also(failure).add(described);
        }
    }

    @SuppressWarnings("unchecked")
    private static List<Object> also(Map<String, Object> described) {
        return (List<Object>) described.get("also");
    }

    private static Map<String, Object> describe(Throwable thrown) {
        Map<String, Object> described;
        if (thrown instanceof VestaroException) {
            VestaroException e = (VestaroException) thrown;
            boolean named = e.getDeviceName() != null || e.getDeviceId() != null;
            described = Json.object("code", e.getHexCode(), "text", e.getText(),
                    "source", e.getFile() == null ? null : e.getFile() + ":" + e.getLine(),
                    "device", named ? Json.object("name", e.getDeviceName(), "id", e.getDeviceId()) : null);
        } else {
            described = Json.object("code", null, "text", text(thrown), "source", null, "device", null);
        }
        List<Object> also = new ArrayList<>();
        for (Throwable suppressed : thrown.getSuppressed()) {
            also.add(describe(suppressed));
        }
        described.put("also", also);
        return described;
    }

    /**
     * Whether a failure's message is a sentence of its own, to show without the exception's
     * class: a library that cannot load, the file failures that the API words itself, and a
     * scan the scanner cannot make.
     */
    static boolean saysItsOwnWords(Throwable thrown) {
        return thrown.getMessage() != null && (thrown instanceof LinkageError || thrown.getClass() == IOException.class
                || thrown instanceof ScanRefusedException);
    }

    /** A failure that is no device's, as its text: the message, with the exception's class unless it words itself. */
    static String text(Throwable thrown) {
        String message = thrown.getMessage();
        if (saysItsOwnWords(thrown)) {
            return message;
        }
        return thrown.getClass().getSimpleName() + (message == null ? "" : ": " + message);
    }

    private static Map<String, Object> describe(WIADevice device, int number) {
        return Json.object("number", number, "name", device.getName(), "id", device.getId(),
                "kind", Main.kindName(device), "type", Integer.toUnsignedLong(device.getType()));
    }

    /** The document: the command, its exit status, and what it did. */
    String json(int status) {
        Map<String, Object> document = Json.object("command", command, "status", status);
        if ("list".equals(command)) {
            document.put("devices", devices);
        } else if ("scan".equals(command) || "camera".equals(command)) {
            document.put("device", device);
            document.put("folder", folder);
            document.put("images", images);
        } else if ("info".equals(command)) {
            document.put("device", device);
            document.put("capabilities", capabilities);
        }
        document.putAll(texts);
        document.put("warnings", warnings);
        document.put("failure", failure);
        return Json.write(document);
    }
}
