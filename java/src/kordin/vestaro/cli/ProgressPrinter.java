package kordin.vestaro.cli;

import java.io.PrintStream;
import java.util.Locale;
import kordin.vestaro.wia.PageSide;
import kordin.vestaro.wia.ScanProgressListener;

/**
 * {@code --progress}: each page's progress on standard error, as a bar redrawn in place on a
 * terminal, else as lines of percentages, one at each tenth of the page and at its end. The
 * device may report from a thread of its own.
 */
final class ProgressPrinter implements ScanProgressListener {
    private static final int BAR_WIDTH = 30;

    private final PrintStream err;
    private final boolean terminal;
    private final boolean duplex;
    private int page;
    private int shownTenth = -1;
    /** A bar is drawn and its line not yet ended. */
    private boolean barOpen;

    ProgressPrinter(PrintStream err, boolean terminal, boolean duplex) {
        this.err = err;
        this.terminal = terminal;
        this.duplex = duplex;
    }

    @Override
    public synchronized void progress(int newPage, PageSide side, int percent) {
        if (newPage != page) {
            endLine();
            page = newPage;
            shownTenth = -1;
        }
        String label = "page " + newPage + (duplex ? " (" + side.name().toLowerCase(Locale.ROOT) + ")" : "");
        if (terminal) {
            int filled = percent * BAR_WIDTH / 100;
            err.printf(Locale.ROOT, "\r%s [%s%s] %3d%%", label, "#".repeat(filled), ".".repeat(BAR_WIDTH - filled), percent);
            barOpen = true;
            if (percent == 100) {
                endLine();
            }
        } else if (percent / 10 > shownTenth) {
            shownTenth = percent / 10;
            err.printf(Locale.ROOT, "%s: %d%%%n", label, percent);
        }
        err.flush();
    }

    /** Ends the bar's line, so that the next line starts on a line of its own. */
    synchronized void endLine() {
        if (barOpen) {
            err.println();
            barOpen = false;
        }
    }
}
