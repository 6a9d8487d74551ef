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
import java.nio.charset.StandardCharsets;
import java.nio.file.FileSystem;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.time.Instant;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HexFormat;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.jar.JarFile;
import java.util.regex.Pattern;
import kordin.vestaro.testsupport.Images;
import kordin.vestaro.testsupport.Jar;
import kordin.vestaro.testsupport.SupportProbe;
import kordin.vestaro.wia.WIAManager;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class NativeLoaderTest {
    @TempDir
    Path temp;

    /** Resources as a jar would carry them: an index with each file's SHA-256, and the files it lists. */
    private ClassLoader jarWith(String... entries) throws IOException {
        return jarAt(temp.resolve("jar"), entries);
    }

    private static ClassLoader jarAt(Path root, String... entries) throws IOException {
        Path natives = root.resolve(NativeIndex.RESOURCE_ROOT);
        Files.createDirectories(natives);
        StringBuilder index = new StringBuilder();
        for (String entry : entries) {
            index.append(sha256("content of " + entry)).append("  ").append(entry).append('\n');
            Path file = natives.resolve(entry).normalize();
            if (file.startsWith(natives)) {
                Files.createDirectories(file.getParent());
                Files.writeString(file, "content of " + entry);
            }
        }
        Files.writeString(natives.resolve("index"), index);
        return new URLClassLoader(new URL[] {root.toUri().toURL()}, null);
    }

    private static String sha256(String content) {
        try {
            return HexFormat.of().formatHex(MessageDigest.getInstance("SHA-256").digest(content.getBytes(StandardCharsets.UTF_8)));
        } catch (NoSuchAlgorithmException e) {
            throw new AssertionError(e);
        }
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

        // Unnamed: the jar's copy, extracted, its companion loaded first by its own path so
        // that the system's search path cannot put another build's in its place.
        vm.calls.clear();
        NativeLoader.Loaded fromJar = linux64(onPath.toString(), jar).load(vm);
        assertEquals("the jar " + temp.resolve("jar").toUri().toURL(), fromJar.source());
        assertEquals(List.of("load libwinsim.so", "load libvestaro64_12.so"), vm.calls);
        assertTrue(Files.isRegularFile(fromJar.extraction().folder().resolve("libwinsim.so")));
        assertTrue(fromJar.extraction().delete());

        // The jar's copy refused: its folder goes, and java.library.path is tried last, by name.
        vm.calls.clear();
        vm.refusals.put("libvestaro64_12.so", "libjpeg.so.62: cannot open shared object file");
        NativeLoader.Loaded fromPath = linux64(onPath.toString(), jar).load(vm);
        assertEquals(List.of("load libwinsim.so", "load libvestaro64_12.so", "loadLibrary vestaro64_12"), vm.calls);
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
                        + " \\(they carry windows-x86_64, windows-x86\\)",
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
        assertTrue(mac.contains("; WIA is a Windows platform, and the Linux build that serves SANE's scanners and"
                + " libgphoto2's cameras is for Linux only"), mac);
    }

    @Test
    void eachJarOnTheClassPathBringsItsOwnIndexAndEachFileComesFromTheJarThatListsIt() throws IOException {
        Path main = temp.resolve("main");
        Path virtual = temp.resolve("virtual");
        jarAt(main, "windows-x86_64/vestaro64_12.dll");
        jarAt(virtual, "linux-x86_64/libwinsim.so", "linux-x86_64/libvestaro64_12.so");
        // A file of the same name in the first jar, which its index does not list, stays unused.
        Path stray = main.resolve(NativeIndex.RESOURCE_ROOT + "linux-x86_64/libvestaro64_12.so");
        Files.createDirectories(stray.getParent());
        Files.writeString(stray, "stray");
        ClassLoader both = new URLClassLoader(new URL[] {main.toUri().toURL(), virtual.toUri().toURL()}, null);

        NativeLoader loader = linux64("", both);
        assertEquals(List.of("windows-x86_64/vestaro64_12.dll", "linux-x86_64/libwinsim.so", "linux-x86_64/libvestaro64_12.so"),
                loader.index().stream().map(CarriedFile::entry).toList());
        Extraction extraction = loader.extract();
        assertEquals("content of linux-x86_64/libvestaro64_12.so", Files.readString(extraction.library()));
        assertEquals(List.of(extraction.folder().resolve("libwinsim.so")), extraction.companions());
        assertEquals(virtual.toUri().toURL().toString(), extraction.origin());
        assertTrue(extraction.delete());
    }

    /**
     * A jar whose index gives no checksum for a file cannot show that the file is its own:
     * refused, and no other copy stands in for it (a file that differs from its checksum:
     * aJarWhoseNativesWereSwappedIsRefusedByTheCommandLine).
     */
    @Test
    void aFileThatCannotBeCheckedIsRefusedAndNothingStandsInForIt() throws IOException {
        Path unchecked = temp.resolve("unchecked");
        jarAt(unchecked, "linux-x86_64/libvestaro64_12.so");
        Files.writeString(unchecked.resolve(NativeIndex.INDEX), "linux-x86_64/libvestaro64_12.so\n");
        Path onPath = Files.createDirectories(temp.resolve("on-path"));
        Files.writeString(onPath.resolve("libvestaro64_12.so"), "");
        RecordingVm vm = new RecordingVm();

        String refused = assertThrows(UnsatisfiedLinkError.class, () -> linux64(onPath.toString(),
                new URLClassLoader(new URL[] {unchecked.toUri().toURL()}, null)).load(vm)).getMessage();
        assertLinesMatch(List.of(".*tried in order:", "  1. the jar's copy: libvestaro64_12.so cannot be checked: "
                + unchecked.toUri().toURL() + " lists kordin/vestaro/native/linux-x86_64/libvestaro64_12.so without its SHA-256",
                "  2. nothing else is tried while a jar carries natives that are not the ones it was built with"),
                refused.lines().toList());
        assertEquals(List.of(), vm.calls, "nothing loaded");
        assertEquals(List.of(), Images.names(temp.resolve("tmp")), "the refused extraction was deleted");
    }

    /** System.load takes absolute paths only; build tools often pass a relative java.io.tmpdir. */
    @Test
    void aRelativeExtractionFolderIsTakenFromTheWorkingFolder() throws IOException {
        NativeLoader loader = new NativeLoader("Linux", "amd64", "64", "", Path.of("relative-tmp"),
                jarWith("linux-x86_64/libvestaro64_12.so"));
        Extraction extraction = loader.extract();
        try {
            assertTrue(extraction.library().isAbsolute(), extraction.library().toString());
            assertEquals(Path.of("relative-tmp").toAbsolutePath(), extraction.folder().getParent());
        } finally {
            extraction.delete();
            Files.deleteIfExists(Path.of("relative-tmp"));
        }
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

        Extraction extraction = linux64("", jar).extract();

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
        assertEquals(Optional.empty(), WIAManager.unsupportedReason());
        assertEquals(Path.of(named).toAbsolutePath().resolve(NativeLoader.forThisJvm().fileName()),
                NativeLibrary.location());
    }

    /**
     * In a VM of its own, as a user runs the artifacts: nothing on java.library.path, so the
     * main artifact's copy must load, below the folder that vestaro.tmpdir names, and it
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
        try (JarFile jar = new JarFile(Jar.jar());
                InputStream in = jar.getInputStream(jar.getJarEntry(NativeIndex.RESOURCE_ROOT + "linux-x86_64/libvestaro64_12.so"))) {
            Files.copy(in, alone.resolve("libvestaro64_12.so"));
        }
        Jar.Result list = Jar.runWith(Files.createDirectories(temp.resolve("vm")), null,
                List.of("-Dvestaro.library=" + alone), "list");

        assertEquals(1, list.status(), list.toString());
        assertTrue(list.err().contains("1. -Dvestaro.library=" + alone + ": " + alone.resolve("libvestaro64_12.so")
                + ": libwinsim.so: cannot open shared object file"), list.toString());
        assertFalse(list.err().contains("noexec"), list.toString());
    }

    /**
     * Production on Linux: the main artifact alone has the platform, its drivers' devices and
     * no virtual device, even with a device set in the environment; the virtual artifact beside
     * it adds them.
     */
    @Test
    void theMainArtifactAloneOnLinuxHasThePlatformWithoutTheVirtualDevices() throws Exception {
        assumeTrue(System.getProperty("os.name").startsWith("Linux"));
        Jar.Result list = Jar.runMainJarAlone(Files.createDirectories(temp.resolve("list")), "list");
        assertEquals(0, list.status(), list.toString());
        assertEquals("no WIA device found", list.out().strip(), "the drivers' devices alone, and the test presets allow"
                + " only the virtual ones\n" + list);

        String deviceSet = "[{\"kind\": \"scanner\", \"id\": \"set\", \"name\": \"Set Scanner\"}]";
        Jar.Result alone = Jar.runClass(Files.createDirectories(temp.resolve("alone")), deviceSet, false, tests(),
                SupportProbe.class.getName());
        assertTrue(alone.out().contains("supported: true, devices: none" + System.lineSeparator()), alone.toString());
        assertFalse(alone.out().contains("reason: "), alone.toString());
        assertTrue(alone.err().contains("WINSIM_DEVICES"), "the ignored device set is named\n" + alone);
        Jar.Result virtual = Jar.runClass(Files.createDirectories(temp.resolve("virtual")), null, true, tests(),
                SupportProbe.class.getName());
        assertTrue(virtual.out().contains("supported: true, devices: Virtual Flatbed Scanner, Virtual Camera"
                + System.lineSeparator()), virtual.toString());
    }

    private static Path tests() throws Exception {
        return Path.of(SupportProbe.class.getProtectionDomain().getCodeSource().getLocation().toURI());
    }

    /**
     * Another libwinsim.so first on LD_LIBRARY_PATH (one that lacks the platform's symbols):
     * the jar's own companion is loaded by its path, so the library loads, works and maps
     * the extracted stand-in only.
     */
    @Test
    void theJarsOwnPlatformLoadsWhateverTheSystemsSearchPathHolds() throws Exception {
        assumeTrue(System.getProperty("os.name").startsWith("Linux"));
        String foreign = System.getProperty("vestaro.foreign.winsim");
        assertNotNull(foreign, "-Dvestaro.foreign.winsim names the folder of another libwinsim.so");
        Path work = Files.createDirectories(temp.resolve("foreign"));
        Jar.Result probe = Jar.runClass(work, null, Map.of("LD_LIBRARY_PATH", foreign), true, tests(),
                SupportProbe.class.getName());

        assertEquals(0, probe.status(), probe.toString());
        assertTrue(probe.out().contains("supported: true, devices: Virtual Flatbed Scanner, Virtual Camera"), probe.toString());
        List<String> platform = probe.out().lines().filter(line -> line.startsWith("platform: ")).toList();
        assertEquals(1, platform.size(), probe.toString());
        assertTrue(platform.get(0).matches("platform: " + Pattern.quote(probe.tmp().toString()) + "/vestaro-[0-9]+/libwinsim\\.so"
                + "( \\(deleted\\))?"), probe.toString());
    }

    /** A jar whose stand-in was swapped for another file after the build: refused, by file and jar. */
    @Test
    void aJarWhoseNativesWereSwappedIsRefusedByTheCommandLine() throws Exception {
        assumeTrue(System.getProperty("os.name").startsWith("Linux"));
        Path folder = Files.createDirectories(temp.resolve("swapped"));
        Path swapped = Files.copy(Path.of(Jar.jar()), folder.resolve("vestaro.jar"));
        try (FileSystem jar = FileSystems.newFileSystem(swapped)) {
            Files.copy(Path.of(System.getProperty("vestaro.foreign.winsim"), "libwinsim.so"),
                    jar.getPath(NativeIndex.RESOURCE_ROOT + "linux-x86_64/libwinsim.so"), StandardCopyOption.REPLACE_EXISTING);
        }
        Jar.Result list = Jar.runJava(Files.createDirectories(temp.resolve("vm")),
                List.of("-cp", swapped + File.pathSeparator + Jar.virtualJar(), "kordin.vestaro.cli.Main", "list"));

        assertEquals(1, list.status(), list.toString());
        assertTrue(list.err().contains("1. the jar's copy: libwinsim.so is not the file its jar was built with: jar:"
                + swapped.toUri().toURL() + "!/kordin/vestaro/native/linux-x86_64/libwinsim.so has SHA-256 "), list.toString());
        assertTrue(list.err().contains("2. nothing else is tried while a jar carries natives that are not the ones it was built with"),
                list.toString());
        assertEquals(List.of(), Images.names(list.tmp()), "the refused extraction was deleted");
    }

    /** A relative java.io.tmpdir or vestaro.tmpdir, as build tools pass them, names a folder below the working folder. */
    @Test
    void relativeTemporaryFoldersAreTakenFromTheWorkingFolder() throws Exception {
        for (String option : List.of("-Djava.io.tmpdir=reltmp", "-Dvestaro.tmpdir=relative/extract")) {
            Path work = Files.createDirectories(temp.resolve(option.substring(2, option.indexOf('='))));
            Jar.Result list = Jar.runWith(work, null, List.of(option), "--debug", "list");
            assertEquals(0, list.status(), list.toString());
            Path below = work.resolve(option.substring(option.indexOf('=') + 1));
            assertTrue(list.err().contains("vestaro: loaded " + below.resolve("vestaro-")), list.toString());
        }
    }
}
