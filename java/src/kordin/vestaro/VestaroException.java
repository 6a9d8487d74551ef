package kordin.vestaro;

/** A failure reported by the platform, with its code and the native source position. */
public class VestaroException extends Exception {
    private static final long serialVersionUID = 1L;

    private final int code;
    private final String file;
    private final int line;

    public VestaroException(int code, String message, String file, int line) {
        super(message);
        this.code = code;
        this.file = file;
        this.line = line;
    }

    /** The platform's failure code (an HRESULT), bit for bit. */
    public int getCode() {
        return code;
    }

    /** The native source file that reported the failure. */
    public String getFile() {
        return file;
    }

    /** The line in {@link #getFile()} of the reporting statement. */
    public int getLine() {
        return line;
    }
}
