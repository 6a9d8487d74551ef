package kordin.vestaro.wia;

import static kordin.vestaro.testsupport.Images.describe;
import static kordin.vestaro.testsupport.Images.names;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.VestaroException;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.io.TempDir;

/**
 * Camera transfers with the real library on a virtual camera whose pictures differ in size,
 * so that each kept file tells which picture it is.
 */
@ExtendWith(WinsimExtension.class)
class CameraTest {
    static final String CAMERA_ID = "{TEST}\\0001";
    /** Three pictures, told apart by their sizes. */
    static final String CAMERA = """
            {"kind": "camera", "id": "{TEST}\\\\0001", "name": "Test Camera", "pictures": [
              {"name": "A", "width": 64, "height": 48},
              {"name": "B", "width": 40, "height": 30},
              {"name": "C", "width": 30, "height": 50}]}""";
    static final String SIZE_A = "64x48 color";
    static final String SIZE_B = "40x30 color";
    static final String SIZE_C = "30x50 color";

    @TempDir
    Path temp;

    @BeforeEach
    void threePictures() {
        Winsim.loadDevices("[" + CAMERA + "]");
    }

    private static List<String> sizes(List<Path> files) throws IOException {
        List<String> sizes = new ArrayList<>();
        for (Path file : files) {
            sizes.add(describe(file));
        }
        return sizes;
    }

