/**
 * Scanners and digital cameras through WIA: {@link kordin.vestaro.wia.WIAManager} finds
 * them, {@link kordin.vestaro.wia.WIAScanner} scans a page and
 * {@link kordin.vestaro.wia.WIACamera} transfers pictures, each image as a file.
 *
 * <p>The module carries the native library for 64-bit and 32-bit Java VMs on Windows and for
 * 64-bit ones on Linux, and loads the one that fits ({@link kordin.vestaro.NativeLibrary});
 * on Linux it serves SANE's scanners and libgphoto2's cameras through a stand-in for the
 * Windows platform. The artifact {@code kordin:vestaro-virtual} adds a virtual scanner and
 * camera there, for tests; on the module path it is the automatic module
 * {@code kordin.vestaro.virtual}, which no module requires: add it with
 * {@code --add-modules kordin.vestaro.virtual}. On the module path, allow this module to
 * load its library with {@code --enable-native-access=kordin.vestaro}.
 */
module kordin.vestaro {
    // Transferred and kept images decode themselves into a java.awt.image.BufferedImage
    // through javax.imageio, so callers of the API need the module too.
    requires transitive java.desktop;
    // The command line shows the Java side's log messages through java.util.logging.
    requires java.logging;

    exports kordin.vestaro;
    exports kordin.vestaro.wia;
}
