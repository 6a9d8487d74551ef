package kordin.vestaro;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.InputStream;
import java.lang.module.Configuration;
import java.lang.module.ModuleDescriptor;
import java.lang.module.ModuleFinder;
import java.lang.module.ModuleReference;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.util.HexFormat;
import java.util.List;
import java.util.Optional;
import java.util.Properties;
import java.util.Set;
import java.util.TreeSet;
import java.util.jar.Attributes;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;
import java.util.regex.Pattern;
import kordin.vestaro.testsupport.Jar;
import org.junit.jupiter.api.Test;

/** The artifacts as a build tool takes them from the repository the build wrote. */
class ArtifactsTest {
    private static final String VERSION = System.getProperty("vestaro.version");

    private static String text(JarFile jar, String name) throws IOException {
        JarEntry entry = jar.getJarEntry(name);
        assertNotNull(entry, name + " in " + jar.getName());
        try (InputStream in = jar.getInputStream(entry)) {
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        }
    }

    /** The entries below a folder, and the set of their first path component after it. */
    private static Set<String> folders(JarFile jar, String prefix) {
        Set<String> folders = new TreeSet<>();
        jar.stream().map(JarEntry::getName).filter(name -> name.startsWith(prefix) && name.length() > prefix.length())
                .forEach(name -> folders.add(name.substring(prefix.length()).split("/")[0]));
        return folders;
    }

    /** What every jar of the artifacts carries: the licence in its manifest and as a file, and one fixed time on every entry. */
    private static void assertLicensedAndStamped(JarFile jar) throws IOException {
        assertEquals("Apache-2.0;link=\"https://www.apache.org/licenses/LICENSE-2.0.txt\"",
                jar.getManifest().getMainAttributes().getValue("Bundle-License"), jar.getName());
        assertEquals(Files.readString(Path.of(System.getProperty("vestaro.license"))), text(jar, "META-INF/LICENSE"));
        Set<Long> times = new TreeSet<>();
        jar.stream().forEach(entry -> times.add(entry.getTime()));
        assertEquals(1, times.size(), "every entry of " + jar.getName() + " has the commit's time: " + times);
    }

    /** The -sources and -javadoc jars beside an artifact's jar. */
    private static JarFile beside(String jar, String classifier) throws IOException {
        return new JarFile(jar.replaceAll("\\.jar$", "-" + classifier + ".jar"));
    }

    private static void assertDescribes(JarFile jar, String artifact, String automaticModule) throws IOException {
        Attributes manifest = jar.getManifest().getMainAttributes();
        assertEquals(VERSION, manifest.getValue("Implementation-Version"));
        assertEquals(automaticModule, manifest.getValue("Automatic-Module-Name"));
        assertEquals("ALL-UNNAMED", manifest.getValue("Enable-Native-Access"));
        assertEquals("kordin.vestaro.cli.Main", manifest.getValue("Main-Class"));
        assertLicensedAndStamped(jar);

        String folder = "META-INF/maven/kordin/" + artifact + "/";
        Properties properties = new Properties();
        properties.load(jar.getInputStream(jar.getJarEntry(folder + "pom.properties")));
        assertEquals("kordin", properties.getProperty("groupId"));
        assertEquals(artifact, properties.getProperty("artifactId"));
        assertEquals(VERSION, properties.getProperty("version"));
        String pom = text(jar, folder + "pom.xml");
        assertTrue(pom.contains("<artifactId>" + artifact + "</artifactId>\n  <version>" + VERSION + "</version>"), pom);
        assertEquals(pom, Files.readString(Path.of(jar.getName().replaceAll("\\.jar$", ".pom"))),
                "the repository's POM is the one inside");
        // What a public repository asks of a POM.
        String flat = pom.replaceAll("\\s", "");
        assertTrue(flat.contains("<licenses><license><name>Apache-2.0</name><url>https://www.apache.org/licenses/LICENSE-2.0.txt</url>"), pom);
        assertTrue(flat.matches("(?s).*<url>https://[^<]+</url>.*<developers><developer><id>[^<]+</id><name>[^<]+</name>.*"
                + "<scm><url>https://[^<]+</url><connection>scm:git:[^<]+</connection>.*"), pom);
    }

    /** Each line of a jar's index is "<sha256>  folder/name", and the file it names has that checksum. */
    private static String assertIndexChecks(JarFile jar) throws Exception {
        StringBuilder listed = new StringBuilder();
        for (String line : text(jar, NativeIndex.INDEX).split("\n")) {
            String[] fields = line.split("  ", 2);
            try (InputStream in = jar.getInputStream(jar.getJarEntry(NativeIndex.RESOURCE_ROOT + fields[1]))) {
                assertEquals(HexFormat.of().formatHex(MessageDigest.getInstance("SHA-256").digest(in.readAllBytes())), fields[0], line);
            }
            listed.append(fields[1]).append('\n');
        }
        return listed.toString();
    }

