package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.List;
import kordin.vestaro.VestaroException;
import org.junit.jupiter.api.Test;

/** Devices as the manager keeps them: their kind, across polls, and at close. */
class WIAManagerTest {
    private static final FakeWia.Present SCANNER = new FakeWia.Present("Flatbed", 0x00010000, "{6BDD}\\0000");
    private static final FakeWia.Present CAMERA = new FakeWia.Present("Camera", 0x00020005, "{6BDD}\\0001");

    @Test
    void theKindIsTheTypeWordsHighHalf() {
        assertTrue(Devices.create("s", 1, 0x00010000, "a") instanceof WIAScanner);
        assertTrue(Devices.create("s", 1, 0x0001FFFF, "a") instanceof WIAScanner, "subtype ignored");
        assertTrue(Devices.create("c", 1, 0x00020001, "a") instanceof WIACamera);
        WIADevice video = Devices.create("v", 1, 0x00030000, "a");
        assertEquals(WIADevice.class, video.getClass());
        assertEquals(WIADevice.KIND_VIDEO, video.getKind());
        // A kind in the low half, or high bits beyond the kind's byte, make no scanner.
        assertEquals(WIADevice.class, Devices.create("x", 1, 0x00000001, "a").getClass());
        assertEquals(WIADevice.class, Devices.create("x", 1, 0x01010000, "a").getClass());
        assertEquals(0xFFFF, Devices.create("x", 1, 0xFFFF0002, "a").getKind());
    }

    @Test
    void pollKeepsKnownDevicesAddsNewOnesAndReleasesThoseGone() throws Exception {
        FakeWia.Manager manager = new FakeWia.Manager(SCANNER, CAMERA).opened();
        WIADevice scanner = manager.getScanners().get(0);
        WIADevice camera = manager.getCameras().get(0);
        long cameraHandle = camera.getHandle();
        assertEquals(List.of(scanner, camera), manager.getDevices());

        FakeWia.Present other = new FakeWia.Present("Other", 0x00010000, "{6BDD}\\0002");
        manager.present.clear();
        manager.present.addAll(List.of(other, SCANNER));
        manager.released.clear();
        List<WIADevice> found = manager.poll();

        assertEquals(2, found.size());
        assertEquals("Other", found.get(0).getName(), "the latest poll's order");
        assertSame(scanner, found.get(1), "a known device keeps its object");
        assertTrue(camera.isReleased(), "a device no longer found is released");
        // The scanner's second offer was refused (the library drops it), then the camera went.
        assertEquals(List.of(0x104L, cameraHandle), manager.released);
        assertThrows(IllegalStateException.class, () -> ((WIACamera) camera).transfer(false, (ImageListener) null));
    }

    @Test
    void aFailedPollKeepsWhatItFoundAndDropsNothing() throws Exception {
        FakeWia.Manager manager = new FakeWia.Manager(SCANNER).opened();
        manager.present.add(CAMERA);
        manager.pollFailure = FakeWia.busyDevice();

        VestaroException e = assertThrows(VestaroException.class, manager::poll);
        assertEquals(0x80210006, e.getCode());
        assertEquals(2, manager.getDevices().size());
    }

    @Test
    void closeReleasesEveryHandleOnceAndTheManagerLast() throws Exception {
        FakeWia.Manager manager = new FakeWia.Manager(SCANNER, CAMERA, new FakeWia.Present("V", 0x30000, "v"));
        manager.opened();
        List<WIADevice> devices = manager.getDevices();
        devices.get(1).release();
        devices.get(1).release();

        manager.close();
        manager.close();

        assertEquals(List.of(0x102L, 0x101L, 0x103L, 0x100L), manager.released);
        assertTrue(manager.getDevices().isEmpty());
        assertTrue(devices.get(0).isReleased());
        assertThrows(IllegalStateException.class, manager::poll);
        assertThrows(IllegalStateException.class, () -> ((WIAScanner) devices.get(0)).scan(false, Path.of("x")));
    }

    @Test
    void aDeviceReleasedByItsOwnerIsOfferedAgainAsANewObject() throws Exception {
        FakeWia.Manager manager = new FakeWia.Manager(SCANNER).opened();
        WIADevice first = manager.getDevices().get(0);
        first.release();
        assertTrue(manager.getDevices().isEmpty());

        WIADevice second = manager.poll().get(0);
        assertFalse(second.isReleased());
        assertTrue(first != second);
    }
}
