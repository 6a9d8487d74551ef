package kordin.vestaro.wia;

/**
 * Makes the object for a device by its kind. Kept apart from {@link WIAManager}: the
 * library loads the manager class when it loads, and verifying this code needs the device
 * classes, which a broken host may not have in the right hierarchy; the library's own
 * check reports that more clearly than a verifier error would.
 */
final class Devices {
    private Devices() {
    }

    /** A scanner for kind 1, a camera for kind 2 (the high 16 bits of the type word), else a plain device. */
    static WIADevice create(String name, long deviceHandle, int type, String id) {
        switch (WIADevice.kindOf(type)) {
            case WIADevice.KIND_SCANNER:
                return new WIAScanner(name, deviceHandle, type, id);
            case WIADevice.KIND_CAMERA:
                return new WIACamera(name, deviceHandle, type, id);
            default:
                return new WIADevice(name, deviceHandle, type, id);
        }
    }
}
