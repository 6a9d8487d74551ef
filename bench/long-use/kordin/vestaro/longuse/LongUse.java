package kordin.vestaro.longuse;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import kordin.vestaro.wia.WIACamera;
import kordin.vestaro.wia.WIAManager;

/**
 * Long use as an application sees it, through the jar's public API alone: camera
 * pictures transferred and polls made in one process, with the process's resident memory
 * (VmRSS) read after a warm-up and as the run goes on. It reports and asserts nothing.
 *
 * <p>Arguments: the number of pictures to transfer (default 1,000,000) and of polls
 * (default 100,000). The polls are spread evenly over the transfers.
 */
public final class LongUse {
    private LongUse() {
    }

    public static void main(String[] args) throws Exception {
        final long pictures = args.length > 0 ? Long.parseLong(args[0]) : 1_000_000L;
        final long polls = args.length > 1 ? Long.parseLong(args[1]) : 100_000L;
        final long warmUp = Math.max(1, pictures / 20);
        final long reportEvery = Math.max(1, pictures / 10);

        long[] arrived = {0};
        long pollsDone = 0;
        long rssAfterWarmUp = -1;
        long nextReport = warmUp;
        long started = System.nanoTime();
        try (WIAManager manager = WIAManager.open()) {
            List<WIACamera> cameras = manager.getCameras();
            if (cameras.isEmpty()) {
                throw new IllegalStateException("no camera; name a device set in WINSIM_DEVICES");
            }
            WIACamera camera = cameras.get(0);
            System.out.printf("camera %s, %d devices, VmRSS at start %d kB%n", camera.getName(),
                    manager.getDevices().size(), residentKilobytes());
            while (arrived[0] < pictures) {
                camera.transfer(false, image -> arrived[0]++);
                // Polls keep pace with the pictures: polls * arrived / pictures of them so far.
                for (long due = polls * Math.min(arrived[0], pictures) / pictures; pollsDone < due; ++pollsDone) {
                    manager.poll();
                }
                if (arrived[0] >= nextReport) {
                    long rss = residentKilobytes();
                    if (rssAfterWarmUp < 0) {
                        rssAfterWarmUp = rss;
                        System.out.printf("after warm-up: %d pictures, %d polls, VmRSS %d kB%n", arrived[0], pollsDone, rss);
                    } else {
                        System.out.printf("%d pictures, %d polls, VmRSS %d kB (%+d kB since warm-up)%n", arrived[0],
                                pollsDone, rss, rss - rssAfterWarmUp);
                    }
                    nextReport += reportEvery;
                }
            }
            for (; pollsDone < polls; ++pollsDone) {
                manager.poll();
            }
        }
        long rss = residentKilobytes();
        double seconds = (System.nanoTime() - started) / 1e9;
        System.out.printf("done: %d pictures and %d polls in %.1f s; VmRSS %d kB, %+d kB since warm-up (%d pictures);"
                + " peak VmHWM %d kB%n", arrived[0], pollsDone, seconds, rss, rss - rssAfterWarmUp, warmUp,
                statusKilobytes("VmHWM:"));
    }

    private static long residentKilobytes() throws IOException {
        return statusKilobytes("VmRSS:");
    }

    /** A "<name> <n> kB" line of /proc/self/status. */
    private static long statusKilobytes(String name) throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith(name)) {
                return Long.parseLong(line.substring(name.length()).replace("kB", "").trim());
            }
        }
        return -1;
    }
}
