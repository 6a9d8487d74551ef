package kordin.vestaro;

/** A host exception with only the members of the original contract: no device fields. */
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

    public int getCode() {
        return code;
    }

    public String getFile() {
        return file;
    }

    public int getLine() {
        return line;
    }
}
