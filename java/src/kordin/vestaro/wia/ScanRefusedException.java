package kordin.vestaro.wia;

/**
 * A scan that the scanner cannot make, refused before it ran: a source it lacks, or a page
 * larger than its bed or the largest sheet its feeder takes. The message says what and, for a
 * size, both sizes in the units asked, such as "A4 (210 x 297 mm) is larger than the bed
 * (200 x 250 mm)". Nothing was scanned.
 */
public final class ScanRefusedException extends IllegalArgumentException {
    private static final long serialVersionUID = 1L;

    ScanRefusedException(String message) {
        super(message);
    }
}
