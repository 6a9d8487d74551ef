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
        assertEquals("0x80070057", e.getHexCode());
        assertEquals("The parameter is incorrect.\r\n", e.getMessage(), "the system's text unchanged");
        assertEquals("The parameter is incorrect.", e.getText());
        assertEquals("src/jni/wia/WIAManager.cpp", e.getFile());
        assertEquals(42, e.getLine());
        assertNull(e.getCause());
        assertEquals("kordin.vestaro.VestaroException: 0x80070057 The parameter is incorrect."
                + " [src/jni/wia/WIAManager.cpp:42]", e.toString());
    }

    @Test
    void formatsSmallCodesWithEightDigitsAndToleratesMissingParts() {
        VestaroException e = new VestaroException(1, null, null, 0);
        assertEquals("0x00000001", e.getHexCode());
        assertEquals("", e.getText());
        assertEquals("kordin.vestaro.VestaroException: 0x00000001", e.toString());
    }
}