    @Test
    void theMainArtifactCarriesTheApiAndTheLibrariesOfWindowsAndLinux() throws Exception {
        try (JarFile jar = new JarFile(Jar.jar())) {
            assertTrue(jar.getName().endsWith("/kordin/vestaro/" + VERSION + "/vestaro-" + VERSION + ".jar"), jar.getName());
            assertDescribes(jar, "vestaro", null);
            assertNotNull(jar.getJarEntry("kordin/vestaro/wia/WIAManager.class"));
            assertEquals(Set.of("index", "linux-x86_64", "windows-x86", "windows-x86_64"), folders(jar, NativeIndex.RESOURCE_ROOT));
            assertEquals(Set.of("libvestaro64_12.so", "libwinsim.so"), folders(jar, NativeIndex.RESOURCE_ROOT + "linux-x86_64/"),
                    "no virtual devices in production");
            assertEquals("windows-x86_64/vestaro64_12.dll\nwindows-x86/vestaro32_12.dll\nlinux-x86_64/libwinsim.so\n"
                    + "linux-x86_64/libvestaro64_12.so\n", assertIndexChecks(jar),
                    "the stand-in before the library: the loader loads the companions in index order");
        }
        try (JarFile sources = beside(Jar.jar(), "sources"); JarFile javadoc = beside(Jar.jar(), "javadoc")) {
            assertTrue(text(sources, "kordin/vestaro/wia/WIAManager.java").contains("public static WIAManager open()"));
            assertNotNull(sources.getJarEntry("module-info.java"));
            assertNotNull(sources.getJarEntry("src/jni/wia/WIAManager.cpp"), "the C++ sources of the Linux libraries");
            assertNotNull(sources.getJarEntry("winsim/include/winsim/devices.h"));
            assertLicensedAndStamped(sources);
            assertLicensedAndStamped(javadoc);
        }
    }

    /**
     * The module's exported packages with an overview page; the members that only the
     * native library and its test hosts use are not in it.
     */
    @Test
    void theJavadocShowsTheApiWithoutTheMembersTheNativesBindTo() throws IOException {
        try (JarFile javadoc = beside(Jar.jar(), "javadoc")) {
            assertTrue(text(javadoc, "index.html").contains("WIAManager.open()"), "the overview is the front page");
            String prefix = "kordin.vestaro/kordin/vestaro/";
            String manager = text(javadoc, prefix + "wia/WIAManager.html");
            assertTrue(manager.contains("id=\"isSupported()\"") && manager.contains("id=\"unsupportedReason()\""));
            assertTrue(manager.contains("id=\"createDevice(java.lang.String,long,int,java.lang.String)\""));
            for (String hidden : List.of("id=\"_initialize()\"", "id=\"_poll(long)\"", "id=\"_release(long)\"",
                    "id=\"add(java.lang.String,long,int,java.lang.String)\"")) {
                assertFalse(manager.contains(hidden), hidden);
            }
            String scanner = text(javadoc, prefix + "wia/WIAScanner.html");
            assertTrue(scanner.contains("id=\"setResolution(int)\""));
            for (String hidden : List.of("_transfer(", "id=\"bitDepth\"", "id=\"resolution\"", "id=\"x\"", "id=\"y\"",
                    "id=\"width\"", "id=\"height\"")) {
                assertFalse(scanner.contains(hidden), hidden);
            }
            assertFalse(text(javadoc, prefix + "wia/WIADevice.html").contains("_release("));
            assertFalse(text(javadoc, prefix + "wia/WIACamera.html").contains("_transfer("));
            assertEquals(List.of(), javadoc.stream().map(JarEntry::getName).filter(name -> name.contains("/cli/")).toList(),
                    "the command line's package is not exported");
        }
    }

