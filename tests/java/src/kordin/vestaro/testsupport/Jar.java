package kordin.vestaro.testsupport;

import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;

/**
 * Runs the command line, or a program with the artifacts on its class path, in a Java VM of
 * its own, as a user would: the artifacts named by {@code -Dvestaro.jar} (kordin:vestaro)
 * and {@code -Dvestaro.virtual.jar} (kordin:vestaro-virtual), nothing on
 * {@code java.library.path} (so the library comes out of a jar), and private temporary
 * folders for the VM and the platform.
 */
public final class Jar {
    private Jar() {
    }

    /** How the command ended. */
    public record Result(int status, String out, String err, Path tmp) {
        @Override
        public String toString() { return "exit " + status + "\n--- stdout\n" + out + "--- stderr\n" + err; }
    }

    /**
     * Runs the command line with both artifacts on the class path in {@code work}:
     * {@code work/tmp} is the temporary folder of the VM and of the platform; {@code devices},
     * when not null, is the JSON device set that {@code WINSIM_DEVICES} names.
     */
    public static Result run(Path work, String devices, String... args) throws IOException, InterruptedException {
        return runWith(work, devices, List.of(), args);
    }

    /** As {@link #run(Path, String, String...)}, with options for the Java VM such as {@code -Dname=value}. */
    public static Result run(Path work, String devices, List<String> vmOptions, String... args)
            throws IOException, InterruptedException {
        return runWith(work, devices, vmOptions, args);
    }

    /** {@link #run}, with options for the VM before the class path. */
    public static Result runWith(Path work, String devices, List<String> vmOptions, String... args)
            throws IOException, InterruptedException {
        return java(work, devices, Map.of(), commandLine(vmOptions, args));
    }

    /** The VM's arguments that run the command line with both artifacts on the class path. */
    private static List<String> commandLine(List<String> vmOptions, String... args) {
        List<String> command = new ArrayList<>(vmOptions);
        command.addAll(List.of("-cp", jar() + File.pathSeparator + virtualJar(), "kordin.vestaro.cli.Main"));
        command.addAll(List.of(args));
        return command;
    }

    /** {@code java -jar vestaro.jar ...} with the main artifact alone, as production on any platform runs it. */
    public static Result runMainJarAlone(Path work, String... args) throws IOException, InterruptedException {
        return runJar(work, jar(), args);
    }

