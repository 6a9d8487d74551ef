package kordin.vestaro.wia;

import java.io.IOException;
import java.lang.reflect.UndeclaredThrowableException;
import kordin.vestaro.VestaroException;

/** Combining and re-throwing the failures that natives and listeners leave. */
final class Failures {
    private Failures() {
    }

    /** The first failure, with each later one attached to it as suppressed. */
    static Throwable merge(Throwable first, Throwable next) {
        if (first == null) {
            return next;
        }
        if (next != null && next != first) {
            first.addSuppressed(next);
        }
        return first;
    }

    /**
     * Throws a failure as the API declares it. Natives may leave any exception pending,
     * whatever their declaration says, so everything is caught as a Throwable first.
     */
    static void rethrow(Throwable failure) throws VestaroException, IOException {
        if (failure instanceof IOException) {
            throw (IOException) failure;
        }
        rethrowVestaro(failure);
    }

    /** As {@link #rethrow}, for operations that touch no file. */
    static void rethrowVestaro(Throwable failure) throws VestaroException {
        if (failure == null) {
            return;
        }
        if (failure instanceof VestaroException) {
            throw (VestaroException) failure;
        }
        if (failure instanceof RuntimeException) {
            throw (RuntimeException) failure;
        }
        if (failure instanceof Error) {
            throw (Error) failure;
        }
        throw new UndeclaredThrowableException(failure);
    }
}
