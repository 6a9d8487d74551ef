package kordin.vestaro.cli;

import java.io.File;

/** How the user started the command line, so that its usage texts name the same command. */
final class Program {
    /** The command that the usage texts are written with. */
    static final String DEFAULT = "java -jar vestaro.jar";

    private Program() {
    }

    /** The command that started this Java VM. */
    static String ofThisVm() {
        return of(System.getProperty("java.class.path", ""), System.getProperty("sun.java.command", ""),
                System.getProperty("jdk.module.main"));
    }

    /**
     * The command from the VM's class path, its launch command ({@code sun.java.command}: the
     * jar or the main class, then the arguments) and its main module (null without one).
     * {@code java -jar} leaves the jar, as the user named it, as the whole class path.
     */
    static String of(String classPath, String command, String mainModule) {
        if (mainModule != null && !mainModule.isEmpty()) {
            return "java -m " + mainModule;
        }
        if (classPath.endsWith(".jar") && !classPath.contains(File.pathSeparator)
                && (command.equals(classPath) || command.startsWith(classPath + " "))) {
            return "java -jar " + classPath;
        }
        return "java " + Main.class.getName();
    }
}
