package kordin.vestaro.cli;

import java.io.PrintStream;
import java.util.function.Consumer;
import java.util.logging.Handler;
import java.util.logging.Level;
import java.util.logging.LogRecord;
import java.util.logging.Logger;
import java.util.logging.SimpleFormatter;
import kordin.vestaro.Manager;

/**
 * For the length of one command, the Java side's log messages as lines of the command's
 * own on its error stream: warnings always (and handed to the command's report), debug
 * messages with {@code --debug}. What the logger had before comes back on {@link #close()}.
 */
final class ConsoleLog implements AutoCloseable {
    private final Logger logger = Logger.getLogger(Manager.LOGGER_NAME);
    private final Level oldLevel = logger.getLevel();
    private final boolean oldUseParentHandlers = logger.getUseParentHandlers();
    private final Handler handler;

    ConsoleLog(PrintStream err, boolean debug, boolean trace, Consumer<String> warnings) {
        SimpleFormatter formatter = new SimpleFormatter();
        handler = new Handler() {
            @Override
            public void publish(LogRecord record) {
                if (!isLoggable(record)) {
                    return;
                }
                boolean warning = record.getLevel().intValue() >= Level.WARNING.intValue();
                String message = formatter.formatMessage(record);
                err.println("vestaro: " + (warning ? "warning: " : "") + TerminalText.printable(message));
                if (warning) {
                    warnings.accept(message);
                }
                if (trace && record.getThrown() != null) {
                    record.getThrown().printStackTrace(err);
                }
            }

            @Override
            public void flush() {
                err.flush();
            }

            @Override
            public void close() {
                flush();
            }
        };
        Level level = debug ? Level.ALL : Level.INFO;
        handler.setLevel(level);
        logger.setLevel(level);
        logger.setUseParentHandlers(false);
        logger.addHandler(handler);
    }

    @Override
    public void close() {
        logger.removeHandler(handler);
        logger.setUseParentHandlers(oldUseParentHandlers);
        logger.setLevel(oldLevel);
    }
}