    /**
     * The command line with the main artifact alone on the class path, as production on
     * Linux runs it; {@code environment} changes the VM's environment, a null value removing
     * the variable.
     */
    public static Result runMainJar(Path work, Map<String, String> environment, List<String> vmOptions, String... args)
            throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(vmOptions);
        command.addAll(List.of("-cp", jar(), "kordin.vestaro.cli.Main"));
        command.addAll(List.of(args));
        return java(work, null, environment, command);
    }

    /** {@code java -jar JAR ...}, the jar named as given. */
    public static Result runJar(Path work, String jar, String... args) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of("-jar", jar));
        command.addAll(List.of(args));
        return runJava(work, command);
    }

    /** {@code java} with these arguments alone, after the private folders and the empty library path. */
    public static Result runJava(Path work, List<String> arguments) throws IOException, InterruptedException {
        return java(work, null, Map.of(), arguments);
    }

    /**
     * Runs {@code mainClass} from {@code classes} with the main artifact, and the virtual
     * devices when {@code virtual}, on the class path, as {@link #run} runs the command line.
     */
    public static Result runClass(Path work, String devices, boolean virtual, Path classes, String mainClass,
            String... args) throws IOException, InterruptedException {
        return runClass(work, devices, Map.of(), virtual, classes, mainClass, args);
    }

    /**
     * {@link #runClass}, with more variables in the VM's environment (such as
     * {@code LD_LIBRARY_PATH}); a null value removes the variable.
     */
    public static Result runClass(Path work, String devices, Map<String, String> environment, boolean virtual,
            Path classes, String mainClass, String... args) throws IOException, InterruptedException {
        String classPath = classes + File.pathSeparator + jar() + (virtual ? File.pathSeparator + virtualJar() : "");
        List<String> command = new ArrayList<>(List.of("-cp", classPath, mainClass));
        command.addAll(List.of(args));
        return java(work, devices, environment, command);
    }

    /** {@link #runClass} with the virtual devices. */
    public static Result runClass(Path work, String devices, Path classes, String mainClass, String... args)
            throws IOException, InterruptedException {
        return runClass(work, devices, true, classes, mainClass, args);
    }

    /** kordin:vestaro's jar, as {@code -Dvestaro.jar} names it. */
    public static String jar() { return property("vestaro.jar"); }

    /** kordin:vestaro-virtual's jar, as {@code -Dvestaro.virtual.jar} names it. */
    public static String virtualJar() { return property("vestaro.virtual.jar"); }

    private static String property(String name) {
        String value = System.getProperty(name);
        assertNotNull(value, "-D" + name + " names an artifact");
        return value;
    }

    private static Result java(Path work, String devices, Map<String, String> environment, List<String> args)
            throws IOException, InterruptedException {
        return start(work, devices, environment, args).waitFor();
    }

    /**
     * The command line started as {@link #run} starts it, left running: to signal it as a
     * terminal would, then wait for its end.
     */
    public static Running start(Path work, String devices, String... args) throws IOException {
        return start(work, devices, Map.of(), commandLine(List.of(), args));
    }

    /** A Java VM started by {@link #start}, its output going into files of its folder. */
    public static final class Running {
        private final Process vm;
        private final Path work;
        private final Path tmp;
        private final List<String> command;

        private Running(Process vm, Path work, Path tmp, List<String> command) {
            this.vm = vm;
            this.work = work;
            this.tmp = tmp;
            this.command = command;
        }

        /** What the VM has written on standard error so far. */
        public String errSoFar() throws IOException {
            return Files.readString(work.resolve("stderr"), StandardCharsets.UTF_8);
        }

        /** Sends a signal by name ({@code INT} for Ctrl-C), as the terminal does. */
        public void signal(String name) throws IOException, InterruptedException {
            Process kill = new ProcessBuilder("kill", "-s", name, Long.toString(vm.pid())).inheritIO().start();
            assertTrue(kill.waitFor(10, TimeUnit.SECONDS) && kill.exitValue() == 0, "kill -s " + name + " " + vm.pid());
        }

        /** Waits at most a minute for the VM to end. */
        public Result waitFor() throws IOException, InterruptedException {
            boolean ended = vm.waitFor(60, TimeUnit.SECONDS);
            if (!ended) {
                vm.destroyForcibly();
            }
            assertTrue(ended, "the command ended within a minute: " + command);
            return new Result(vm.exitValue(), Files.readString(work.resolve("stdout"), StandardCharsets.UTF_8),
                    errSoFar(), tmp);
        }
    }

    private static Running start(Path work, String devices, Map<String, String> environment, List<String> args)
            throws IOException {
        Path tmp = Files.createDirectories(work.resolve("tmp"));
        Path noLibraries = Files.createDirectories(work.resolve("no-libraries"));
        List<String> command = new ArrayList<>(List.of(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Djava.library.path=" + noLibraries, "-Djava.io.tmpdir=" + tmp));
        command.addAll(args);
        ProcessBuilder builder = new ProcessBuilder(command).directory(work.toFile())
                .redirectOutput(work.resolve("stdout").toFile()).redirectError(work.resolve("stderr").toFile());
        builder.environment().put("TMPDIR", tmp.toString());
        builder.environment().remove("WINSIM_DEVICES");
        environment.forEach((name, value) -> {
            if (value == null) {
                builder.environment().remove(name);
            } else {
                builder.environment().put(name, value);
            }
        });
        if (devices != null) {
            Path set = work.resolve("devices.json");
            Files.writeString(set, devices);
            builder.environment().put("WINSIM_DEVICES", set.toString());
        }
        return new Running(builder.start(), work, tmp, command);
    }
}
