package kordin.vestaro.testhost;

/** Natives of the probe library that run the property listing over a storage it makes. */
public final class ListingProbe {
    private ListingProbe() {
    }

    /**
     * Lists the made storage: 0 with every form of line, 1 without an enumerator, 2 with an
     * enumerator that fails after two entries. Returns the made objects still alive after.
     */
    public static native int dump(int mode);
}
