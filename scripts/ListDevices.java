import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.wia.WIAManager;

/** Loads the native library, lists the WIA devices it offers, and writes the list to a file. */
public class ListDevices extends WIAManager {
    private final List<String> devices = new ArrayList<>();

    @Override
    protected boolean add(String name, long deviceHandle, int type, String id) {
        devices.add(String.format("%s\ttype 0x%08x\t%s", name, type, id));
        return false; // listed only: the library may let the device go at once
    }

    public static void main(String[] args) throws IOException {
        if (args.length != 1) {
            System.err.println("usage: ListDevices OUTPUT_FILE");
            System.exit(2);
        }
        System.loadLibrary("vestaro64_12");
        ListDevices manager = new ListDevices();
        long handle = manager._initialize();
        try {
            manager._poll(handle);
        } finally {
            manager._release(handle);
        }
        Files.write(Path.of(args[0]), manager.devices);
        System.out.println(manager.devices.size() + " device(s), listed in " + args[0]);
        manager.devices.forEach(System.out::println);
    }
}
