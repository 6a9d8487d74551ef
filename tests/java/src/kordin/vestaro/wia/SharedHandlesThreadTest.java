package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;
import kordin.vestaro.testsupport.Winsim;
import kordin.vestaro.testsupport.WinsimExtension;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;

/**
 * Eight threads poll, transfer, scan and release at random on one manager and its shared
 * devices, for a bounded time and number of operations. The only failure a thread may meet
 * is a device that another thread released under it; nothing may crash or hang, and
 * closing the manager gives the platform back everything (the extension checks the
 * census).
 */
@ExtendWith(WinsimExtension.class)
class SharedHandlesThreadTest {
    private static final int THREADS = 8;
    private static final int OPERATIONS_PER_THREAD = 120;
    private static final long RUN_MILLIS = 4_000;

    private static final String DEVICES = "{\"devices\": ["
            + "{\"kind\": \"scanner\", \"id\": \"{T}\\\\0000\", \"name\": \"Scanner\", \"bed\": {\"width\": 1000, \"height\": 1000}},"
            + "{\"kind\": \"camera\", \"id\": \"{T}\\\\0001\", \"name\": \"Camera A\", \"generatedPictures\": 3, \"generatedSize\": [8, 8]},"
            + "{\"kind\": \"camera\", \"id\": \"{T}\\\\0002\", \"name\": \"Camera B\", \"generatedPictures\": 2, \"generatedSize\": [8, 8]}]}";

    @Test
    void pollsTransfersAndReleasesOnSharedHandlesEndCleanly() throws Exception {
        Winsim.loadDevices(DEVICES);
        ConcurrentLinkedQueue<Throwable> undefined = new ConcurrentLinkedQueue<>();
        AtomicInteger images = new AtomicInteger();
        AtomicInteger releasedUnderUs = new AtomicInteger();
        ExecutorService threads = Executors.newFixedThreadPool(THREADS);
        try (WIAManager manager = WIAManager.open()) {
            CountDownLatch start = new CountDownLatch(1);
            long deadline = System.nanoTime() + TimeUnit.MILLISECONDS.toNanos(RUN_MILLIS);
            List<Future<?>> workers = new ArrayList<>();
            for (int t = 0; t < THREADS; ++t) {
                Random random = new Random(t);
                workers.add(threads.submit(() -> {
                    start.await();
                    for (int i = 0; i < OPERATIONS_PER_THREAD && System.nanoTime() < deadline; ++i) {
                        try {
                            images.addAndGet(operate(manager, random));
                        } catch (IllegalStateException e) {
                            if (!String.valueOf(e.getMessage()).endsWith(" is released")) {
                                undefined.add(e);
                            }
                            releasedUnderUs.incrementAndGet();
                        } catch (Throwable e) {
                            undefined.add(e);
                        }
                    }
                    return null;
                }));
            }
            start.countDown();
            for (Future<?> worker : workers) {
                worker.get(60, TimeUnit.SECONDS);  // a hang fails here
            }
        } finally {
            threads.shutdownNow();
        }
        assertEquals(List.of(), new ArrayList<>(undefined), "failures other than a device released under a thread");
        assertTrue(images.get() > 0, "some images arrived (" + releasedUnderUs.get() + " operations met a released device)");
    }

    /** One random operation on the shared devices; returns the number of images it received. */
    private static int operate(WIAManager manager, Random random) throws Exception {
        switch (random.nextInt(8)) {
            case 0:
                manager.poll();
                return 0;
            case 1: {
                List<WIADevice> devices = manager.getDevices();
                if (!devices.isEmpty()) {
                    devices.get(random.nextInt(devices.size())).release();
                }
                return 0;
            }
            case 2:
            case 3: {
                List<WIAScanner> scanners = manager.getScanners();
                if (scanners.isEmpty()) {
                    return 0;
                }
                WIAScanner scanner = scanners.get(0);
                scanner.setResolution(random.nextBoolean() ? 50 : 75);
                scanner.setArea(0, 0, 20 + random.nextInt(20), 20);
                return scanner.scan(random.nextBoolean(), image -> { });
            }
            default: {
                List<WIACamera> cameras = manager.getCameras();
                if (cameras.isEmpty()) {
                    return 0;
                }
                return cameras.get(random.nextInt(cameras.size())).transfer(random.nextBoolean(), image -> { });
            }
        }
    }
}
