package kordin.vestaro.wia;

import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import kordin.vestaro.VestaroException;
import kordin.vestaro.testsupport.Images;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * Scans with the real library on the virtual scanners, read back as a caller would: the
 * files kept in the folder decode with the size and colour mode that the settings ask for.
 * The default scanner's bed is 8.5 by 11.693 inches; its resolution runs from 50 to 1200
 * dots per inch, 150 unless set.
 */
@ExtendWith(WinsimExtension.class)
class ScannerTest {
    @TempDir
    Path temp;

    private static String scannerSet(String formats, boolean deep) {
        return "[{\"kind\": \"scanner\", \"id\": \"s\", \"name\": \"S\", \"formats\": " + formats
                + ", \"deepColour\": " + deep + "}]";
    }

    /** The bed is 1753 pixels high at the device's 150 dpi; a new resolution rescales that extent. */
    @Test
    void theDefaultSettingsScanTheWholeBedInColourAt300Dpi() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            List<Path> kept = manager.getScanners().get(0).scan(false, temp);

            assertEquals(List.of(temp.resolve("scan-001.jpg")), kept);
            assertEquals("2550x3506 color", describe(kept.get(0)));
        }
    }

    /** The size decoded, and the size and resolution that the file's header reports. */
    private static String scanned(WIAScanner scanner, Path folder) throws Exception {
        ImageFolder kept = new ImageFolder(folder, "scan");
        List<ImageHeader> delivered = new ArrayList<>();
        scanner.scan(false, image -> {
            delivered.add(image.getHeader());
            kept.keep(image);
        });
        KeptImage image = kept.images().get(0);
        ImageHeader header = image.header();
        assertSame(delivered.get(0), header, "the folder keeps the header the image arrived with");
        assertEquals(header.getXResolution(), header.getYResolution());
        return describe(image.file()) + ", header " + header.getWidth() + "x" + header.getHeight() + " "
                + header.getXResolution() + " dpi";
    }

    @ParameterizedTest(name = "{0} dpi, area {1}: {2}")
    @CsvSource(delimiter = ';', value = {
        "150; 10 20 300 400; 300x400; 150",
        // -1 keeps the device's extent, which the new position shrinks to stay on the bed.
        "100; 100 200 -1 -1; 750x969; 100",
        "100; -1 -1 -1 50; 850x50; 100",
        // Values the device refuses leave its own in force, and the scan goes on: only the
        // file's header tells.
        "100; 0 0 5000 5000; 850x1169; 100",
        "5000; -1 -1 -1 -1; 1275x1753; 150",
        "1; -1 -1 -1 -1; 1275x1753; 150",
    })
    void resolutionAndAreaGiveTheImagesSizeAndTheHeaderTellsWhatTheDeviceUsed(int dpi, String area, String size,
            int usedDpi) throws Exception {
        int[] frame = Arrays.stream(area.split(" ")).mapToInt(Integer::parseInt).toArray();
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = manager.getScanners().get(0);
            scanner.setResolution(dpi);
            scanner.setArea(frame[0], frame[1], frame[2], frame[3]);

            assertEquals(size + " color, header " + size + " " + usedDpi + " dpi", scanned(scanner, temp));
        }
    }

    /**
     * JPEG and BMP files carry at most 8 bits per channel: the deep modes arrive as 8 and 24
     * bits, and the header says so; a JPEG holds black and white as 8-bit grey.
     */
    @ParameterizedTest(name = "{0} {1} {2}")
    @CsvSource({
        "jpeg, BLACK_AND_WHITE, bw, 8",
        "jpeg, GRAY_8, gray, 8",
        "jpeg, GRAY_16, gray, 8",
        "jpeg, COLOR_24, color, 24",
        "jpeg, COLOR_48, color, 24",
        "bmp, BLACK_AND_WHITE, bw, 1",
        "bmp, GRAY_8, gray, 8",
        "bmp, GRAY_16, gray, 8",
        "bmp, COLOR_24, color, 24",
        "bmp, COLOR_48, color, 24",
    })
    void eachColourModeArrivesAsTheImagesModeWithTheDepthTheFileHolds(String format, ColorMode mode, String expected,
            int bits) throws Exception {
        Winsim.loadDevices(scannerSet("[\"" + format + "\"]", true));
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = manager.getScanners().get(0);
            scanner.setResolution(75);
            scanner.setColorMode(mode);
            ImageFolder folder = new ImageFolder(temp, "scan");
            scanner.scan(false, folder);
            KeptImage kept = folder.images().get(0);

            String extension = format.equals("jpeg") ? "jpg" : "bmp";
            assertEquals(temp.resolve("scan-001." + extension), kept.file());
            Images.assertFormatMatchesExtension(kept.file());
            assertEquals("637x876 " + expected, describe(kept.file()));
            assertEquals(format + " 637x876, 75 dpi, " + bits + " bits per pixel", kept.header().toString());
        }
    }

    @Test
    void theDialogsSettingsApplyACancelledDialogGivesNothingAndAFailingOneIsReported() throws Exception {
        Winsim.setDialogScript(Winsim.DEFAULT_SCANNER, """
                [{"action": "pick", "items": ["Flatbed"], "settings": {"6147": 100, "6148": 100, "4103": 2}},
                 {"action": "cancel"},
                 {"action": "fail", "code": "0x80210005"}]""");
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = manager.getScanners().get(0);
            scanner.setResolution(300); // not used: the dialog's settings are

            assertEquals("850x1169 gray", describe(scanner.scan(true, temp).get(0)));
            assertEquals(List.of(), scanner.scan(true, temp), "cancelled");
            VestaroException failed = assertThrows(VestaroException.class, () -> scanner.scan(true, temp));
            assertEquals(0x80210005, failed.getCode(), "a failing dialog is reported");
            assertEquals(List.of("scan-001.jpg"), names(temp));
        }
    }

    @Test
    void settingsOutsideTheirMeaningAreRefusedAndChangeNothing() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = manager.getScanners().get(0);
            scanner.setArea(0, 100, -1, 200);
            assertThrows(IllegalArgumentException.class, () -> scanner.setArea(-2, 0, 10, 10));
            assertThrows(IllegalArgumentException.class, () -> scanner.setArea(0, 0, 0, 10));
            assertThrows(IllegalArgumentException.class, () -> scanner.setResolution(0));
            assertThrows(NullPointerException.class, () -> scanner.setColorMode(null));

            assertArrayEquals(new int[] {0, 100, -1, 200}, scanner.getArea());
            assertEquals(300, scanner.getResolution());
            assertEquals(ColorMode.COLOR_24, scanner.getColorMode());
        }
    }

    @Test
    void colourModesMapToTheLibrarysBitDepthCodes() {
        assertEquals(ColorMode.BLACK_AND_WHITE, ColorMode.ofBitDepth(-1));
        for (ColorMode mode : ColorMode.values()) {
            assertEquals(mode, ColorMode.ofBitDepth(mode.bitDepth()));
        }
        assertEquals(null, ColorMode.ofBitDepth(24), "24 names no mode: the library scans it as 8-bit colour");
    }

    /** A folder that cannot take the page, passed or registered, fails the scan before the scanner runs. */
    @Test
    void aFolderThatCannotTakeThePageFailsBeforeTheScan() throws Exception {
        Path file = Files.writeString(temp.resolve("file"), "");
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = manager.getScanners().get(0);
            IOException failure = assertThrows(IOException.class, () -> scanner.scan(false, file));
            assertEquals(file + " is a file", failure.getMessage());

            Path below = file.resolve("pages");
            scanner.addImageListener(new ImageFolder(below));
            failure = assertThrows(IOException.class, () -> scanner.scan(true, image -> { }));
            assertEquals("cannot create " + below + ": " + file + " is a file", failure.getMessage());
        }
        assertEquals(List.of(), Winsim.journal("IWiaItem::DeviceDlg"), "no dialog shown");
        assertEquals(List.of(), Winsim.journal("IWiaDataTransfer::idtGetData"), "nothing scanned");
    }
}
