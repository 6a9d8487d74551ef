package kordin.vestaro.testsupport;

import java.util.ArrayList;
import java.util.List;
import kordin.vestaro.VestaroException;
import kordin.vestaro.wia.WIADevice;
import kordin.vestaro.wia.WIAManager;

/** A program for a VM of its own: whether the class path gives a WIA platform, and its devices. */
public final class SupportProbe {
    private SupportProbe() {
    }

    public static void main(String[] args) throws VestaroException {
        boolean supported = WIAManager.isSupported();
        List<String> names = new ArrayList<>();
        if (supported) {
            try (WIAManager manager = WIAManager.open()) {
                for (WIADevice device : manager.getDevices()) {
                    names.add(device.getName());
                }
            }
        }
        System.out.println("supported: " + supported + ", devices: " + (names.isEmpty() ? "none" : String.join(", ", names)));
    }
}
