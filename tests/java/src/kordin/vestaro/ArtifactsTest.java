package kordin.vestaro;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.InputStream;
import java.lang.module.Configuration;
import java.lang.module.ModuleFinder;
import java.lang.module.ModuleReference;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.util.HexFormat;
import java.util.List;
import java.util.Properties;
import java.util.Set;
import java.util.TreeSet;
import java.util.jar.Attributes;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;
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

    private static void assertDescribes(JarFile jar, String artifact, String module) throws IOException {
        Attributes manifest = jar.getManifest().getMainAttributes();
        assertEquals(VERSION, manifest.getValue("Implementation-Version"));
        assertEquals(module, manifest.getValue("Automatic-Module-Name"));
        assertEquals("ALL-UNNAMED", manifest.getValue("Enable-Native-Access"));

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
    }

    @Test
    void theMainArtifactCarriesTheApiAndTheWindowsLibrariesOnly() throws IOException {
        try (JarFile jar = new JarFile(Jar.jar())) {
            assertTrue(jar.getName().endsWith("/kordin/vestaro/" + VERSION + "/vestaro-" + VERSION + ".jar"), jar.getName());
            assertDescribes(jar, "vestaro", "kordin.vestaro");
            assertEquals("kordin.vestaro.cli.Main", jar.getManifest().getMainAttributes().getValue("Main-Class"));
            assertNotNull(jar.getJarEntry("kordin/vestaro/wia/WIAManager.class"));
            assertEquals(Set.of("index", "windows-x86", "windows-x86_64"), folders(jar, NativeLoader.RESOURCE_ROOT));
            assertEquals("windows-x86_64/vestaro64_12.dll\nwindows-x86/vestaro32_12.dll\n", text(jar, NativeLoader.INDEX));
        }
        try (JarFile sources = new JarFile(Jar.jar().replaceAll("\\.jar$", "-sources.jar"));
                JarFile javadoc = new JarFile(Jar.jar().replaceAll("\\.jar$", "-javadoc.jar"))) {
            assertTrue(text(sources, "kordin/vestaro/wia/WIAManager.java").contains("public static WIAManager open()"));
            assertTrue(text(javadoc, "kordin/vestaro/wia/WIAManager.html").contains("isSupported()"));
            assertNotNull(javadoc.getJarEntry("index.html"));
        }
    }

    @Test
    void theVirtualArtifactCarriesTheLinuxBuildAndNoClasses() throws IOException {
        try (JarFile jar = new JarFile(Jar.virtualJar())) {
            assertDescribes(jar, "vestaro-virtual", "kordin.vestaro.virtual");
            assertEquals(List.of(), jar.stream().map(JarEntry::getName).filter(name -> name.endsWith(".class")).toList());
            assertEquals(Set.of("index", "linux-x86_64"), folders(jar, NativeLoader.RESOURCE_ROOT));
            assertEquals(Set.of("libvestaro64_12.so", "libwinsim.so"), folders(jar, NativeLoader.RESOURCE_ROOT + "linux-x86_64/"));
            String pom = text(jar, "META-INF/maven/kordin/vestaro-virtual/pom.xml");
            assertTrue(pom.replaceAll("\\s", "").contains(
                    "<dependency><groupId>kordin</groupId><artifactId>vestaro</artifactId><version>" + VERSION + "</version>"), pom);
        }
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

        for (String artifact : List.of(Jar.jar(), Jar.virtualJar())) {
            byte[] digest = MessageDigest.getInstance("SHA-1").digest(Files.readAllBytes(Path.of(artifact)));
            assertEquals(HexFormat.of().formatHex(digest), Files.readString(Path.of(artifact + ".sha1")), artifact);
        }
    }
}
