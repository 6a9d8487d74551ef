package kordin.vestaro.wia;

import java.util.ArrayList;
import java.util.List;
import java.util.Objects;
import java.util.Optional;
import kordin.vestaro.Manager;
import kordin.vestaro.NativeLibrary;
import kordin.vestaro.VestaroException;

/**
 * The WIA device manager: finds the local scanners and cameras.
 *
 * <pre>{@code
 * try (WIAManager manager = WIAManager.open()) {
 *     for (WIAScanner scanner : manager.getScanners()) {
 *         scanner.setResolution(150);
 *         scanner.setColorMode(ColorMode.GRAY_8);
 *         List<Path> pages = scanner.scan(false, Path.of("scans"));
 *     }
 * }
 * }</pre>
 *
 * <p>{@link #open()} loads the native library (see {@link NativeLibrary}) and finds the
 * devices present; {@link #poll()} looks again; {@link #close()} releases every device the
 * manager found and the manager itself.
 *
 * <p>Any thread may call any method. Each operation runs on the calling thread, and the
 * library's calls back into the manager happen on that thread before the operation
 * returns. {@link #poll()} and {@link #close()} run one at a time; {@link #close()} waits
 * for the transfers in progress on the manager's devices.
 */
public class WIAManager extends Manager implements AutoCloseable {
    private final Object lock = new Object();
    private long handle;
    private boolean closed;
    /** The devices found, in the order of the latest poll. */
    private final List<WIADevice> devices = new ArrayList<>();
    /** During {@link #poll()}: the devices offered so far by this poll, known or new. */
    private List<WIADevice> offered;
    /** What the latest poll reported, or null when it found every device. */
    private VestaroException pollFailure;

    /**
     * A manager without a handle, for subclasses that drive the natives themselves; it does
     * not load the library.
     */
    protected WIAManager() {
    }

    /**
     * Loads the native library if it is not loaded yet, opens the platform's device manager,
     * and finds the devices present. Once the platform's manager is open, the manager is
     * returned whatever the first poll meets: a device that cannot be opened (one unplugged
     * while it was being listed, say) hides no other, and devices that cannot be listed at
     * all leave the manager empty; {@link #getPollFailure()} gives the failure, a warning
     * naming each device that failed is logged, and {@link #poll()} may look again.
     *
     * @return the open manager
     * @throws VestaroException when the platform's device manager cannot be opened
     * @throws UnsatisfiedLinkError when no native library fits this Java VM or none loads
     *     (such as a Linux that lacks a library it needs); the message says what was tried
     */
    public static WIAManager open() throws VestaroException {
        NativeLibrary.load();
        WIAManager manager = new WIAManager();
        manager.start();
        return manager;
    }

    /**
     * Whether this Java VM has a WIA platform: true once the native library that fits it has
     * loaded, which this call does when no {@link #open()} has (see {@link NativeLibrary}).
     * The main artifact gives it on Windows and on Linux (x86-64), where SANE's scanners and
     * libgphoto2's cameras are its devices and {@code kordin:vestaro-virtual} adds virtual
     * ones for tests. Where no library fits or loads the answer is false;
     * {@link #open()} then throws an {@link UnsatisfiedLinkError} that says why, and
     * {@link #unsupportedReason()} gives the same reason.
     *
     * @return true when {@link #open()} can load the library
     */
    public static boolean isSupported() { return unsupportedReason().isEmpty(); }

    /**
     * Why this Java VM has no WIA platform: the places where the native library was looked
     * for, each with the reason it did not load, as {@link #open()} would report them. Loads
     * the library as {@link #isSupported()} does, and logs the reason at {@code DEBUG}.
     *
     * @return the reason, or empty when the library has loaded
     */
    public static Optional<String> unsupportedReason() {
        try {
            NativeLibrary.load();
            return Optional.empty();
        } catch (UnsatisfiedLinkError e) {
            String reason = String.valueOf(e.getMessage());
            System.getLogger(Manager.LOGGER_NAME).log(System.Logger.Level.DEBUG,
                    "WIA is not supported in this Java VM: " + reason);
            return Optional.of(reason);
        }
    }

