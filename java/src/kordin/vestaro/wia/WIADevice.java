package kordin.vestaro.wia;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collection;
import java.util.List;
import java.util.Objects;
import java.util.concurrent.CopyOnWriteArrayList;
import kordin.vestaro.Manager;
import kordin.vestaro.VestaroException;

/**
 * A WIA device found by {@link WIAManager}: a {@link WIAScanner}, a {@link WIACamera}, or,
 * for every other kind, a plain device that can only be listed and released.
 *
 * <h2>Images</h2>
 * The platform writes each image into a file of its own, which exists only while the
 * listeners run and is deleted right after. A transfer method that takes a folder keeps
 * every image there through an {@link ImageFolder}; a transfer method that takes an
 * {@link ImageListener} hands each image to it; and the listeners added with
 * {@link #addImageListener} receive every image of every transfer, after the one passed to
 * the method.
 *
 * <h2>Ownership</h2>
 * The manager that found a device owns it: closing the manager releases it. A caller may
 * release it earlier with {@link #release()} or {@link #close()} (for example in a
 * try-with-resources statement); the manager then leaves it alone, and a later poll that
 * finds the device again makes a new object for it.
 *
 * <h2>Failures</h2>
 * A transfer whose images go to an {@link ImageFolder} (the one passed, or one registered)
 * first {@linkplain ImageFolder#prepare() prepares} it, and ends with that
 * {@code IOException} before the device runs when the folder cannot take the images.
 * A failing device ends the transfer method with {@link VestaroException}. An exception
 * thrown by a listener does not stop the transfer: the other listeners still get the image
 * and later images still arrive. When the transfer returns, the device's failure is thrown
 * if there is one, else the first listener failure (an {@code IOException} or an unchecked
 * exception, as the listener threw it); every other failure of the transfer is attached to
 * it as suppressed. A camera goes on with its later pictures after one has failed, so some
 * images may have arrived before the exception; an {@link ImageFolder} of one's own tells
 * which.
 *
 * <h2>Threads</h2>
 * Any thread may call any method. Each operation runs on the calling thread, and every
 * listener call of a transfer happens on that thread before the transfer method returns
 * (only a scan's {@link ScanProgressListener} may be called on a driver's thread of its own).
 * {@link WIAScanner#cancel()} does not wait: it stops the scan in progress from any thread.
 * Operations on one device run one at a time: a transfer, a change of settings or a release
 * ({@link #release()} or {@link #close()}) waits for the transfer in progress on the same
 * device. Different devices may transfer at
 * the same time on different threads.
 */
public class WIADevice implements AutoCloseable {
    private static final System.Logger LOG = System.getLogger(Manager.LOGGER_NAME);

    /** The kind ({@link #getKind()}) of a scanner. */
    public static final int KIND_SCANNER = 1;
    /** The kind ({@link #getKind()}) of a digital camera. */
    public static final int KIND_CAMERA = 2;
    /** The kind ({@link #getKind()}) of a streaming video device. */
    public static final int KIND_VIDEO = 3;

    /** Held by every operation on the device and by changes of its settings. */
    final Object lock = new Object();
    private final String name;
    private final String id;
    private final int type;
    private long handle;
    private volatile boolean released;
    private final List<ImageListener> listeners = new CopyOnWriteArrayList<>();
    /** The transfer in progress, started by {@link #runTransfer} on the thread that holds the lock. */
    private volatile Transfer transfer;

    /**
     * A device without a handle, for subclasses that drive the natives themselves.
     */
    protected WIADevice() {
        this(null, 0, 0, null);
    }

    /**
     * A device as the library offered it.
     *
     * @param name the device's name
     * @param handle the library's handle of the device; 0 for none
     * @param type the device's type word: the kind in the high 16 bits, the subtype in the low
     * @param id the device's identifier, unique among the devices present
     */
    protected WIADevice(String name, long handle, int type, String id) {
        this.name = name;
        this.handle = handle;
        this.type = type;
        this.id = id;
    }

    /**
     * Releases the library's handle of a device.
     *
     * @param deviceHandle the handle that the library offered with the device
     * @hidden
     */
    protected native void _release(long deviceHandle);

    /**
     * The device's name, as the device reports it.
     *
     * @return the name, or null for a device made without one
     */
    public String getName() { return name; }

    /**
     * The device's identifier: stable while the device stays connected, unique among the
     * devices present.
     *
     * @return the identifier, or null for a device made without one
     */
    public String getId() { return id; }

    /**
     * The device's type word as the platform reports it: the kind in the high 16 bits
     * ({@link #getKind()}), a device-specific subtype in the low 16 bits.
     *
     * @return the type word
     */
    public int getType() { return type; }

