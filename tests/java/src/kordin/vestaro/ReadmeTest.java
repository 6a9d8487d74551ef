package kordin.vestaro;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;
import kordin.vestaro.testsupport.Images;
import kordin.vestaro.testsupport.Jar;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The README's Java example compiles against the jar and does what its comments say, on
 * the default virtual devices and on the README's own device set.
 */
class ReadmeTest {
    @TempDir
    Path temp;

    private static String block(String readme, String language) {
        Matcher block = Pattern.compile("(?s)```" + language + "\\n(.*?)```").matcher(readme);
        assertTrue(block.find(), "the README has a " + language + " block");
        return block.group(1);
    }

    /** Compiles one class of an example against the main jar; returns the folder of its class files. */
    private Path compile(String className, String code) throws Exception {
        Path source = Files.createDirectories(temp.resolve("src")).resolve(className + ".java");
        Files.writeString(source, code);
        Path classes = Files.createDirectories(temp.resolve("classes"));
        JavaCompiler javac = ToolProvider.getSystemJavaCompiler();
        ByteArrayOutputStream messages = new ByteArrayOutputStream();
        int compiled = javac.run(null, null, new PrintStream(messages, true, StandardCharsets.UTF_8), "-Xlint:all",
                "-Werror", "-cp", Jar.jar(), "-d", classes.toString(), source.toString());
        assertEquals(0, compiled, messages.toString(StandardCharsets.UTF_8));
        return classes;
    }

    @Test
    void theJavaExampleCompilesAndAcquires() throws Exception {
        String path = System.getProperty("vestaro.readme");
        assertNotNull(path, "-Dvestaro.readme names the README");
        String readme = Files.readString(Path.of(path));
        Path classes = compile("Acquire", block(readme, "java"));

        Path defaults = Files.createDirectories(temp.resolve("defaults"));
        Jar.Result run = Jar.runClass(defaults, null, classes, "Acquire");
        assertEquals(0, run.status(), run.toString());
        assertTrue(run.out().matches("scanned \\[scans/scan-001\\.jpg\\]\\R"
                + "1: [0-9]+ bytes\\R2: [0-9]+ bytes\\R3: [0-9]+ bytes\\R"), run.toString());
        assertEquals("600x800 gray", Images.describe(defaults.resolve("scans/scan-001.jpg")));

        // The README's device set: a scanner without JPEG, a camera whose first dialog picks one picture.
        Path own = Files.createDirectories(temp.resolve("own"));
        Jar.Result ownSet = Jar.runClass(own, block(readme, "json"), classes, "Acquire");
        assertEquals(0, ownSet.status(), ownSet.toString());
        assertTrue(ownSet.out().matches("scanned \\[scans/scan-001\\.bmp\\]\\R1: [0-9]+ bytes\\R"), ownSet.toString());
        assertEquals("600x800 gray", Images.describe(own.resolve("scans/scan-001.bmp")));
    }

    /** The Javadoc's overview page shows the shortest complete program; it must compile and do what it says. */
    @Test
    void theJavadocOverviewsExampleCompilesAndAcquires() throws Exception {
        String overview = Files.readString(Path.of(System.getProperty("vestaro.overview")));
        Matcher example = Pattern.compile("(?s)<pre>\\{@code\\n(.*?)\\}</pre>").matcher(overview);
        assertTrue(example.find(), "the overview has an example");
        Path classes = compile("Shortest", example.group(1));

        Path work = Files.createDirectories(temp.resolve("shortest"));
        Jar.Result run = Jar.runClass(work, null, classes, "Shortest");
        assertEquals(0, run.status(), run.toString());
        assertEquals(List.of("[images/scan-001.jpg]", "[images/picture-001.jpg, images/picture-002.jpg, images/picture-003.jpg]"),
                run.out().lines().toList());
        assertEquals("2550x3506 color", Images.describe(work.resolve("images/scan-001.jpg")));
    }

    /**
     * Compiles the example of a document that defines {@code className} and runs it in a
     * folder of its own on the device set; it must exit with 0.
     */
    private Jar.Result runExample(String property, Pattern blocks, String className, String devices) throws Exception {
        Matcher block = blocks.matcher(Files.readString(Path.of(System.getProperty(property))));
        String code = null;
        while (code == null && block.find()) {
            code = block.group(1).contains("class " + className + " ") ? block.group(1) : null;
        }
        assertNotNull(code, property + " has an example of class " + className);
        Path classes = compile(className, code);
        Jar.Result run = Jar.runClass(Files.createDirectories(temp.resolve(className)), devices, classes, className);
        assertEquals(0, run.status(), run.toString());
        return run;
    }

    /**
     * The feeder examples of the README and of the Javadoc's overview scan a batch, follow
     * its progress and cancel it, keeping the pages before the cancel.
     */
    @Test
    void theFeederExamplesScanABatchAndCancelIt() throws Exception {
        String duplexFeeder = "[{\"kind\": \"scanner\", \"id\": \"adf\", \"name\": \"Duplex Feeder\","
                + " \"feeder\": {\"sheets\": 5, \"duplex\": true}}]";
        Jar.Result batch = runExample("vestaro.readme", Pattern.compile("(?s)```java\\n(.*?)```"), "FeederBatch",
                duplexFeeder);
        assertEquals(List.of("page 1 FRONT", "page 2 BACK", "page 3 FRONT",
                "CANCELLED [batch/scan-001.jpg, batch/scan-002.jpg, batch/scan-003.jpg]"), batch.out().lines().toList());
        assertEquals("1240x1753 gray", Images.describe(temp.resolve("FeederBatch/batch/scan-003.jpg")));
        assertEquals(List.of(), Images.names(batch.tmp()));

        Jar.Result pages = runExample("vestaro.overview", Pattern.compile("(?s)<pre>\\{@code\\n(.*?)\\}</pre>"), "Batch",
                duplexFeeder);
        assertEquals(List.of("page 1 scanned", "page 2 scanned", "CANCELLED, 2 pages: [batch/scan-001.jpg, batch/scan-002.jpg]"),
                pages.out().lines().toList());
    }
}
