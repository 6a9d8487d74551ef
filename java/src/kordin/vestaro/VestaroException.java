package kordin.vestaro;

/**
 * A failure reported by the platform: the failure code (an {@code HRESULT}), the system's
 * text for it, and the native source position that reported it.
 *
 * <p>{@link #getMessage()} is the text exactly as the system gave it (it may end with a
 * line break); {@link #toString()} adds the code in hexadecimal and the source position,
 * for logs and stack traces. A device that a poll listed but could not open is named by
 * {@link #getDeviceName()} and {@link #getDeviceId()}.
 */
public class VestaroException extends Exception {
    private static final long serialVersionUID = 1L;

    private final int code;
    private final String file;
    private final int line;
    // Filled by the library after construction, for a device that a poll listed but could
    // not offer; null for every other failure.
    private String deviceName;
    private String deviceId;

    /**
     * Makes the exception; the native library calls this constructor.
     *
     * @param code the platform's failure code, bit for bit
     * @param message the system's text for the code
     * @param file the native source file that reported the failure, or null
     * @param line the line in {@code file} of the reporting statement
     */
    public VestaroException(int code, String message, String file, int line) {
        super(message);
        this.code = code;
        this.file = file;
        this.line = line;
    }

    /**
     * The platform's failure code (an {@code HRESULT}), bit for bit: failure codes have
     * their top bit set and so are negative.
     *
     * @return the code
     */
    public int getCode() { return code; }

    /**
     * The failure code as "0x" followed by eight lower-case hexadecimal digits, the way
     * the platform's documentation writes it.
     *
     * @return the code in hexadecimal, such as {@code 0x80210006}
     */
    public String getHexCode() { return hex(code); }

    /**
     * The native source file that reported the failure, as the library's build names it.
     *
     * @return the file, or null when the failure did not come from the library
     */
    public String getFile() { return file; }

    /**
     * The line in {@link #getFile()} of the reporting statement.
     *
     * @return the line, 0 when unknown
     */
    public int getLine() { return line; }

    /**
     * The name of the device this failure is about, as the device gives it: set when a poll
     * listed the device but could not open it or read its record.
     *
     * @return the name, or null when the failure is not about one device or the device's
     *     record did not give its name
     */
    public String getDeviceName() { return deviceName; }

    /**
     * The identifier of the device this failure is about; see {@link #getDeviceName()}.
     *
     * @return the identifier, or null when the failure is not about one device or the
     *     device's record did not give its identifier
     */
    public String getDeviceId() { return deviceId; }

    /**
     * The system's text without the line break or spaces that it may end with.
     *
     * @return the text, empty when there is none
     */
    public String getText() {
        String message = getMessage();
        return message == null ? "" : message.strip();
    }

    /**
     * The class name, the code in hexadecimal, the text and the source position, such as
     * {@code kordin.vestaro.VestaroException: 0x80210006 The WIA device is busy.
     * [..\src\jni\wia\WIAScanner.cpp:57]}.
     */
    @Override
    public String toString() {
        StringBuilder text = new StringBuilder(getClass().getName()).append(": ").append(getHexCode());
        if (!getText().isEmpty()) {
            text.append(' ').append(getText());
        }
        if (file != null) {
            text.append(" [").append(file).append(':').append(line).append(']');
        }
        return text.toString();
    }

    /**
     * A code as "0x" followed by eight lower-case hexadecimal digits.
     *
     * @param code any 32-bit code
     * @return the code in hexadecimal
     */
    public static String hex(int code) {
        return String.format("0x%08x", code);
    }
}