    /**
     * The kind of device, the high 16 bits of {@link #getType()}.
     *
     * @return {@link #KIND_SCANNER}, {@link #KIND_CAMERA}, {@link #KIND_VIDEO} or another
     *     value the platform defines
     */
    public int getKind() { return kindOf(type); }

    static int kindOf(int type) {
        return type >>> 16;
    }

    /**
     * The library's handle of the device, as it was offered.
     *
     * @return the handle; 0 once released, or for a device made without one
     */
    protected long getHandle() {
        synchronized (lock) {
            return handle;
        }
    }

    /**
     * Adds a listener that receives every image of every later transfer of this device.
     *
     * @param listener the listener
     */
    public void addImageListener(ImageListener listener) {
        listeners.add(Objects.requireNonNull(listener, "listener"));
    }

    /**
     * Removes a listener added with {@link #addImageListener}; nothing happens when it is
     * not there.
     *
     * @param listener the listener
     */
    public void removeImageListener(ImageListener listener) {
        listeners.remove(listener);
    }

    /**
     * Gives the device back to the library. Waits for a transfer in progress on the device;
     * releasing again does nothing. Closing the manager releases every device it found.
     *
     * @throws VestaroException when the library cannot release the handle (the device
     *     counts as released all the same)
     */
    public void release() throws VestaroException {
        synchronized (lock) {
            if (released) {
                return;
            }
            released = true;
            long toRelease = handle;
            handle = 0;
            if (toRelease != 0) {
                try {
                    _release(toRelease);
                } catch (Throwable failure) {
                    Failures.rethrowVestaro(failure);
                }
            }
        }
    }

    /**
     * Releases the device, as {@link #release()} does, so that a device can be used in a
     * try-with-resources statement. Closing again, or after its manager closed, does nothing.
     *
     * @throws VestaroException when the library cannot release the handle (the device
     *     counts as released all the same)
     */
    @Override
    public void close() throws VestaroException {
        release();
    }

    /**
     * Whether the device has been released, by {@link #release()} or {@link #close()}, by closing its manager,
     * or because a later poll listed every device without finding it.
     *
     * @return true once released
     */
    public boolean isReleased() { return released; }

    /**
     * Runs one transfer of the device's natives, delivering each image to {@code listener}
     * and then to the registered listeners, and throws the failures as the class
     * documentation describes.
     *
     * @return the number of images that arrived
     */
    final int runTransfer(boolean dialog, ImageListener listener) throws VestaroException, IOException {
        return runTransfer(listener, false, List.of(), deviceHandle -> {
            transferNative(deviceHandle, dialog);
            return 0;
        }).count();
    }

    /** One call of a native that hands its images to {@link #fireTransferDone}; returns the native's answer. */
    @FunctionalInterface
    interface NativeTransfer {
        int run(long deviceHandle);
    }

    /**
     * What one transfer delivered.
     *
     * @param answer what the native returned
     * @param images the images that reached the listeners, in order
     * @param count the images the library handed over, those that could not be delivered included
     */
    record Delivered(int answer, List<TransferredImage> images, int count) {
    }

    /**
     * Runs one transfer through {@code call}, on the thread that holds the lock: the images
     * go to {@code listener} and then to the registered listeners, every second one a back
     * side when {@code duplex}. When the call returns, the native's failure is thrown if there
     * is one, else the first failure of the listeners, then of {@code laterFailures} (read
     * once the call is over), the others attached to it.
     */
    final Delivered runTransfer(ImageListener listener, boolean duplex, Collection<Throwable> laterFailures,
            NativeTransfer call) throws VestaroException, IOException {
        synchronized (lock) {
            long deviceHandle = usableHandle();
            prepareFolders(listener);
            Transfer outer = transfer;
            Transfer current = new Transfer(listener, duplex);
            transfer = current;
            Throwable failure = null;
            int answer = 0;
            try {
                answer = call.run(deviceHandle);
            } catch (Throwable thrown) {
                failure = thrown;
            } finally {
                transfer = outer;
            }
            for (Throwable listenerFailure : current.failures) {
                failure = Failures.merge(failure, listenerFailure);
            }
            for (Throwable later : List.copyOf(laterFailures)) {
                failure = Failures.merge(failure, later);
            }
            Failures.rethrow(failure);
            return new Delivered(answer, List.copyOf(current.images), current.count);
        }
    }

