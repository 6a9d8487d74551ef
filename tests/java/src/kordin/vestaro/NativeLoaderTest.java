package kordin.vestaro;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.File;
import java.io.IOException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.Instant;
import java.util.List;
import kordin.vestaro.testsupport.Images;
import kordin.vestaro.testsupport.Jar;
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

    @Test
    void nothingFitsGivesOneErrorNamingWhatAndWhere() throws IOException {
        ClassLoader jar = jarWith("linux-x86_64/libwinsim.so", "linux-x86_64/libvestaro64_12.so",
                "windows-x86_64/vestaro64_12.dll", "windows-x86/vestaro32_12.dll");
        String path = String.join(File.pathSeparator, "/opt/a", "/opt/b");
        NativeLoader linux32 = new NativeLoader("Linux", "i386", "32", path, temp.resolve("tmp"), jar);

        assertNull(linux32.findOnLibraryPath());
        assertNull(linux32.extract());
        String message = linux32.notFound().getMessage();
        for (String expected : new String[] {"vestaro32_12", "libvestaro32_12.so", "/opt/a", "/opt/b",
                "linux-x86/libvestaro32_12.so", "linux-x86_64, windows-x86_64, windows-x86"}) {
            assertTrue(message.contains(expected), expected + " in: " + message);
        }
        String withoutJar = linux64("", new URLClassLoader(new URL[0], null)).notFound().getMessage();
        assertTrue(withoutJar.contains("no jar with native libraries"), withoutJar);
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
    void loadsFromTheLibraryPathOnceAndAgainIsANoOp() {
        String libraryPath = System.getProperty("java.library.path", "");
        Path expected = NativeLoader.forThisJvm().findOnLibraryPath();
        assumeTrue(expected != null, "the library is not on java.library.path: " + libraryPath);

        NativeLibrary.load();
        NativeLibrary.load();

        assertTrue(NativeLibrary.isLoaded());
        assertEquals(expected, NativeLibrary.location());
    }

    /**
     * In a VM of its own, as a user runs the jar: nothing on java.library.path, so the jar's
     * copy must load, and it must acquire a real image. The diagnostic lines show that the
     * library read the debug switch that the command line set before the load.
     */
    @Test
    void theJarAloneLoadsTheLibraryAcquiresAndLeavesNoFolderBehind() throws Exception {
        Path out = temp.resolve("out");
        Jar.Result scan = Jar.run(Files.createDirectories(temp.resolve("vm")), null,
                "--debug", "scan", "-r", "75", "-o", out.toString());

        assertEquals(0, scan.status(), scan.toString());
        assertTrue(scan.err().contains("vestaro: loaded " + scan.tmp().resolve("vestaro-")), scan.toString());
        assertTrue(scan.err().contains(" from the jar"), scan.toString());
        assertTrue(scan.err().contains("Item property storage:"), scan.toString());
        assertEquals("637x876 color", Images.describe(out.resolve("scan-001.jpg")));
        assertEquals(List.of(), Images.names(scan.tmp()), "the extraction folder and the platform's file are gone");
    }
}