    @Test
    void theVirtualArtifactCarriesOnlyTheMarkerOfTheVirtualDevices() throws Exception {
        try (JarFile jar = new JarFile(Jar.virtualJar())) {
            assertDescribes(jar, "vestaro-virtual", "kordin.vestaro.virtual");
            // java -jar ignores -cp: the jar names the main jar beside it.
            assertEquals("vestaro-" + VERSION + ".jar", jar.getManifest().getMainAttributes().getValue("Class-Path"));
            assertEquals(List.of(), jar.stream().map(JarEntry::getName).filter(name -> name.endsWith(".class")).toList());
            assertEquals(Set.of("index", "linux-x86_64"), folders(jar, NativeIndex.RESOURCE_ROOT));
            assertEquals(Set.of("winsim-virtual-devices"), folders(jar, NativeIndex.RESOURCE_ROOT + "linux-x86_64/"));
            assertEquals("linux-x86_64/winsim-virtual-devices\n", assertIndexChecks(jar));
            String pom = text(jar, "META-INF/maven/kordin/vestaro-virtual/pom.xml");
            assertTrue(pom.replaceAll("\\s", "").contains(
                    "<dependency><groupId>kordin</groupId><artifactId>vestaro</artifactId><version>" + VERSION + "</version>"), pom);
        }
        try (JarFile sources = beside(Jar.virtualJar(), "sources"); JarFile javadoc = beside(Jar.virtualJar(), "javadoc")) {
            assertTrue(text(sources, "winsim/winsim-virtual-devices").contains("installs winsim's virtual devices"));
            assertTrue(text(javadoc, "index.html").contains("kordin:vestaro:" + VERSION), "points to the API's Javadoc");
            assertLicensedAndStamped(sources);
            assertLicensedAndStamped(javadoc);
        }
    }

    /** The main artifact is a module of its own, exporting the API's packages only. */
    @Test
    void theMainArtifactIsTheModuleKordinVestaroExportingTheApiOnly() {
        ModuleDescriptor module = ModuleFinder.of(Path.of(Jar.jar())).findAll().iterator().next().descriptor();
        assertEquals("kordin.vestaro", module.name());
        assertFalse(module.isAutomatic());
        assertEquals(Optional.of(VERSION), module.rawVersion());
        assertEquals(Optional.of("kordin.vestaro.cli.Main"), module.mainClass());
        assertEquals(Set.of("kordin.vestaro", "kordin.vestaro.wia"),
                module.exports().stream().filter(export -> !export.isQualified()).map(ModuleDescriptor.Exports::source)
                        .collect(java.util.stream.Collectors.toSet()));
        assertEquals(2, module.exports().size(), "no qualified exports");
        assertTrue(module.packages().contains("kordin.vestaro.cli"));
    }

    @Test
    void bothAreModulesOfTheirOwnNamesThatResolveTogetherAndCarryTheirChecksums() throws Exception {
        ModuleFinder finder = ModuleFinder.of(Path.of(Jar.jar()), Path.of(Jar.virtualJar()));
        Set<String> names = new TreeSet<>();
        for (ModuleReference module : finder.findAll()) {
            names.add(module.descriptor().name());
        }
        assertEquals(Set.of("kordin.vestaro", "kordin.vestaro.virtual"), names);
        Configuration.empty().resolve(finder, ModuleFinder.ofSystem(), names); // no package in both

        Path repository = Path.of(System.getProperty("vestaro.repository"));
        List<Path> published;
        try (var files = Files.walk(repository)) {
            published = files.filter(file -> file.toString().matches(".*\\.(jar|pom|xml)")).sorted().toList();
        }
        for (String artifact : List.of("vestaro", "vestaro-virtual")) {
            Path folder = repository.resolve("kordin/" + artifact);
            for (String file : List.of(VERSION + "/" + artifact + "-" + VERSION + ".jar", VERSION + "/" + artifact + "-" + VERSION
                    + "-sources.jar", VERSION + "/" + artifact + "-" + VERSION + "-javadoc.jar", VERSION + "/" + artifact + "-"
                    + VERSION + ".pom", "maven-metadata.xml")) {
                assertTrue(published.contains(folder.resolve(file)), folder.resolve(file) + " in " + published);
            }
            String metadata = Files.readString(folder.resolve("maven-metadata.xml")).replaceAll("\\s", "");
            assertTrue(metadata.matches("<\\?xml.*\\?><metadata><groupId>kordin</groupId><artifactId>" + artifact
                    + "</artifactId><versioning><latest>" + Pattern.quote(VERSION) + "</latest><release>" + Pattern.quote(VERSION)
                    + "</release><versions><version>" + Pattern.quote(VERSION) + "</version></versions>"
                    + "<lastUpdated>[0-9]{14}</lastUpdated></versioning></metadata>"), metadata);
        }
        for (Path file : published) {
            for (String algorithm : List.of("MD5", "SHA-1", "SHA-256")) {
                byte[] digest = MessageDigest.getInstance(algorithm).digest(Files.readAllBytes(file));
                Path sum = Path.of(file + "." + algorithm.toLowerCase(java.util.Locale.ROOT).replace("-", ""));
                assertEquals(HexFormat.of().formatHex(digest), Files.readString(sum), sum.toString());
            }
        }
    }
}