    /**
     * Opens the platform's manager and polls once; a failure of the poll is logged and kept
     * in {@link #getPollFailure()}.
     */
    final void start() throws VestaroException {
        long opened;
        try {
            opened = _initialize();
        } catch (Throwable failure) {
            Failures.rethrowVestaro(failure);
            return;
        }
        synchronized (lock) {
            handle = opened;
        }
        try {
            poll();
        } catch (VestaroException failure) {
            logPollFailure(failure);
        } catch (RuntimeException | Error failure) {
            closeAfter(failure);
            throw failure;
        }
    }

    /** A warning for the failure and for each one attached to it, naming its device when known. */
    private static void logPollFailure(VestaroException failure) {
        System.Logger log = System.getLogger(Manager.LOGGER_NAME);
        log.log(System.Logger.Level.WARNING, describePollFailure(failure));
        for (Throwable later : failure.getSuppressed()) {
            if (later instanceof VestaroException) {
                log.log(System.Logger.Level.WARNING, describePollFailure((VestaroException) later));
            }
        }
    }

    /**
     * {@code device "Camera" (id) cannot be opened: error 0x80210005: The WIA device is not online.},
     * or, when the failure names no device, {@code the devices cannot all be listed: error ...}.
     */
    private static String describePollFailure(VestaroException failure) {
        String name = failure.getDeviceName();
        String id = failure.getDeviceId();
        String what;
        if (name != null) {
            what = "device \"" + name + "\"" + (id != null ? " (" + id + ")" : "") + " cannot be opened";
        } else if (id != null) {
            what = "device " + id + " cannot be opened";
        } else {
            what = "the devices cannot all be listed";
        }
        return what + ": error " + failure.getHexCode() + (failure.getText().isEmpty() ? "" : ": " + failure.getText());
    }

    private void closeAfter(Throwable failure) {
        try {
            close();
        } catch (VestaroException | RuntimeException closing) {
            failure.addSuppressed(closing);
        }
    }

    /**
     * Opens the platform's device manager.
     *
     * @return the manager's handle
     * @hidden
     */
    protected native long _initialize();

    /**
     * Lists the devices present; the library calls {@link #add} for each before it returns.
     *
     * @param managerHandle the handle from {@link #_initialize()}
     * @hidden
     */
    protected native void _poll(long managerHandle);

    /**
     * Releases the platform's device manager.
     *
     * @param managerHandle the handle from {@link #_initialize()}
     * @hidden
     */
    protected native void _release(long managerHandle);

    /**
     * Called by the library for each device that a poll finds. Keeps a new device as a
     * {@link WIAScanner}, {@link WIACamera} or plain {@link WIADevice}, by the kind in the
     * high 16 bits of {@code type} (see {@link #createDevice}). Refuses a device whose
     * identifier belongs to a device the manager holds already, which stays as it is; the
     * library then drops the new handle at once.
     *
     * @param name the device's name
     * @param deviceHandle the library's handle of the device
     * @param type the device's type word
     * @param id the device's identifier
     * @return true when the manager keeps the device and its handle
     * @hidden
     */
    protected boolean add(String name, long deviceHandle, int type, String id) {
        synchronized (lock) {
            if (closed) {
                return false;
            }
            for (WIADevice known : devices) {
                if (!known.isReleased() && Objects.equals(known.getId(), id)) {
                    if (offered != null && !offered.contains(known)) {
                        offered.add(known);
                    }
                    return false;
                }
            }
            WIADevice device = createDevice(name, deviceHandle, type, id);
            devices.add(device);
            if (offered != null) {
                offered.add(device);
            }
            return true;
        }
    }

    /**
     * Makes the object for a device that the library offered: a {@link WIAScanner} for kind
     * {@link WIADevice#KIND_SCANNER}, a {@link WIACamera} for kind
     * {@link WIADevice#KIND_CAMERA}, a plain {@link WIADevice} for every other kind.
     * Subclasses may return objects of their own.
     *
     * @param name the device's name
     * @param deviceHandle the library's handle of the device
     * @param type the device's type word; the kind is its high 16 bits
     * @param id the device's identifier
     * @return the device
     */
    protected WIADevice createDevice(String name, long deviceHandle, int type, String id) {
        return Devices.create(name, deviceHandle, type, id);
    }

