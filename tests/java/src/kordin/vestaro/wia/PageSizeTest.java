package kordin.vestaro.wia;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Page sizes in the devices' thousandths of an inch, in whole pixels, and as the messages show them. */
class PageSizeTest {
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = ';', value = {
        "A4 (210 x 297 mm); 8268; 11693; 8.268 x 11.693 in",
        "A5 (148 x 210 mm); 5827; 8268; 5.827 x 8.268 in",
        "Letter (8.5 x 11 in); 8500; 11000; 215.9 x 279.4 mm",
        "Legal (8.5 x 14 in); 8500; 14000; 215.9 x 355.6 mm",
    })
    void namedSizesInThousandthsAndInBothUnits(String shown, int width, int height, String otherUnit) {
        PageSize size = shown.startsWith("A4") ? PageSize.A4 : shown.startsWith("A5") ? PageSize.A5
                : shown.startsWith("Letter") ? PageSize.LETTER : PageSize.LEGAL;
        assertEquals(shown, size.toString());
        assertEquals(width, size.getWidthThousandths());
        assertEquals(height, size.getHeightThousandths());
        PageSize.Unit other = size.getUnit() == PageSize.Unit.INCHES ? PageSize.Unit.MILLIMETRES : PageSize.Unit.INCHES;
        assertEquals(otherUnit, size.dimensions(other));
    }

    @Test
    void customSizesShowAsGivenAndBedsInInches() {
        assertEquals("100 x 150.5 mm", PageSize.millimetres(100, 150.50).toString());
        assertEquals("4 x 6 in", PageSize.inches(4.0, 6).toString());
        assertEquals(3937, PageSize.millimetres(100, 150).getWidthThousandths());
        PageSize bed = PageSize.ofThousandths(8500, 11693);
        assertEquals("8.5 x 11.693 in", bed.toString());
        assertEquals("215.9 x 297 mm", bed.dimensions(PageSize.Unit.MILLIMETRES));
        assertTrue(bed.getName().isEmpty());
        assertEquals(PageSize.inches(8.5, 11), PageSize.inches(8.50, 11.0));
        assertNotEquals(PageSize.LETTER, PageSize.inches(8.5, 11), "a named size is not a custom one of its sides");
    }

    /** Whole pixels only, as the devices lay out their glass; never none. */
    @Test
    void pixelsAreTheWholePixelsThatFit() {
        assertEquals(1240, PageSize.A4.widthPixels(150));
        assertEquals(1753, PageSize.A4.heightPixels(150));
        assertEquals(3507, PageSize.A4.heightPixels(300));
        assertEquals(1, PageSize.millimetres(0.1, 0.1).widthPixels(50));
        assertEquals(Integer.MAX_VALUE, PageSize.inches(1000, 1000).widthPixels(Integer.MAX_VALUE));
    }

    @Test
    void sizesNoPageCanHaveAreRefused() {
        double[] wrong = {0, -1, Double.NaN, Double.POSITIVE_INFINITY, 1000.001, 0.0004};
        for (double side : wrong) {
            assertThrows(IllegalArgumentException.class, () -> PageSize.inches(side, 1), "inches " + side);
            assertThrows(IllegalArgumentException.class, () -> PageSize.millimetres(10, side * 25.4), "mm " + side);
        }
        assertThrows(IllegalArgumentException.class, () -> PageSize.ofThousandths(0, 10));
        assertEquals(1000, PageSize.inches(1000, 1).getWidthThousandths() / 1000);
    }

    @Test
    void aSizeFitsWhenNeitherSideIsLonger() {
        PageSize bed = PageSize.ofThousandths(8500, 11693);
        assertTrue(PageSize.A4.fitsWithin(bed), "A4 is as high as the virtual bed");
        assertTrue(PageSize.LETTER.fitsWithin(bed));
        assertFalse(PageSize.LEGAL.fitsWithin(bed));
        assertFalse(PageSize.millimetres(216, 10).fitsWithin(bed));
    }
}
