package kordin.vestaro.wia;

/**
 * The colour modes of an unattended scan, with the {@code bitDepth} codes that the native
 * library reads from a {@link WIAScanner}: a positive code is colour with that many bits per
 * channel, a negative one grey, and 1 (or -1) black and white.
 */
public enum ColorMode {
    /** Black and white, 1 bit per pixel (code 1). */
    BLACK_AND_WHITE(1, 1, 0),
    /** Greyscale, 8 bits per pixel (code -8). */
    GRAY_8(-8, 8, 2),
    /** Greyscale, 16 bits per pixel (code -16); only devices with deep modes accept it. */
    GRAY_16(-16, 16, 2),
    /** Colour, 8 bits per channel, 24 per pixel (code 8). */
    COLOR_24(8, 24, 3),
    /** Colour, 16 bits per channel, 48 per pixel (code 16); only devices with deep modes accept it. */
    COLOR_48(16, 48, 3);

    private final int bitDepth;
    private final int bitsPerPixel;
    private final int dataType;

    ColorMode(int bitDepth, int bitsPerPixel, int dataType) {
        this.bitDepth = bitDepth;
        this.bitsPerPixel = bitsPerPixel;
        this.dataType = dataType;
    }

    /** The device's data type (WIA_IPA_DATATYPE): threshold 0, greyscale 2, colour 3. */
    int dataType() { return dataType; }

    /**
     * The code of this mode in {@link WIAScanner}'s {@code bitDepth} field.
     *
     * @return 1, -8, -16, 8 or 16
     */
    public int bitDepth() { return bitDepth; }

    /**
     * The depth that the device is asked for.
     *
     * @return bits per pixel: 1, 8, 16, 24 or 48
     */
    public int bitsPerPixel() { return bitsPerPixel; }

    /**
     * The mode of a {@code bitDepth} code.
     *
     * @param bitDepth a code as {@link #bitDepth()} gives it; -1 also means black and white
     * @return the mode, or null for a code that names none (the library scans such a code
     *     in colour with a depth of 8 bits per pixel)
     */
    public static ColorMode ofBitDepth(int bitDepth) {
        if (bitDepth == -1) {
            return BLACK_AND_WHITE;
        }
        for (ColorMode mode : values()) {
            if (mode.bitDepth == bitDepth) {
                return mode;
            }
        }
        return null;
    }
}
