package kordin.vestaro.testsupport;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A strict JSON parser for the command line's output: objects as ordered maps, arrays as
 * lists, numbers as {@code Long} (the output has no fractions), strings, booleans and null.
 * Anything that is not JSON (a trailing comma, a duplicate name, an unescaped control
 * character, text after the value) fails with {@link IllegalArgumentException}.
 */
public final class JsonParser {
    private final String text;
    private int at;

    private JsonParser(String text) {
        this.text = text;
    }

    public static Object parse(String text) {
        JsonParser parser = new JsonParser(text);
        Object value = parser.value();
        parser.space();
        if (parser.at != text.length()) {
            throw parser.fail("text after the value");
        }
        return value;
    }

    /** The document as an object. */
    @SuppressWarnings("unchecked")
    public static Map<String, Object> object(String text) {
        Object value = parse(text);
        if (!(value instanceof Map)) {
            throw new IllegalArgumentException("not an object: " + text);
        }
        return (Map<String, Object>) value;
    }

    private Object value() {
        space();
        if (at >= text.length()) {
            throw fail("a value expected");
        }
        char c = text.charAt(at);
        switch (c) {
            case '{':
                return object();
            case '[':
                return array();
            case '"':
                return string();
            case 't':
                return word("true", Boolean.TRUE);
            case 'f':
                return word("false", Boolean.FALSE);
            case 'n':
                return word("null", null);
            default:
                return number();
        }
    }

    private Map<String, Object> object() {
        Map<String, Object> object = new LinkedHashMap<>();
        members('}', () -> {
            space();
            if (!peek('"')) {
                throw fail("a name expected");
            }
            String name = string();
            space();
            expect(':');
            if (object.containsKey(name)) {
                throw fail("duplicate name " + name);
            }
            object.put(name, value());
        });
        return object;
    }

    private List<Object> array() {
        List<Object> array = new ArrayList<>();
        members(']', () -> array.add(value()));
        return array;
    }

    /** Reads the members after the opening bracket at {@code at}, separated by commas, up to {@code close}. */
    private void members(char close, Runnable readMember) {
        at++;
        space();
        if (peek(close)) {
            at++;
            return;
        }
        while (true) {
            readMember.run();
            space();
            if (!peek(',')) {
                expect(close);
                return;
            }
            at++;
        }
    }

    private String string() {
        StringBuilder value = new StringBuilder();
        at++;
        while (true) {
            if (at >= text.length()) {
                throw fail("an unterminated string");
            }
            char c = text.charAt(at++);
            if (c == '"') {
                return value.toString();
            }
            if (c < 0x20) {
                throw fail("an unescaped control character");
            }
            if (c != '\\') {
                value.append(c);
                continue;
            }
            if (at >= text.length()) {
                throw fail("an unterminated escape");
            }
            char escaped = text.charAt(at++);
            switch (escaped) {
                case '"', '\\', '/' -> value.append(escaped);
                case 'b' -> value.append('\b');
                case 'f' -> value.append('\f');
                case 'n' -> value.append('\n');
                case 'r' -> value.append('\r');
                case 't' -> value.append('\t');
                case 'u' -> {
                    if (at + 4 > text.length() || !text.substring(at, at + 4).matches("[0-9a-fA-F]{4}")) {
                        throw fail("a bad \\u escape");
                    }
                    value.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
                    at += 4;
                }
                default -> throw fail("a bad escape \\" + escaped);
            }
        }
    }

    private Long number() {
        int start = at;
        if (peek('-')) {
            at++;
        }
        int digits = at;
        while (at < text.length() && Character.isDigit(text.charAt(at))) {
            at++;
        }
        if (at == digits || (text.charAt(digits) == '0' && at - digits > 1)) {
            throw fail("a bad number");
        }
        return Long.parseLong(text.substring(start, at));
    }

    private Object word(String word, Object value) {
        if (!text.startsWith(word, at)) {
            throw fail("a bad word");
        }
        at += word.length();
        return value;
    }

    private void space() {
        while (at < text.length() && " \t\r\n".indexOf(text.charAt(at)) >= 0) {
            at++;
        }
    }

    private boolean peek(char c) {
        return at < text.length() && text.charAt(at) == c;
    }

    private void expect(char c) {
        if (!peek(c)) {
            throw fail("'" + c + "' expected");
        }
        at++;
    }

    private IllegalArgumentException fail(String what) {
        return new IllegalArgumentException("not JSON: " + what + " at " + at + " in:\n" + text);
    }
}
