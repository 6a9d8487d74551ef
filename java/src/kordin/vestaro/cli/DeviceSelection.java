package kordin.vestaro.cli;

import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.VestaroException;
import kordin.vestaro.wia.WIADevice;
import kordin.vestaro.wia.WIAManager;
import kordin.vestaro.wia.WIAScanner;

/**
 * The device a command uses: the one {@code -d} names (its number in the list, its
 * identifier or its name), else the first of the command's kind; or why there is none.
 */
final class DeviceSelection {
    /**
     * The device, or why there is none: a listed device that could not be opened and may be
     * the one asked for ({@code unopened}), else the words for no such device ({@code why}).
     */
    record Selection(WIADevice device, VestaroException unopened, String why) {
        static Selection of(WIADevice device) {
            return new Selection(device, null, null);
        }
    }

    private DeviceSelection() {
    }

    static Selection select(WIAManager manager, String wanted, Class<? extends WIADevice> kind) {
        String kindWord = kind == WIAScanner.class ? "scanner" : "camera";
        List<WIADevice> devices = manager.getDevices();
        if (wanted == null) {
            for (WIADevice device : devices) {
                if (kind.isInstance(device)) {
                    return Selection.of(device);
                }
            }
            return missing(manager, null, "no " + kindWord + " found"
                    + (devices.isEmpty() ? ": the platform offered no WIA device"
                            : " among " + devices.size() + (devices.size() == 1 ? " device" : " devices")));
        }
        WIADevice named = null;
        if (wanted.matches("[0-9]{1,9}")) {
            int number = Integer.parseInt(wanted);
            named = number >= 1 && number <= devices.size() ? devices.get(number - 1) : null;
        }
        for (WIADevice device : devices) {
            if (named == null && (wanted.equals(device.getId()) || wanted.equalsIgnoreCase(device.getName()))) {
                named = device;
            }
        }
        if (named == null) {
            return missing(manager, wanted, "no device " + wanted + " (see 'list')");
        }
        if (!kind.isInstance(named)) {
            return new Selection(null, null, Main.quoted(named) + " is a " + Main.kindName(named) + ", not a " + kindWord);
        }
        return Selection.of(named);
    }

    /**
     * No listed device answers {@code wanted} (null: any of the kind): a failure when the
     * latest poll listed a device that it could not open and that may be the one asked for,
     * else no such device.
     */
    private static Selection missing(WIAManager manager, String wanted, String why) {
        VestaroException unopened = null;
        for (VestaroException failure : pollFailures(manager.getPollFailure())) {
            String name = failure.getDeviceName();
            String id = failure.getDeviceId();
            if (wanted == null || wanted.equals(id) || wanted.equalsIgnoreCase(name)) {
                unopened = failure;
                break;
            }
            if (unopened == null && name == null && id == null) {
                unopened = failure; // a device that could not be read may be the one
            }
        }
        return new Selection(null, unopened, unopened == null ? why : null);
    }

    /** A poll's failure and the failures attached to it. */
    private static List<VestaroException> pollFailures(VestaroException first) {
        List<VestaroException> all = new ArrayList<>();
        if (first != null) {
            all.add(first);
            for (Throwable later : first.getSuppressed()) {
                if (later instanceof VestaroException) {
                    all.add((VestaroException) later);
                }
            }
        }
        return all;
    }

    /** What could not be done, as a failure's context: {@code cannot open "Camera": }. */
    static String cannotOpen(VestaroException failure) {
        String name = failure.getDeviceName();
        String id = failure.getDeviceId();
        if (name == null && id == null) {
            return "cannot list every WIA device: ";
        }
        return "cannot open " + (name != null ? "\"" + name + "\"" : id) + ": ";
    }
}
