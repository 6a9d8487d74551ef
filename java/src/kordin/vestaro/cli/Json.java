package kordin.vestaro.cli;

import java.util.Collection;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.function.BiConsumer;

/**
 * Writes JSON from maps (objects, in their order), lists, strings, whole numbers, booleans
 * and null. Everything outside printable ASCII is escaped, so the text stays valid JSON
 * whatever charset the output stream has.
 */
final class Json {
    private Json() {
    }

    /** An object from alternating names and values, in that order. */
    static Map<String, Object> object(Object... namesAndValues) {
        Map<String, Object> object = new LinkedHashMap<>();
        for (int i = 0; i < namesAndValues.length; i += 2) {
            object.put((String) namesAndValues[i], namesAndValues[i + 1]);
        }
        return object;
    }

    /** The value as JSON text, indented by two spaces a level, with a line break at its end. */
    static String write(Object value) {
        StringBuilder text = new StringBuilder();
        write(value, "", text);
        return text.append('\n').toString();
    }

    private static void write(Object value, String indent, StringBuilder text) {
        if (value == null || value instanceof Boolean || value instanceof Integer || value instanceof Long) {
            text.append(value);
        } else if (value instanceof String) {
            string((String) value, text);
        } else if (value instanceof Map) {
            members('{', '}', ((Map<?, ?>) value).entrySet(), indent, text, (entry, inner) -> {
                string((String) entry.getKey(), text);
                text.append(": ");
                write(entry.getValue(), inner, text);
            });
        } else if (value instanceof List) {
            members('[', ']', (List<?>) value, indent, text, (element, inner) -> write(element, inner, text));
        } else {
            throw new IllegalArgumentException("no JSON form for " + value.getClass().getName());
        }
    }

    /**
     * An object's or an array's members between its brackets, one a line and indented a level
     * deeper than the brackets; an empty one as the two brackets alone.
     */
    private static <T> void members(char open, char close, Collection<T> members, String indent, StringBuilder text,
            BiConsumer<T, String> writeMember) {
        text.append(open);
        if (!members.isEmpty()) {
            String inner = indent + "  ";
            String separator = "\n";
            for (T member : members) {
                text.append(separator).append(inner);
                writeMember.accept(member, inner);
                separator = ",\n";
            }
            text.append('\n').append(indent);
        }
        text.append(close);
    }

    /** The characters written as a backslash and the letter at the same place of {@link #SHORT_ESCAPES}. */
    private static final String SHORT_ESCAPED = "\"\\\n\r\t";
    private static final String SHORT_ESCAPES = "\"\\nrt";

    private static void string(String value, StringBuilder text) {
        text.append('"');
        for (int i = 0; i < value.length(); i++) {
            char c = value.charAt(i);
            int shortEscape = SHORT_ESCAPED.indexOf(c);
            if (shortEscape >= 0) {
                text.append('\\').append(SHORT_ESCAPES.charAt(shortEscape));
            } else if (c < 0x20 || c > 0x7E) {
                text.append(String.format("\\u%04x", (int) c));
            } else {
                text.append(c);
            }
        }
        text.append('"');
    }
}
