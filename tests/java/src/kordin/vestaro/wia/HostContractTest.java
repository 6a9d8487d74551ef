package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import kordin.vestaro.Manager;
import kordin.vestaro.VestaroException;
import org.junit.jupiter.api.Test;

/**
 * The members the native library binds to by name and signature. A change here breaks
 * the library's exported symbol names or its lookups at load, which only a JVM would
 * otherwise notice.
 */
class HostContractTest {
    private static void assertNative(Class<?> owner, String name, Class<?> result, Class<?>... parameters)
            throws NoSuchMethodException {
        Method m = owner.getDeclaredMethod(name, parameters);
        assertTrue(Modifier.isNative(m.getModifiers()), m + " is native");
        assertEquals(result, m.getReturnType(), m + " result");
    }

    private static void assertMethod(Class<?> owner, String name, Class<?> result, Class<?>... parameters)
            throws NoSuchMethodException {
        Method m = owner.getDeclaredMethod(name, parameters);
        assertTrue(!Modifier.isStatic(m.getModifiers()), m + " is an instance method");
        assertEquals(result, m.getReturnType(), m + " result");
    }

    @Test
    void nativesMatchTheExportedEntryPoints() throws NoSuchMethodException {
        assertNative(WIAManager.class, "_initialize", long.class);
        assertNative(WIAManager.class, "_poll", void.class, long.class);
        assertNative(WIAManager.class, "_release", void.class, long.class);
        assertNative(WIADevice.class, "_release", void.class, long.class);
        assertNative(WIACamera.class, "_transfer", void.class, long.class, boolean.class);
        assertNative(WIAScanner.class, "_transfer", void.class, long.class, boolean.class);
    }

    @Test
    void callbacksFieldsAndHierarchyMatchTheLoadLookups() throws Exception {
        assertEquals(Manager.class, WIAManager.class.getSuperclass());
        assertEquals(WIADevice.class, WIACamera.class.getSuperclass());
        assertEquals(WIADevice.class, WIAScanner.class.getSuperclass());

        assertMethod(WIAManager.class, "add", boolean.class, String.class, long.class, int.class, String.class);
        assertMethod(WIADevice.class, "fireTransferDone", void.class, String.class, String.class);
        assertMethod(WIADevice.class, "fireTransferFailed", void.class, int.class, String.class);

        Field debug = Manager.class.getDeclaredField("debug");
        assertTrue(Modifier.isStatic(debug.getModifiers()));
        assertEquals(boolean.class, debug.getType());
        for (String name : new String[] {"bitDepth", "resolution", "x", "y", "width", "height"}) {
            Field f = WIAScanner.class.getDeclaredField(name);
            assertTrue(!Modifier.isStatic(f.getModifiers()), name);
            assertEquals(int.class, f.getType(), name);
        }

        VestaroException.class.getConstructor(int.class, String.class, String.class, int.class);
    }
}
