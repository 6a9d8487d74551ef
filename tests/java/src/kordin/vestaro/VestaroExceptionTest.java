package kordin.vestaro;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import org.junit.jupiter.api.Test;

class VestaroExceptionTest {
    @Test
    void carriesFailureCodeBitForBitWithTextAndSourcePosition() {
        // E_INVALIDARG: a failure code has its top bit set, so it is a negative int.
        int code = 0x80070057;
        VestaroException e = new VestaroException(code, "The parameter is incorrect.\r\n",
                "src/jni/wia/WIAManager.cpp", 42);

        assertEquals(-2147024809, e.getCode());
        assertEquals("80070057", Integer.toHexString(e.getCode()));
        assertEquals("The parameter is incorrect.\r\n", e.getMessage());
        assertEquals("src/jni/wia/WIAManager.cpp", e.getFile());
        assertEquals(42, e.getLine());
        assertNull(e.getCause());
    }
}
