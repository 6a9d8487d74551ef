package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import kordin.vestaro.VestaroException;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;

/** The manager and its devices over the real library: kinds, polls, failures, close and threads. */
@ExtendWith(WinsimExtension.class)
class WIAManagerTest {
    private static final String REGISTER = "IGlobalInterfaceTable::RegisterInterfaceInGlobal";
    private static final String REVOKE = "IGlobalInterfaceTable::RevokeInterfaceFromGlobal";
    private static final int E_FAIL = 0x80004005;
    private static final int WIA_ERROR_INVALID_DRIVER_RESPONSE = 0x8021000F;
    private static final int WIA_S_NO_DEVICE_AVAILABLE = 0x80210015;

    @TempDir
    Path temp;

    /** A device of the given kind whose type word the device information overrides. */
    private static String typed(String id, int type) {
        return "{\"kind\": \"scanner\", \"id\": \"" + id + "\", \"name\": \"" + id + "\", \"info\": {\"5\": {\"type\": \"I4\", \"value\": "
                + type + "}}}";
    }

    /** The cookie that the manager's registration got: its handle. */
    private static long managerHandle() {
        for (Winsim.Call call : Winsim.journal(REGISTER)) {
            if (call.detail().toUpperCase(Locale.ROOT).startsWith("IID={5EB2502A-8CF1-11D1-BF92-0060081ED811}")) {
                return Long.parseLong(call.detail().replaceAll(".*cookie=", ""));
            }
        }
        throw new AssertionError("no manager registered: " + Winsim.journal(REGISTER));
    }

    /** A native call with a handle that the library no longer holds fails as a lookup of it. */
    private static void assertHandleFails(String source, Executable nativeCall) {
        VestaroException e = assertThrows(VestaroException.class, nativeCall);
        assertEquals(Winsim.E_INVALIDARG, e.getCode(), e.toString());
        assertEquals("..\\src\\jni\\wia\\" + source + ".cpp", e.getFile());
        assertTrue(e.getLine() > 0);
    }

    @Test
    void theKindInTheTypeWordsHighHalfMakesScannersCamerasAndPlainDevices() throws Exception {
        Winsim.loadDevices("[" + String.join(", ",
                "{\"kind\": \"scanner\", \"id\": \"s\", \"name\": \"Flatbed\", \"subtype\": 3}",
                "{\"kind\": \"camera\", \"id\": \"c\", \"name\": \"Camera\", \"subtype\": 5}",
                typed("video", 0x00030000), typed("wide", 0x01010000), typed("top", 0xFFFF0002)) + "]");
        try (WIAManager manager = WIAManager.open()) {
            List<WIADevice> devices = manager.getDevices();
            assertEquals(5, devices.size());
            assertEquals(List.of(devices.get(0)), manager.getScanners());
            assertEquals(List.of(devices.get(1)), manager.getCameras());

            assertEquals("Flatbed", devices.get(0).getName());
            assertEquals("s", devices.get(0).getId());
            assertEquals(0x00010003, devices.get(0).getType());
            assertEquals(0x00020005, devices.get(1).getType());
            assertEquals(WIADevice.KIND_CAMERA, devices.get(1).getKind());
            for (WIADevice plain : devices.subList(2, 5)) {
                assertEquals(WIADevice.class, plain.getClass(), plain.getId());
            }
            assertEquals(List.of(WIADevice.KIND_VIDEO, 0x0101, 0xFFFF),
                    devices.subList(2, 5).stream().map(WIADevice::getKind).toList());
        }
    }

    @Test
    void pollKeepsKnownDevicesAddsNewOnesAndReleasesThoseGone() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = manager.getScanners().get(0);
            WIACamera camera = manager.getCameras().get(0);
            long cameraHandle = camera.getHandle();

            Winsim.loadDevices("[" + String.join(", ",
                    "{\"kind\": \"scanner\", \"id\": \"other\", \"name\": \"Other\"}",
                    "{\"kind\": \"scanner\", \"id\": \"" + Winsim.DEFAULT_SCANNER.replace("\\", "\\\\") + "\", \"name\": \"Again\"}")
                    + "]");
            List<WIADevice> found = manager.poll();

