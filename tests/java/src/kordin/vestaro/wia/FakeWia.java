package kordin.vestaro.wia;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.VestaroException;

/**
 * Host classes whose natives are played in Java, the way the library behaves: handles from
 * a counter, a refused device's handle dropped at once, each image a temporary file that
 * exists only during fireTransferDone, a camera that goes on after a failed picture and
 * leaves the first failure pending. Lets the Java API be tested without the library.
 */
public final class FakeWia {
    private FakeWia() {
    }

    /** One device the platform lists. */
    public static final class Present {
        final String name;
        final int type;
        final String id;

        public Present(String name, int type, String id) {
            this.name = name;
            this.type = type;
            this.id = id;
        }
    }

    /** A manager over a scripted set of devices. */
    public static class Manager extends WIAManager {
        /** What the next poll finds. */
        public final List<Present> present = new ArrayList<>();
        /** Every handle given back to the "library", in order (refused devices included). */
        public final List<Long> released = new ArrayList<>();
        /** What the next poll throws after offering every device. */
        public VestaroException pollFailure;
        /** Images each new camera holds. */
        public int picturesPerCamera = 3;
        private long nextHandle = 0x100;
        private boolean started;

        public Manager(Present... devices) {
            present.addAll(List.of(devices));
        }

        @Override
        protected long _initialize() {
            return nextHandle++;
        }

        @Override
        protected void _poll(long managerHandle) {
            for (Present device : present) {
                long handle = nextHandle++;
                if (!add(device.name, handle, device.type, device.id)) {
                    released.add(handle);
                }
            }
            if (pollFailure != null) {
                sneakyThrow(pollFailure);
            }
        }

        @Override
        protected void _release(long managerHandle) {
            released.add(managerHandle);
        }

        @Override
        protected WIADevice createDevice(String name, long deviceHandle, int type, String id) {
            switch (WIADevice.kindOf(type)) {
                case WIADevice.KIND_SCANNER:
                    return new Scanner(this, name, deviceHandle, type, id);
                case WIADevice.KIND_CAMERA:
                    return new Camera(this, name, deviceHandle, type, id, picturesPerCamera);
                default:
                    return new Device(this, name, deviceHandle, type, id);
            }
        }

        /** Opens the manager as WIAManager.open() does, without loading the library; polls once more when open. */
        public Manager opened() throws VestaroException {
            if (started) {
                poll();
            } else {
                started = true;
                start();
            }
            return this;
        }
    }

    /** A device of another kind. */
    public static class Device extends WIADevice {
        private final Manager manager;

        Device(Manager manager, String name, long handle, int type, String id) {
            super(name, handle, type, id);
            this.manager = manager;
        }

        @Override
        protected void _release(long deviceHandle) {
            manager.released.add(deviceHandle);
        }
    }

    /** A camera whose pictures are small text files. */
    public static class Camera extends WIACamera {
        private final Manager manager;
        /** The pictures, by content; null for one that fails with busyDevice(). */
        public final List<String> pictures = new ArrayList<>();
        /** What the dialog returns: null for every picture, else the picked indexes. */
        public int[] picked;

        Camera(Manager manager, String name, long handle, int type, String id, int count) {
            super(name, handle, type, id);
            this.manager = manager;
            for (int i = 1; i <= count; i++) {
                pictures.add("picture " + i);
            }
        }

        @Override
        protected void _transfer(long deviceHandle, boolean dialog) {
            Throwable pending = null;
            int[] chosen = dialog && picked != null ? picked : indexes(pictures.size());
            for (int index : chosen) {
                String content = pictures.get(index);
                if (content == null) {
                    pending = merge(pending, busyDevice());
                } else {
                    pending = merge(pending, deliver(this, content, "jpg"));
                }
            }
            if (pending != null) {
                sneakyThrow(pending);
            }
        }

        @Override
        protected void _release(long deviceHandle) {
            manager.released.add(deviceHandle);
        }
    }

    /** A scanner that scans one page and remembers the settings it read. */
    public static class Scanner extends WIAScanner {
        private final Manager manager;
        /** The failure of the next scan, or null. */
        public VestaroException failure;
        /** The settings read at the last scan: bitDepth, resolution, x, y, width, height. */
        public int[] settingsRead;

        Scanner(Manager manager, String name, long handle, int type, String id) {
            super(name, handle, type, id);
            this.manager = manager;
        }

        @Override
        protected void _transfer(long deviceHandle, boolean dialog) {
            settingsRead = new int[] {bitDepth, resolution, x, y, width, height};
            if (failure != null) {
                sneakyThrow(failure);
            }
            Throwable pending = deliver(this, "page at " + resolution + " dpi", "bmp");
            if (pending != null) {
                sneakyThrow(pending);
            }
        }

        @Override
        protected void _release(long deviceHandle) {
            manager.released.add(deviceHandle);
        }
    }

    /** The failure a busy device reports. */
    public static VestaroException busyDevice() {
        return new VestaroException(0x80210006, "The WIA device is busy.", "..\\src\\jni\\wia\\WIAUtils.cpp", 120);
    }

    /**
     * Writes a temporary file, hands it to fireTransferDone and deletes it, as the library
     * does; returns what the callback threw, which the library would leave pending.
     */
    static Throwable deliver(WIADevice device, String content, String extension) {
        Path file;
        try {
            file = Files.createTempFile("fake-wia", ".tmp");
            Files.writeString(file, content, StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        try {
            device.fireTransferDone(file.toString(), extension);
            return null;
        } catch (RuntimeException | Error e) {
            return e;
        } finally {
            try {
                Files.deleteIfExists(file);
            } catch (IOException e) {
                // a temporary file left behind
            }
        }
    }

    private static Throwable merge(Throwable first, Throwable next) {
        if (first == null) {
            return next;
        }
        if (next != null) {
            first.addSuppressed(next);
        }
        return first;
    }

    private static int[] indexes(int count) {
        int[] all = new int[count];
        for (int i = 0; i < count; i++) {
            all[i] = i;
        }
        return all;
    }

    /** Throws any exception, as a native method can whatever its declaration says. */
    @SuppressWarnings("unchecked")
    static <T extends Throwable> void sneakyThrow(Throwable failure) throws T {
        throw (T) failure;
    }
}
