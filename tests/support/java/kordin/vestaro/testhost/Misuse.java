package kordin.vestaro.testhost;

/** Natives the harness registers itself to prove that it catches JNI misuse. */
public final class Misuse {
    private Misuse() {
    }

    /** Leaves an exception pending and makes another JNI call: a fault the VM's checks flag. */
    public static native void callWithExceptionPending();
}
