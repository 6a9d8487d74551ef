package kordin.vestaro;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertLinesMatch;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.Instant;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.jar.JarFile;
import kordin.vestaro.testsupport.Images;
import kordin.vestaro.testsupport.Jar;
import kordin.vestaro.testsupport.SupportProbe;
import kordin.vestaro.wia.WIAManager;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class NativeLoaderTest {
    @TempDir
    Path temp;

    /** Resources as a jar would carry them: an index and the files it lists. */
    private ClassLoader jarWith(String... entries) throws IOException {
        Path root = temp.resolve("jar");
        Path natives = root.resolve(NativeLoader.RESOURCE_ROOT);
        Files.createDirectories(natives);
        Files.writeString(natives.resolve("index"), String.join("\n", entries) + "\n");
        for (String entry : entries) {
            Path file = natives.resolve(entry).normalize();
            if (file.startsWith(natives)) {
                Files.createDirectories(file.getParent());
                Files.writeString(file, "content of " + entry);
            }
        }
        return new URLClassLoader(new URL[] {root.toUri().toURL()}, null);
    }

    private NativeLoader linux64(String libraryPath, ClassLoader resources) {
        return new NativeLoader("Linux", "amd64", "64", libraryPath, temp.resolve("tmp"), resources);
    }

    @Test
    void theLibraryAndTheJarFolderFollowTheVmsDataModelAndPlatform() {
        NativeLoader windows32 = new NativeLoader("Windows 10", "x86", "32", "", temp, null);
        assertEquals("vestaro32_12", windows32.libraryName());
        assertEquals("vestaro32_12.dll", windows32.fileName());
        assertEquals("windows-x86", windows32.platformFolder());

        NativeLoader windows64 = new NativeLoader("Windows Server 2022", "amd64", "64", "", temp, null);
        assertEquals("vestaro64_12.dll", windows64.fileName());
        assertEquals("windows-x86_64", windows64.platformFolder());

        NativeLoader linux = linux64("", null);
        assertEquals("libvestaro64_12.so", linux.fileName());
        assertEquals("linux-x86_64", linux.platformFolder());
        // A VM that does not tell its data model: judged by its architecture.
        assertEquals("vestaro32_12", new NativeLoader("Linux", "i386", null, "", temp, null).libraryName());
        assertEquals("vestaro64_12", new NativeLoader("Linux", "aarch64", "unknown", "", temp, null).libraryName());
    }

    @Test
    void theFirstLibraryPathFolderWithTheFileWins() throws IOException {
        Path empty = Files.createDirectories(temp.resolve("empty"));
        Path first = Files.createDirectories(temp.resolve("first"));
        Path second = Files.createDirectories(temp.resolve("second"));
        Files.writeString(first.resolve("libvestaro64_12.so"), "");
        Files.writeString(second.resolve("libvestaro64_12.so"), "");
        Files.createDirectories(empty.resolve("libvestaro64_12.so.d"));

        String path = String.join(File.pathSeparator, "", empty.toString(), first.toString(), second.toString());
        assertEquals(first.resolve("libvestaro64_12.so"), linux64(path, null).findOnLibraryPath());
        assertNull(linux64(empty.toString(), null).findOnLibraryPath());
    }

    /** A VM's loading that records every request and refuses the files and names it is told to. */
    private static final class RecordingVm implements NativeLoader.Loading {
        final List<String> calls = new ArrayList<>();
        final Map<String, String> refusals = new HashMap<>();

        @Override
        public void load(Path file) {
            calls.add("load " + file.getFileName());
            refuse(file.getFileName().toString());
        }

        @Override
        public void loadLibrary(String name) {
            calls.add("loadLibrary " + name);
            refuse(name);
        }

        private void refuse(String what) {
            if (refusals.containsKey(what)) {
                throw new UnsatisfiedLinkError(refusals.get(what));
            }
        }
    }

    @Test
    void theNamedLibraryAloneElseTheJarsCopyThenTheLibraryPath() throws IOException {
        ClassLoader jar = jarWith("linux-x86_64/libwinsim.so", "linux-x86_64/libvestaro64_12.so");
        Path onPath = Files.createDirectories(temp.resolve("on-path"));
        Files.writeString(onPath.resolve("libvestaro64_12.so"), "");
        Path mine = Files.createDirectories(temp.resolve("mine"));
        Path named = Files.writeString(mine.resolve("custom.so"), "");
        Files.writeString(mine.resolve("libvestaro64_12.so"), "");
        Path tmp = temp.resolve("tmp");

        RecordingVm vm = new RecordingVm();
        NativeLoader.Loaded file = new NativeLoader("Linux", "amd64", "64", onPath.toString(), tmp, jar,
                named.toString()).load(vm);
        assertEquals(named, file.file());
        assertEquals("vestaro.library", file.source());
        NativeLoader.Loaded folder = new NativeLoader("Linux", "amd64", "64", onPath.toString(), tmp, jar,
                mine.toString()).load(vm);
        assertEquals(mine.resolve("libvestaro64_12.so"), folder.file());
        assertEquals(List.of("load custom.so", "load libvestaro64_12.so"), vm.calls);
        assertNull(folder.extraction());

        // A named file that is refused or missing is the error: no other copy stands in for it.
        vm.calls.clear();
        vm.refusals.put("custom.so", "custom.so: wrong ELF class: ELFCLASS32");
        UnsatisfiedLinkError refused = assertThrows(UnsatisfiedLinkError.class, () -> new NativeLoader("Linux",
                "amd64", "64", onPath.toString(), tmp, jar, named.toString()).load(vm));
        assertEquals(List.of("load custom.so"), vm.calls);
        assertLinesMatch(List.of(".*tried in order:", "  1. -Dvestaro.library=" + named + ": " + "custom.so: wrong ELF class: ELFCLASS32",
                "  2. nothing else is tried while vestaro.library names the library"), refused.getMessage().lines().toList());
        Path empty = Files.createDirectories(temp.resolve("empty"));
        String missing = assertThrows(UnsatisfiedLinkError.class, () -> new NativeLoader("Linux", "amd64", "64",
                onPath.toString(), tmp, jar, empty.toString()).load(vm)).getMessage();
        assertTrue(missing.contains("1. -Dvestaro.library=" + empty + ": " + empty.resolve("libvestaro64_12.so")
                + " does not exist\n"), missing);

        // Unnamed: the jar's copy, extracted.
        vm.calls.clear();
        NativeLoader.Loaded fromJar = linux64(onPath.toString(), jar).load(vm);
        assertEquals("the jar", fromJar.source());
        assertEquals(List.of("load libvestaro64_12.so"), vm.calls);
        assertTrue(Files.isRegularFile(fromJar.extraction().folder().resolve("libwinsim.so")));
        assertTrue(fromJar.extraction().delete());

        // The jar's copy refused: its folder goes, and java.library.path is tried last, by name.
        vm.calls.clear();
        vm.refusals.put("libvestaro64_12.so", "libjpeg.so.62: cannot open shared object file");
        NativeLoader.Loaded fromPath = linux64(onPath.toString(), jar).load(vm);
        assertEquals(List.of("load libvestaro64_12.so", "loadLibrary vestaro64_12"), vm.calls);
        assertEquals(onPath.resolve("libvestaro64_12.so"), fromPath.file());
        assertEquals("java.library.path", fromPath.source());
        assertEquals(List.of(), Images.names(tmp), "the refused extraction was deleted");
    }

    @Test
    void nothingLoadsGivesOneErrorListingEachPlaceInOrderWithItsReason() throws IOException {
        ClassLoader windowsOnly = jarWith("windows-x86_64/vestaro64_12.dll", "windows-x86/vestaro32_12.dll");
        String path = String.join(File.pathSeparator, "/opt/a", "/opt/b");
        NativeLoader linux = new NativeLoader("Linux", "amd64", "64", path, temp.resolve("tmp"), windowsOnly);

        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> linux.load(new RecordingVm()));
        assertLinesMatch(List.of(
                "no native library vestaro64_12 could be loaded for this Java VM \\(Linux, amd64, 64-bit\\); tried in order:",
                "  1\\. the jar's copy: no jar on the class path has kordin/vestaro/native/linux-x86_64/libvestaro64_12\\.so"
                        + " \\(they carry windows-x86_64, windows-x86\\); WIA is a Windows platform: for the virtual"
                        + " devices on Linux add kordin:vestaro-virtual to the class path",
                "  2\\. java\\.library\\.path: libvestaro64_12\\.so is in none of its folders \\[/opt/a, /opt/b\\]"),
                error.getMessage().lines().toList());

        // The system's own reason, as it stands; the noexec hint only for a refused mapping.
        ClassLoader jar = jarWith("windows-x86_64/vestaro64_12.dll");
        RecordingVm vm = new RecordingVm();
        vm.refusals.put("vestaro64_12.dll", "Can't find dependent libraries");
        String windows = assertThrows(UnsatisfiedLinkError.class,
                () -> new NativeLoader("Windows 11", "amd64", "64", "", temp.resolve("tmp"), jar).load(vm)).getMessage();
        assertTrue(windows.contains("1. the jar's copy, extracted into " + temp.resolve("tmp")
                + ": Can't find dependent libraries\n"), windows);
        assertFalse(windows.contains("noexec") || windows.contains("vestaro-virtual"), windows);
        assertTrue(NativeLoader.loadFailure(new UnsatisfiedLinkError("x.so: failed to map segment from shared object"))
                .contains("-Dvestaro.tmpdir="));

        String withoutJar = assertThrows(UnsatisfiedLinkError.class,
                () -> linux64("", new URLClassLoader(new URL[0], null)).load(new RecordingVm())).getMessage();
        assertTrue(withoutJar.contains("no jar with native libraries is on the class path"), withoutJar);
        String mac = assertThrows(UnsatisfiedLinkError.class, () -> new NativeLoader("Mac OS X", "aarch64", "64", "",
                temp.resolve("tmp"), windowsOnly).load(new RecordingVm())).getMessage();
        assertTrue(mac.contains("kordin:vestaro-virtual has virtual devices for Linux only"), mac);
    }

    @Test
    void eachJarOnTheClassPathBringsItsOwnIndex() throws IOException {
        Path main = temp.resolve("main");
        Path virtual = temp.resolve("virtual");
        for (Path root : List.of(main, virtual)) {
            Files.createDirectories(root.resolve(NativeLoader.RESOURCE_ROOT));
        }
        Files.writeString(main.resolve(NativeLoader.INDEX), "windows-x86_64/vestaro64_12.dll\n");
        Files.writeString(virtual.resolve(NativeLoader.INDEX), "linux-x86_64/libvestaro64_12.so\n");
        Path library = virtual.resolve(NativeLoader.RESOURCE_ROOT + "linux-x86_64/libvestaro64_12.so");
        Files.createDirectories(library.getParent());
        Files.writeString(library, "virtual");
        ClassLoader both = new URLClassLoader(new URL[] {main.toUri().toURL(), virtual.toUri().toURL()}, null);

        NativeLoader loader = linux64("", both);
        assertEquals(List.of("windows-x86_64/vestaro64_12.dll", "linux-x86_64/libvestaro64_12.so"), loader.index());
        NativeLoader.Extraction extraction = loader.extract();
        assertEquals("virtual", Files.readString(extraction.library()));
        assertTrue(extraction.delete());
    }

    @Test
    void extractionGoesToAPrivateFolderAndSweepsOnlyAbandonedOnes() throws Exception {
        ClassLoader jar = jarWith("linux-x86_64/libwinsim.so", "linux-x86_64/libvestaro64_12.so",
                "linux-x86_64/../escape.so", "windows-x86/vestaro32_12.dll");
        Path tmp = Files.createDirectories(temp.resolve("tmp"));
        Path abandoned = Files.createDirectories(tmp.resolve("vestaro-abandoned"));
        FileTime old = FileTime.from(Instant.now().minusSeconds(3600));
        Files.setLastModifiedTime(Files.writeString(abandoned.resolve(".lock"), ""), old);
        Path starting = Files.createDirectories(tmp.resolve("vestaro-starting"));
        Files.writeString(starting.resolve(".lock"), ""); // too young to judge
        Path foreign = Files.createDirectories(tmp.resolve("vestaro-nolock"));

        NativeLoader.Extraction extraction = linux64("", jar).extract();

        assertNotNull(extraction);
        Path folder = extraction.folder();
        assertEquals(folder.resolve("libvestaro64_12.so"), extraction.library());
        assertEquals("content of linux-x86_64/libwinsim.so", Files.readString(folder.resolve("libwinsim.so")));
        assertFalse(Files.exists(folder.resolve("vestaro32_12.dll")), "only this platform's files");
        assertFalse(Files.exists(tmp.resolve("escape.so")) || Files.exists(folder.resolve("escape.so")));
        if (folder.getFileSystem().supportedFileAttributeViews().contains("posix")) {
            assertEquals("rwx------", PosixFilePermissions.toString(Files.getPosixFilePermissions(folder)));
        }
        assertFalse(Files.exists(abandoned));
        assertTrue(Files.exists(starting) && Files.exists(foreign));

        // Another sweep leaves this folder alone while its lock is held, however old the lock file.
        Files.setLastModifiedTime(folder.resolve(".lock"), old);
        linux64("", jar).sweep();
        assertTrue(Files.exists(folder));

        assertTrue(extraction.delete());
        assertFalse(Files.exists(folder));
    }

    @Test
    void loadsTheNamedLibraryOnceAndAgainIsANoOp() {
        String named = System.getProperty("vestaro.library");
        assumeTrue(named != null, "-Dvestaro.library names no library");

        NativeLibrary.load();
        NativeLibrary.load();

        assertTrue(NativeLibrary.isLoaded());
        assertTrue(WIAManager.isSupported());
        assertEquals(Path.of(named).toAbsolutePath().resolve(NativeLoader.forThisJvm().fileName()),
                NativeLibrary.location());
    }

    /**
     * In a VM of its own, as a user runs the artifacts: nothing on java.library.path, so the
     * virtual artifact's copy must load, below the folder that vestaro.tmpdir names, and it
     * must acquire a real image. The diagnostic lines show that the library read the debug
     * switch that the command line set before the load.
     */
    @Test
    void theJarsCopyLoadsBelowTheNamedFolderAcquiresAndLeavesNothingBehind() throws Exception {
        Path out = temp.resolve("out");
        Path extractHere = temp.resolve("extract here");
        Jar.Result scan = Jar.runWith(Files.createDirectories(temp.resolve("vm")), null,
                List.of("-Dvestaro.tmpdir=" + extractHere), "--debug", "scan", "-r", "75", "-o", out.toString());

        assertEquals(0, scan.status(), scan.toString());
        assertTrue(scan.err().contains("vestaro: loaded " + extractHere.resolve("vestaro-")), scan.toString());
        assertTrue(scan.err().contains(" from the jar"), scan.toString());
        assertTrue(scan.err().contains("Item property storage:"), scan.toString());
        assertEquals("637x876 color", Images.describe(out.resolve("scan-001.jpg")));
        assertEquals(List.of(), Images.names(extractHere), "the extraction folder is gone");
        assertEquals(List.of(), Images.names(scan.tmp()), "the platform's file is gone");
    }

    /** The shipped library without the stand-in beside it: the system's reason, through the command line. */
    @Test
    void aLibraryThatCannotLoadIsReportedWithTheSystemsOwnReason() throws Exception {
        assumeTrue(!NativeLoader.forThisJvm().isWindows());
        Path alone = Files.createDirectories(temp.resolve("alone"));
        try (JarFile jar = new JarFile(Jar.virtualJar());
                InputStream in = jar.getInputStream(jar.getJarEntry(NativeLoader.RESOURCE_ROOT + "linux-x86_64/libvestaro64_12.so"))) {
            Files.copy(in, alone.resolve("libvestaro64_12.so"));
        }
        Jar.Result list = Jar.runWith(Files.createDirectories(temp.resolve("vm")), null,
                List.of("-Dvestaro.library=" + alone), "list");

        assertEquals(1, list.status(), list.toString());
        assertTrue(list.err().contains("1. -Dvestaro.library=" + alone + ": " + alone.resolve("libvestaro64_12.so")
                + ": libwinsim.so: cannot open shared object file"), list.toString());
        assertFalse(list.err().contains("noexec"), list.toString());
    }

    /** Production on Linux: the main artifact alone finds no WIA platform and says which artifact to add. */
    @Test
    void theMainArtifactAloneOnLinuxIsPlainlyNotSupported() throws Exception {
        assumeTrue(!NativeLoader.forThisJvm().isWindows());
        Jar.Result list = Jar.runMainJarAlone(Files.createDirectories(temp.resolve("list")), "list");
        assertEquals(1, list.status(), list.toString());
        assertEquals("", list.out());
        assertTrue(list.err().contains("cannot open the WIA device manager: no native library vestaro64_12"), list.toString());
        assertTrue(list.err().contains("add kordin:vestaro-virtual to the class path"), list.toString());

        Path tests = Path.of(SupportProbe.class.getProtectionDomain().getCodeSource().getLocation().toURI());
        Jar.Result alone = Jar.runClass(Files.createDirectories(temp.resolve("alone")), null, false, tests,
                SupportProbe.class.getName());
        assertEquals("supported: false, devices: none" + System.lineSeparator(), alone.out(), alone.toString());
        Jar.Result virtual = Jar.runClass(Files.createDirectories(temp.resolve("virtual")), null, true, tests,
                SupportProbe.class.getName());
        assertEquals("supported: true, devices: Virtual Flatbed Scanner, Virtual Camera" + System.lineSeparator(),
                virtual.out(), virtual.toString());
    }
}
