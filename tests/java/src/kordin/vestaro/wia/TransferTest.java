package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.VestaroException;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Images reaching listeners and folders, and what a transfer throws when something fails. */
class TransferTest {
    @TempDir
    Path temp;

    private static FakeWia.Camera camera(int pictures) throws VestaroException {
        FakeWia.Manager manager = new FakeWia.Manager(new FakeWia.Present("Camera", 0x20000, "c"));
        manager.picturesPerCamera = pictures;
        return (FakeWia.Camera) manager.opened().getCameras().get(0);
    }

    @Test
    void theCallsListenerComesFirstThenTheRegisteredOnesWhileTheFileExists() throws Exception {
        FakeWia.Camera camera = camera(2);
        List<String> calls = new ArrayList<>();
        camera.addImageListener(image -> calls.add("registered " + image.getIndex() + " " + Files.readString(image.getFile())));
        int count = camera.transfer(false, image -> calls.add("call " + image.getIndex() + " " + image.getExtension()));

        assertEquals(2, count);
        assertEquals(List.of("call 1 jpg", "registered 1 picture 1", "call 2 jpg", "registered 2 picture 2"), calls);
    }

    @Test
    void picturesAreKeptInTheFolderInTheOrderTheyArrive() throws Exception {
        FakeWia.Camera camera = camera(3);
        camera.picked = new int[] {2, 0};
        List<Path> kept = camera.transfer(true, temp);

        assertEquals(List.of(temp.resolve("picture-001.jpg"), temp.resolve("picture-002.jpg")), kept);
        assertEquals("picture 3", Files.readString(kept.get(0)));
        assertEquals("picture 1", Files.readString(kept.get(1)));
    }

    @Test
    void aFailingListenerStopsNothingAndItsFailureComesOutAtTheEnd() throws Exception {
        FakeWia.Camera camera = camera(3);
        List<Integer> seen = new ArrayList<>();
        camera.addImageListener(image -> seen.add(image.getIndex()));
        IOException diskFull = new IOException("disk full");
        IllegalStateException later = new IllegalStateException("later");

        IOException thrown = assertThrows(IOException.class, () -> camera.transfer(false, image -> {
            if (image.getIndex() == 2) {
                throw diskFull;
            }
            if (image.getIndex() == 3) {
                throw later;
            }
        }));

        assertSame(diskFull, thrown);
        assertArrayEquals(new Throwable[] {later}, thrown.getSuppressed());
        assertEquals(List.of(1, 2, 3), seen, "the other listener got every image");
    }

    @Test
    void aDeviceFailureWinsAndCarriesTheListenersFailures() throws Exception {
        FakeWia.Camera camera = camera(3);
        camera.pictures.set(1, null); // the second picture fails
        IOException listenerFailure = new IOException("cannot write");
        List<Path> kept = new ArrayList<>();

        VestaroException thrown = assertThrows(VestaroException.class, () -> camera.transfer(false, image -> {
            if (image.getIndex() == 2) {
                throw listenerFailure;
            }
            kept.add(image.getFile());
        }));

        assertEquals(0x80210006, thrown.getCode());
        assertArrayEquals(new Throwable[] {listenerFailure}, thrown.getSuppressed());
        assertEquals(1, kept.size(), "the first picture arrived; the third is the listener's second image");
    }

    @Test
    void theScannerReadsItsSettingsAsTheLibraryDefinesThem() throws Exception {
        FakeWia.Manager manager = new FakeWia.Manager(new FakeWia.Present("Flatbed", 0x10000, "s")).opened();
        FakeWia.Scanner scanner = (FakeWia.Scanner) manager.getScanners().get(0);
        scanner.scan(false, (ImageListener) null);
        assertArrayEquals(new int[] {8, 300, -1, -1, -1, -1}, scanner.settingsRead, "defaults");

        scanner.setResolution(150);
        scanner.setColorMode(ColorMode.GRAY_16);
        scanner.setArea(0, 100, -1, 200);
        List<Path> kept = scanner.scan(false, temp);

        assertArrayEquals(new int[] {-16, 150, 0, 100, -1, 200}, scanner.settingsRead);
        assertEquals(List.of(temp.resolve("scan-001.bmp")), kept);
        assertThrows(IllegalArgumentException.class, () -> scanner.setArea(-2, 0, 10, 10));
        assertThrows(IllegalArgumentException.class, () -> scanner.setArea(0, 0, 0, 10));
        assertThrows(IllegalArgumentException.class, () -> scanner.setResolution(0));
        assertArrayEquals(new int[] {0, 100, -1, 200}, scanner.getArea(), "refused settings change nothing");
    }

    @Test
    void colourModesMapToTheBitDepthCodes() {
        assertEquals(ColorMode.BLACK_AND_WHITE, ColorMode.ofBitDepth(-1));
        for (ColorMode mode : ColorMode.values()) {
            assertSame(mode, ColorMode.ofBitDepth(mode.bitDepth()));
        }
        assertEquals(null, ColorMode.ofBitDepth(24), "24 is no code: the library scans it as 8-bit colour");
        assertTrue(ColorMode.COLOR_24.bitDepth() == 8 && ColorMode.GRAY_8.bitDepth() == -8);
    }
}
