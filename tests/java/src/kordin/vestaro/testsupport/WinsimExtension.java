package kordin.vestaro.testsupport;

import org.junit.jupiter.api.extension.AfterEachCallback;
import org.junit.jupiter.api.extension.BeforeEachCallback;
import org.junit.jupiter.api.extension.ExtensionContext;

/**
 * For tests over the real library and the stand-in platform: each test starts from a fresh
 * platform (the default devices, or the set that {@code WINSIM_DEVICES} names), and fails
 * unless everything it made on the platform is given back by its end. The platform is reset
 * again afterwards, so that no fault or device set reaches the next test.
 */
public final class WinsimExtension implements BeforeEachCallback, AfterEachCallback {
    private static final ExtensionContext.Namespace NAMESPACE = ExtensionContext.Namespace.create(WinsimExtension.class);

    @Override
    public void beforeEach(ExtensionContext context) {
        Winsim.reset();
        context.getStore(NAMESPACE).put("census", Winsim.census());
    }

    @Override
    public void afterEach(ExtensionContext context) {
        Winsim.Census start = context.getStore(NAMESPACE).get("census", Winsim.Census.class);
        Winsim.Census end = Winsim.census();
        String live = Winsim.liveObjects();
        Winsim.reset();
        if (!end.equals(start)) {
            throw new AssertionError("the platform still holds what the test made: " + end + " at the end, " + start
                    + " at the start; live objects: " + live);
        }
    }
}
