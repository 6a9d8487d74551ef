package kordin.vestaro.cli;

/**
 * Text from devices made safe for a terminal: control characters appear as escapes
 * ({@code \t}, {@code \n}, {@code \r}, {@code \x1b}), so that a device's name cannot move the
 * cursor, clear the screen or break a line of the output. Backslashes stay as they are: device
 * identifiers hold them and are typed back as printed.
 */
final class TerminalText {
    private TerminalText() {
    }

    static String printable(String text) {
        if (text == null) {
            return "null";
        }
        StringBuilder escaped = null;
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (Character.getType(c) != Character.CONTROL) {
                if (escaped != null) {
                    escaped.append(c);
                }
                continue;
            }
            if (escaped == null) {
                escaped = new StringBuilder(text.length() + 8).append(text, 0, i);
            }
            int shortEscape = "\t\n\r".indexOf(c); // \t, \n and \r as C writes them, the rest in hexadecimal
            escaped.append(shortEscape >= 0 ? "\\" + "tnr".charAt(shortEscape) : String.format("\\x%02x", (int) c));
        }
        return escaped == null ? text : escaped.toString();
    }
}
