package kordin.vestaro.cli;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import kordin.vestaro.wia.WIAManager;

/** The command line run in the tests' own VM, its standard output and error captured. */
final class Console {
    /** The line break that the command line prints. */
    static final String NL = System.lineSeparator();

    private final ByteArrayOutputStream out = new ByteArrayOutputStream();
    private final ByteArrayOutputStream err = new ByteArrayOutputStream();

    /** A command line over the manager that {@code opener} opens, writing into the captures. */
    Main main(Main.Opener opener) {
        return new Main(new PrintStream(out, true, StandardCharsets.UTF_8), new PrintStream(err, true, StandardCharsets.UTF_8),
                opener);
    }

    /** Runs the command line over the real platform; the output adds to what was captured. */
    int run(String... args) {
        return main(WIAManager::open).run(args);
    }

    String out() { return out.toString(StandardCharsets.UTF_8); }

    String err() { return err.toString(StandardCharsets.UTF_8); }

    void reset() {
        out.reset();
        err.reset();
    }
}