    @Test
    void everyPictureArrivesInTheCamerasOrderAsAFileTheCallerKeeps() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);
            List<Path> kept = camera.transfer(false, temp);

            assertEquals(List.of(temp.resolve("picture-001.jpg"), temp.resolve("picture-002.jpg"),
                    temp.resolve("picture-003.jpg")), kept);
            assertEquals(List.of(SIZE_A, SIZE_B, SIZE_C), sizes(kept));
            // A second transfer numbers on after the files already there.
            assertEquals(temp.resolve("picture-006.jpg"), camera.transfer(false, temp).get(2));
        }
    }

    @Test
    void theCallsListenerComesFirstThenTheRegisteredOnesWhileTheFileExists() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);
            List<String> calls = new ArrayList<>();
            List<Path> temporary = new ArrayList<>();
            camera.addImageListener(image -> calls.add("registered " + image.getIndex() + " " + Files.exists(image.getFile())));
            int count = camera.transfer(false, image -> {
                temporary.add(image.getFile());
                assertSame(camera, image.getDevice());
                calls.add("call " + image.getIndex() + " " + image.getExtension());
            });

            assertEquals(3, count);
            assertEquals(List.of("call 1 jpg", "registered 1 true", "call 2 jpg", "registered 2 true",
                    "call 3 jpg", "registered 3 true"), calls);
            for (Path file : temporary) {
                assertTrue(Files.notExists(file), file + " is deleted after its call");
            }
        }
    }

    /** Each picture carries the camera's name for it, and a folder that keeps names saves it under that. */
    @Test
    void eachPictureCarriesItsNameAndAFolderKeepingNamesSavesItUnderItWithoutReplacingAny() throws Exception {
        Winsim.setDialogScript(CAMERA_ID, "[{\"action\": \"pick\", \"items\": [\"C\", \"A\"]}]");
        Files.writeString(temp.resolve("A.jpg"), "older");
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);
            ImageFolder folder = ImageFolder.keepingNames(temp);
            List<String> names = new ArrayList<>();
            camera.transfer(false, image -> {
                names.add(image.getName().orElse("none"));
                folder.keep(image);
            });

            assertEquals(List.of("A", "B", "C"), names);
            assertEquals(List.of(temp.resolve("A-2.jpg"), temp.resolve("B.jpg"), temp.resolve("C.jpg")), folder.files());
            assertEquals(List.of(SIZE_A, SIZE_B, SIZE_C), sizes(folder.files()));
            assertEquals("older", Files.readString(temp.resolve("A.jpg")));

            ImageFolder picked = ImageFolder.keepingNames(temp.resolve("picked"));
            camera.transfer(true, picked);
            assertEquals(List.of("C.jpg", "A.jpg"), picked.files().stream().map(file -> file.getFileName().toString()).toList());
        }
    }

    @Test
    void theDialogGivesThePickedPicturesInItsOrderAndNothingWhenCancelled() throws Exception {
        Winsim.setDialogScript(CAMERA_ID, """
                [{"action": "pick", "items": ["C", "A"]}, {"action": "pick", "items": []}, {"action": "cancel"}]""");
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);

            assertEquals(List.of(SIZE_C, SIZE_A), sizes(camera.transfer(true, temp)));
            assertEquals(List.of(), camera.transfer(true, temp), "nothing picked");
            assertEquals(List.of(), camera.transfer(true, temp), "cancelled");
            assertEquals(List.of("picture-001.jpg", "picture-002.jpg"), names(temp));
        }
    }

    @Test
    void aFailedPictureEndsInVestaroExceptionAfterTheOthersArrived() throws Exception {
        Winsim.injectFault("IWiaDataTransfer::idtGetData", Winsim.WIA_ERROR_BUSY, 2, "");
        IOException listenerFailure = new IOException("cannot write");
        ImageFolder folder = new ImageFolder(temp, "picture");
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);
            VestaroException thrown = assertThrows(VestaroException.class, () -> camera.transfer(false, image -> {
                folder.keep(image);
                if (image.getIndex() == 2) {
                    throw listenerFailure;
                }
            }));

            assertEquals(0x80210006, thrown.getCode());
            assertEquals("0x80210006", thrown.getHexCode());
            assertEquals("The WIA device is busy.", thrown.getMessage());
            assertEquals("..\\src\\jni\\wia\\WIAUtils.cpp", thrown.getFile());
            assertTrue(thrown.getLine() > 0, "line " + thrown.getLine());
            assertArrayEquals(new Throwable[] {listenerFailure}, thrown.getSuppressed(),
                    "the device's failure wins and carries the listener's");
            assertEquals(List.of(SIZE_A, SIZE_C), sizes(folder.files()), "the pictures around the failed one");
        }
    }

    @Test
    void aFailingListenerStopsNothingAndItsFailureComesOutAtTheEnd() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);
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
    }

    @Test
    void anEmptyCameraTransfersNothing() throws Exception {
        Winsim.loadDevices("[{\"kind\": \"camera\", \"id\": \"empty\", \"name\": \"Empty\"}]");
        try (WIAManager manager = WIAManager.open()) {
            Path folder = temp.resolve("pictures");
            assertEquals(List.of(), manager.getCameras().get(0).transfer(false, folder));
            assertTrue(Files.notExists(folder), "no folder made for nothing");
        }
    }

    /** sysfs refuses new files to every user, root included; the camera is not asked for a picture. */
    @Test
    void aFolderThatCannotTakeThePicturesFailsBeforeAnyIsTransferred() throws Exception {
        Path refusing = Path.of("/sys/kernel");
        assumeTrue(Files.isDirectory(refusing), "sysfs is mounted");
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);
            IOException failure = assertThrows(IOException.class, () -> camera.transfer(false, refusing));
            assertTrue(failure.getMessage().matches("cannot write into /sys/kernel: (permission denied|read-only file system)"),
                    failure.getMessage());
            assertThrows(IOException.class, () -> camera.transfer(true, new ImageFolder(refusing)));
        }
        assertEquals(List.of(), Winsim.journal("IWiaItem::DeviceDlg"), "no dialog shown");
        assertEquals(List.of(), Winsim.journal("IWiaDataTransfer::idtGetData"), "no picture transferred");
    }

    @Test
    void aPictureReadsItselfIntoPixelsWhileItsFileExistsAndOnceKept() throws Exception {
        List<String> decoded = new ArrayList<>();
        ImageFolder folder = new ImageFolder(temp);
        try (WIAManager manager = WIAManager.open()) {
            manager.getCameras().get(0).transfer(false, image -> {
                BufferedImage pixels = image.readImage();
                decoded.add(pixels.getWidth() + "x" + pixels.getHeight());
                folder.keep(image);
            });
        }
        assertEquals(List.of("64x48", "40x30", "30x50"), decoded);
        BufferedImage kept = folder.images().get(2).readImage();
        assertEquals("30x50", kept.getWidth() + "x" + kept.getHeight());
    }
}
