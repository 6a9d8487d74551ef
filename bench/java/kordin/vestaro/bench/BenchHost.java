package kordin.vestaro.bench;

/** Loads the library for the benchmarks from the class loader that holds the host classes. */
public final class BenchHost {
    private BenchHost() {
    }

    /** Loads `name` through System.loadLibrary; returns what the load threw, or null. */
    public static Throwable load(String name) {
        try {
            System.loadLibrary(name);
            return null;
        } catch (Throwable thrown) {
            return thrown;
        }
    }
}
