package kordin.vestaro.testsupport;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;

/** The hook refuses what it cannot carry out, so that no test runs on a rule that never took effect. */
@ExtendWith(WinsimExtension.class)
class WinsimTest {
    @Test
    void wrongArgumentsAreRefusedWithTheirReason() {
        IllegalArgumentException badSet = assertThrows(IllegalArgumentException.class,
                () -> Winsim.loadDevices("[{\"kind\": \"scanner\", \"id\": \"s\", \"colour\": true}]"));
        assertTrue(badSet.getMessage().contains("colour"), badSet.getMessage());
        assertThrows(IllegalArgumentException.class, () -> Winsim.setDialogScript("s", "{\"action\": \"cancel\"}"));
        assertThrows(IllegalArgumentException.class, () -> Winsim.setDialogScript("s", "[{\"action\": \"wave\"}]"));
        assertThrows(IllegalArgumentException.class, () -> Winsim.injectFault("", Winsim.WIA_ERROR_BUSY, 0, ""));
        assertThrows(IllegalArgumentException.class, () -> Winsim.injectFault("CoCreateInstance", Winsim.WIA_ERROR_BUSY, -1, ""));
        assertThrows(NullPointerException.class, () -> Winsim.injectFault("CoCreateInstance", Winsim.WIA_ERROR_BUSY, 0, null));
        assertThrows(NullPointerException.class, () -> Winsim.loadDevices(null));
        assertEquals(0, Winsim.journal("CoCreateInstance").size());
    }
}