            assertEquals(2, found.size());
            assertEquals("Other", found.get(0).getName(), "the latest poll's order");
            assertSame(scanner, found.get(1), "a known device keeps its object");
            assertEquals(1, scanner.scan(false, (ImageListener) null), "and still works");
            assertTrue(camera.isReleased(), "a device no longer found is released");
            assertThrows(IllegalStateException.class, () -> camera.transfer(false, temp));
            assertHandleFails("WIACamera", (() -> camera._transfer(cameraHandle, false)));
        }
    }

    @Test
    void aFailedPollKeepsWhatItFoundAndDropsNothing() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            List<WIADevice> before = manager.getDevices();
            Winsim.loadDevices("[{\"kind\": \"camera\", \"id\": \"new\", \"name\": \"New\"}, "
                    + "{\"kind\": \"camera\", \"id\": \"failing\", \"name\": \"Failing\"}]");
            Winsim.injectFault("IWiaDevMgr::CreateDevice", Winsim.WIA_ERROR_OFFLINE, 0, "failing");

            VestaroException e = assertThrows(VestaroException.class, manager::poll);
            assertEquals(Winsim.WIA_ERROR_OFFLINE, e.getCode());
            assertEquals("The WIA device is not online.", e.getMessage());
            assertEquals("..\\src\\jni\\wia\\WIAManager.cpp", e.getFile());

            List<WIADevice> after = manager.getDevices();
            assertEquals(3, after.size(), "the known two and the new one found before the failure");
            assertEquals(before, after.subList(0, 2));
            assertFalse(before.get(0).isReleased() || before.get(1).isReleased());
        }
    }

    /**
     * A record that cannot be read, or whose values have other types, is a failure of that
     * device: the poll reports it, and the camera the application holds stays held and works.
     */
    @Test
    void aHeldDeviceWhoseRecordCannotBeReadStaysHeld() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIACamera camera = manager.getCameras().get(0);
            Winsim.injectFault("IWiaPropertyStorage::ReadMultiple", E_FAIL, 1, Winsim.DEFAULT_CAMERA);

            VestaroException unread = assertThrows(VestaroException.class, manager::poll);
            assertEquals(E_FAIL, unread.getCode());
            assertSame(unread, manager.getPollFailure());
            assertNull(unread.getDeviceName(), "an unread record names nothing");
            assertFalse(camera.isReleased());
            assertEquals(List.of(manager.getScanners().get(0), camera), manager.getDevices());
            assertEquals(3, camera.transfer(false, (ImageListener) null));

            Winsim.clearFaults();
            Winsim.loadDevices("[{\"kind\": \"camera\", \"id\": \"" + Winsim.DEFAULT_CAMERA.replace("\\", "\\\\")
                    + "\", \"name\": \"Renamed\", \"info\": {\"5\": {\"type\": \"BSTR\", \"value\": \"camera\"}}}]");
            VestaroException mistyped = assertThrows(VestaroException.class, manager::poll);
            assertEquals(WIA_ERROR_INVALID_DRIVER_RESPONSE, mistyped.getCode());
            assertEquals("The response from the driver is invalid.", mistyped.getText());
            assertEquals("Renamed", mistyped.getDeviceName());
            assertEquals(Winsim.DEFAULT_CAMERA, mistyped.getDeviceId());
            assertFalse(camera.isReleased(), "still listed, so still held");

            Winsim.loadDevices("[]");
            assertEquals(List.of(), manager.poll(), "a complete list without it releases it");
            assertTrue(camera.isReleased());
        }
    }

    /**
     * Only a manager that cannot be opened fails open(); once it is open, a list that cannot be
     * made or a device that cannot be opened, even the only one, leaves an open manager with
     * the failure kept, which polls again.
     */
    @Test
    void onlyAManagerThatCannotOpenFailsToOpen() throws Exception {
        Winsim.injectFault("CoCreateInstance", Winsim.WIA_ERROR_OFFLINE, 0, "");
        VestaroException noManager = assertThrows(VestaroException.class, WIAManager::open);
        assertEquals("..\\src\\jni\\wia\\WIAManager.cpp", noManager.getFile());
        assertEquals(Winsim.WIA_ERROR_OFFLINE, noManager.getCode());
        assertNull(noManager.getDeviceName());

        Winsim.clearFaults();
        Winsim.injectFault("IWiaDevMgr::EnumDeviceInfo", Winsim.WIA_ERROR_BUSY, 1, "");
        try (WIAManager manager = WIAManager.open()) {
            assertEquals(List.of(), manager.getDevices());
            assertEquals(Winsim.WIA_ERROR_BUSY, manager.getPollFailure().getCode());
            assertEquals(2, manager.poll().size(), "polled again");
            assertNull(manager.getPollFailure());
        }

        Winsim.loadDevices("[{\"kind\": \"camera\", \"id\": \"gone\", \"name\": \"Gone\", \"vanishes\": true}]");
        try (WIAManager manager = WIAManager.open()) {
            assertEquals(List.of(), manager.getDevices());
            VestaroException vanished = manager.getPollFailure();
            assertEquals(WIA_S_NO_DEVICE_AVAILABLE, vanished.getCode());
            assertEquals("Gone", vanished.getDeviceName());
            assertEquals("gone", vanished.getDeviceId());
        }
    }

    @Test
    void aDeviceThatCannotBeOpenedHidesNoOtherAndIsVisible() throws Exception {
        Winsim.injectFault("IWiaDevMgr::CreateDevice", Winsim.WIA_ERROR_OFFLINE, 0, Winsim.DEFAULT_SCANNER);
        try (WIAManager manager = WIAManager.open()) {
            assertEquals(List.of(), manager.getScanners());
            assertEquals(1, manager.getCameras().size());
            VestaroException failure = manager.getPollFailure();
            assertEquals(Winsim.WIA_ERROR_OFFLINE, failure.getCode());
            assertEquals("..\\src\\jni\\wia\\WIAManager.cpp", failure.getFile());
            assertEquals("Virtual Flatbed Scanner", failure.getDeviceName());
            assertEquals(Winsim.DEFAULT_SCANNER, failure.getDeviceId());

            Winsim.clearFaults();
            assertEquals(2, manager.poll().size());
            assertNull(manager.getPollFailure(), "a clean poll clears it");
        }
    }

    @Test
    void closeReleasesEveryHandleAndTheManagerLast() throws Exception {
        Winsim.Census start = Winsim.census();
        WIAManager manager = WIAManager.open();
        long managerHandle = managerHandle();
        WIAScanner scanner = manager.getScanners().get(0);
        WIACamera camera = manager.getCameras().get(0);
        long scannerHandle = scanner.getHandle();
        long cameraHandle = camera.getHandle();
        assertEquals(3, camera.transfer(false, (ImageListener) null));
        assertNotEquals(start, Winsim.census(), "the library's objects are on the test's platform");

        manager.close();
        manager.close();

        assertEquals(start, Winsim.census(), Winsim.liveObjects());
        List<Winsim.Call> revoked = Winsim.journal(REVOKE);
        assertEquals(List.of("cookie=" + scannerHandle, "cookie=" + cameraHandle, "cookie=" + managerHandle),
                revoked.stream().map(Winsim.Call::detail).toList());
        assertTrue(manager.isClosed() && scanner.isReleased() && camera.isReleased());
        assertEquals(List.of(), manager.getDevices());
        assertThrows(IllegalStateException.class, manager::poll);
        assertThrows(IllegalStateException.class, () -> scanner.scan(false, temp));

        assertHandleFails("WIAManager", (() -> manager._poll(managerHandle)));
        assertHandleFails("WIAManager", (() -> manager._release(managerHandle)));
        assertHandleFails("WIAScanner", (() -> scanner._transfer(scannerHandle, false)));
        assertHandleFails("WIADevice", (() -> camera._release(cameraHandle)));
    }

    @Test
    void closeGoesOnPastAHandleThatCannotBeReleased() throws Exception {
        WIAManager manager = WIAManager.open();
        WIAScanner scanner = manager.getScanners().get(0);
        long scannerHandle = scanner.getHandle();
        Winsim.injectFault(REVOKE, Winsim.WIA_ERROR_BUSY, 1, "");

        VestaroException e = assertThrows(VestaroException.class, manager::close);

        assertEquals(Winsim.WIA_ERROR_BUSY, e.getCode());
        assertEquals("..\\src\\jni\\wia\\WIADevice.cpp", e.getFile());
        assertTrue(manager.isClosed() && scanner.isReleased(), "released all the same");
        assertEquals(List.of(Winsim.WIA_ERROR_BUSY, 0, 0), Winsim.journal(REVOKE).stream().map(Winsim.Call::result).toList(),
                "the camera and the manager were still released");
        // The registration the platform refused to end is still there; end it for the census.
        scanner._release(scannerHandle);
    }

    @Test
    void aDeviceReleasedByItsOwnerIsOfferedAgainAsANewObject() throws Exception {
        try (WIAManager manager = WIAManager.open()) {
            WIADevice first = manager.getScanners().get(0);
            try (WIADevice owned = first) {
                assertFalse(owned.isReleased());
            }
            assertTrue(first.isReleased(), "closed as a resource");
            first.release();
            assertEquals(List.of(manager.getCameras().get(0)), manager.getDevices());

            WIADevice second = manager.poll().get(0);
            assertNotSame(first, second);
            assertEquals(first.getId(), second.getId());
            assertFalse(second.isReleased());
        }
    }

    @Test
    void devicesWorkFromAnyThreadAndAReleaseWaitsForTheTransferInProgress() throws Exception {
        ExecutorService threads = Executors.newFixedThreadPool(2);
        try (WIAManager manager = WIAManager.open()) {
            WIAScanner scanner = manager.getScanners().get(0);
            WIACamera camera = manager.getCameras().get(0);
            scanner.setResolution(75);
            CountDownLatch inListener = new CountDownLatch(1);
            CountDownLatch goOn = new CountDownLatch(1);

            Future<Integer> pictures = threads.submit(() -> camera.transfer(false, image -> {
                if (image.getIndex() == 1) {
                    inListener.countDown();
                    await(goOn);
                }
            }));
            Future<List<Path>> page = threads.submit(() -> scanner.scan(false, temp));
            assertTrue(inListener.await(30, TimeUnit.SECONDS));
            assertEquals(1, page.get(30, TimeUnit.SECONDS).size(), "the scanner runs while the camera waits");

            Thread releasing = new Thread(() -> {
                try {
                    camera.release();
                } catch (VestaroException e) {
                    throw new IllegalStateException(e);
                }
            });
            releasing.start();
            releasing.join(300);
            assertTrue(releasing.isAlive() && !camera.isReleased(), "the release waits for the transfer");
            goOn.countDown();
            releasing.join(30_000);
            assertEquals(3, pictures.get(30, TimeUnit.SECONDS));
            assertTrue(camera.isReleased());
        } finally {
            threads.shutdownNow();
        }
    }

    private static void await(CountDownLatch latch) {
        try {
            latch.await(30, TimeUnit.SECONDS);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
