package kordin.vestaro.testhost;

import java.util.Date;

/** A Date whose getTime throws, as a host's own subclass might. */
public final class ThrowingDate extends Date {
    private static final long serialVersionUID = 1L;

    @Override
    public long getTime() {
        throw new IllegalStateException("no time");
    }
}