    /**
     * The handle for an operation, called with the lock held.
     *
     * @throws IllegalStateException when the device is released or has no handle
     */
    final long usableHandle() {
        if (released) {
            throw new IllegalStateException(this + " is released");
        }
        if (handle == 0) {
            throw new IllegalStateException(this + " has no device handle");
        }
        return handle;
    }

    /** Prepares each image folder that the transfer delivers to, so that none loses an image it was handed. */
    private void prepareFolders(ImageListener listener) throws IOException {
        if (listener instanceof ImageFolder) {
            ((ImageFolder) listener).prepare();
        }
        for (ImageListener each : listeners) {
            if (each instanceof ImageFolder && each != listener) {
                ((ImageFolder) each).prepare();
            }
        }
    }

    /** Runs one transfer that keeps every image in {@code folder}; returns the files kept. */
    final List<Path> runTransfer(boolean dialog, Path folder, String prefix) throws VestaroException, IOException {
        ImageFolder kept = new ImageFolder(folder, prefix);
        runTransfer(dialog, kept);
        return kept.files();
    }

    /** Calls the device's native transfer; cameras and scanners have one. */
    void transferNative(long deviceHandle, boolean dialog) {
        throw new UnsupportedOperationException(this + " cannot transfer images");
    }

    /**
     * Called by the library once per image that arrived, on the thread of the transfer; the
     * file exists only during this call. Hands the image to the listeners. A subclass that
     * overrides this method and starts transfers through the natives itself receives the
     * images instead of the listeners.
     *
     * @param path the file that the platform wrote
     * @param extension the file's format: "jpg" or "bmp"
     */
    protected void fireTransferDone(String path, String extension) {
        Transfer current = transfer;
        if (current != null && current.thread == Thread.currentThread()) {
            current.deliver(this, path, extension, listeners);
            return;
        }
        // A transfer that a subclass started through the natives directly: no transfer
        // method will report the failure, so it goes back to the library, which leaves it
        // pending for the native call.
        Transfer own = new Transfer(null, false);
        own.deliver(this, path, extension, listeners);
        if (!own.failures.isEmpty()) {
            Throwable failure = own.failures.get(0);
            for (Throwable later : own.failures.subList(1, own.failures.size())) {
                failure.addSuppressed(later);
            }
            if (failure instanceof IOException) {
                throw new UncheckedIOException((IOException) failure);
            }
            throw (RuntimeException) failure;
        }
    }

    /**
     * Part of the contract with the library, which does not call it in this version. A call
     * during a transfer counts as a failure of that transfer.
     *
     * @param code the failure code
     * @param message the failure's text
     */
    protected void fireTransferFailed(int code, String message) {
        Transfer current = transfer;
        if (current != null && current.thread == Thread.currentThread()) {
            current.failures.add(new VestaroException(code, message, null, 0));
        }
    }

    /**
     * The name of the item whose image the library hands over next, during a transfer on
     * this thread; the image takes it (a transfer a subclass started itself ignores it).
     */
    final void nameNextImage(String itemName) {
        Transfer current = transfer;
        if (current != null && current.thread == Thread.currentThread()) {
            current.nextName = itemName;
        }
    }

    @Override
    public String toString() { return getClass().getSimpleName() + " \"" + name + "\" (" + id + ")"; }

    /** One transfer in progress: where its images go and what failed. */
    private static final class Transfer {
        final Thread thread = Thread.currentThread();
        final ImageListener listener;
        final boolean duplex;
        final List<Throwable> failures = new ArrayList<>();
        final List<TransferredImage> images = new ArrayList<>();
        int count;
        /** The name of the item whose file arrives next, as the library announced it; null for none. */
        String nextName;

        Transfer(ImageListener listener, boolean duplex) {
            this.listener = listener;
            this.duplex = duplex;
        }

        void deliver(WIADevice device, String path, String extension, List<ImageListener> registered) {
            count++;
            TransferredImage image;
            try {
                Path file = Path.of(path);
                PageSide side = duplex && count % 2 == 0 ? PageSide.BACK : PageSide.FRONT;
                image = new TransferredImage(device, file, extension, count, side, ImageHeader.readOrUnknown(file),
                        nextName);
                nextName = null;
            } catch (RuntimeException e) {
                failures.add(e);
                return;
            }
            images.add(image);
            LOG.log(System.Logger.Level.DEBUG, () -> device + ": " + image);
            if (listener != null) {
                call(listener, image);
            }
            for (ImageListener each : registered) {
                call(each, image);
            }
        }

        private void call(ImageListener each, TransferredImage image) {
            try {
                each.imageTransferred(image);
            } catch (IOException | RuntimeException e) {
                failures.add(e);
            }
        }
    }
}