    /**
     * Looks for devices again. New devices are added; a device found before keeps its
     * object; a device missing from a poll that listed every device without a failure is
     * released and dropped. A poll that fails drops nothing: a device that is listed but
     * cannot be opened, or whose record cannot be read, may be one the application holds,
     * and it stays held. A device that was unplugged and plugged in again between two polls
     * keeps its old object, which may then fail: release it and poll again for a new one.
     *
     * @return the devices found, as {@link #getDevices()} gives them
     * @throws VestaroException when the devices cannot be listed, or a device listed cannot
     *     be opened or its record read (the first such failure, later ones attached as
     *     suppressed; {@link VestaroException#getDeviceName()} names the device when its
     *     record did); the devices found stay, and none is dropped
     * @throws IllegalStateException when the manager is closed
     */
    public List<WIADevice> poll() throws VestaroException {
        List<WIADevice> gone = new ArrayList<>();
        synchronized (lock) {
            if (closed) {
                throw new IllegalStateException("the manager is closed");
            }
            offered = new ArrayList<>();
            Throwable failure = null;
            try {
                _poll(handle);
            } catch (Throwable thrown) {
                failure = thrown;
            }
            List<WIADevice> found = offered;
            offered = null;
            pollFailure = failure instanceof VestaroException ? (VestaroException) failure : null;
            Failures.rethrowVestaro(failure);
            if (closed) {
                // Closed from a callback of this poll: what it found goes back at once.
                gone.addAll(found);
            } else {
                for (WIADevice device : devices) {
                    if (!found.contains(device)) {
                        gone.add(device);
                    }
                }
                devices.clear();
                devices.addAll(found);
            }
        }
        // Outside the manager's lock: a release waits for the device's transfer, whose
        // listeners may ask this manager for its devices.
        Failures.rethrowVestaro(releaseAll(gone, null));
        return getDevices();
    }

    private static Throwable releaseAll(List<WIADevice> toRelease, Throwable failure) {
        for (WIADevice device : toRelease) {
            try {
                device.release();
            } catch (VestaroException | RuntimeException e) {
                failure = Failures.merge(failure, e);
            }
        }
        return failure;
    }

    /**
     * The devices found and not released, in the order the latest poll found them.
     *
     * @return a copy of the list
     */
    public List<WIADevice> getDevices() { return devicesOf(WIADevice.class); }

    /**
     * The scanners among {@link #getDevices()}.
     *
     * @return a copy of the list
     */
    public List<WIAScanner> getScanners() { return devicesOf(WIAScanner.class); }

    /**
     * The cameras among {@link #getDevices()}.
     *
     * @return a copy of the list
     */
    public List<WIACamera> getCameras() { return devicesOf(WIACamera.class); }

    private <D extends WIADevice> List<D> devicesOf(Class<D> kind) {
        List<D> result = new ArrayList<>();
        synchronized (lock) {
            for (WIADevice device : devices) {
                if (kind.isInstance(device) && !device.isReleased()) {
                    result.add(kind.cast(device));
                }
            }
        }
        return result;
    }

    /**
     * What the latest poll reported: a device that could not be opened or read (named by
     * {@link VestaroException#getDeviceName()} and {@link VestaroException#getDeviceId()}
     * as far as it could be read), or a list that could not be made. The devices found all
     * the same are in {@link #getDevices()}.
     *
     * @return the failure, or null when the latest poll found every device
     */
    public VestaroException getPollFailure() {
        synchronized (lock) {
            return pollFailure;
        }
    }

    /**
     * Whether {@link #close()} has been called.
     *
     * @return true once closed
     */
    public boolean isClosed() {
        synchronized (lock) {
            return closed;
        }
    }

    /**
     * Releases every device the manager found (waiting for their transfers in progress),
     * then the manager itself. Closing again does nothing.
     *
     * @throws VestaroException when a handle cannot be released; every other handle is
     *     still released, and later failures are attached as suppressed
     */
    @Override
    public void close() throws VestaroException {
        List<WIADevice> toRelease;
        long managerHandle;
        synchronized (lock) {
            if (closed) {
                return;
            }
            closed = true;
            toRelease = new ArrayList<>(devices);
            devices.clear();
            managerHandle = handle;
            handle = 0;
        }
        Throwable failure = releaseAll(toRelease, null);
        if (managerHandle != 0) {
            try {
                _release(managerHandle);
            } catch (Throwable thrown) {
                failure = Failures.merge(failure, thrown);
            }
        }
        Failures.rethrowVestaro(failure);
    }
}
