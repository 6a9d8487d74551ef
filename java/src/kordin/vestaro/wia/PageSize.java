package kordin.vestaro.wia;

import java.math.BigDecimal;
import java.math.RoundingMode;
import java.util.Objects;
import java.util.Optional;

/**
 * The size of a page, portrait: a named paper size or a custom one in millimetres or inches.
 * It is held in thousandths of an inch, the unit of the devices, and shown in the unit it
 * was given in: {@code A4 (210 x 297 mm)}, {@code Letter (8.5 x 11 in)}, {@code 100 x 150 mm}.
 * A scan of this size covers the page from the top left corner of the glass or the feeder's
 * page, in pixels at the resolution the device scans at.
 */
public final class PageSize {
    /** The unit a size is given and shown in. */
    public enum Unit {
        /** Millimetres, shown to a tenth. */
        MILLIMETRES("mm", 1),
        /** Inches, shown to a thousandth. */
        INCHES("in", 3);

        private final String symbol;
        private final int decimals;

        Unit(String symbol, int decimals) {
            this.symbol = symbol;
            this.decimals = decimals;
        }

        /**
         * The unit's symbol.
         *
         * @return "mm" or "in"
         */
        public String symbol() { return symbol; }
    }

    /** The largest side a custom size may have: 1000 inches (25.4 metres). */
    static final int MAX_THOUSANDTHS = 1_000_000;

    /** ISO A4, 210 by 297 mm. */
    public static final PageSize A4 = new PageSize("A4", 210, 297, Unit.MILLIMETRES);
    /** ISO A5, 148 by 210 mm. */
    public static final PageSize A5 = new PageSize("A5", 148, 210, Unit.MILLIMETRES);
    /** US Letter, 8.5 by 11 inches. */
    public static final PageSize LETTER = new PageSize("Letter", 8.5, 11, Unit.INCHES);
    /** US Legal, 8.5 by 14 inches. */
    public static final PageSize LEGAL = new PageSize("Legal", 8.5, 14, Unit.INCHES);

    private final String name;
    private final BigDecimal width;
    private final BigDecimal height;
    private final Unit unit;
    private final int widthThousandths;
    private final int heightThousandths;

    private PageSize(String name, double width, double height, Unit unit) {
        this(name, decimal("width", width), decimal("height", height), unit);
    }

    private PageSize(String name, BigDecimal width, BigDecimal height, Unit unit) {
        this.name = name;
        this.unit = unit;
        this.width = width.stripTrailingZeros();
        this.height = height.stripTrailingZeros();
        this.widthThousandths = thousandths("width", width, unit);
        this.heightThousandths = thousandths("height", height, unit);
    }

    private static BigDecimal decimal(String side, double value) {
        if (!Double.isFinite(value) || value <= 0) {
            throw new IllegalArgumentException("a page's " + side + " must be a positive number: " + value);
        }
        return BigDecimal.valueOf(value);
    }

    private static int thousandths(String side, BigDecimal value, Unit unit) {
        BigDecimal exact = unit == Unit.INCHES ? value.movePointRight(3)
                : value.movePointRight(4).divide(BigDecimal.valueOf(254), 3, RoundingMode.HALF_EVEN);
        BigDecimal rounded = exact.setScale(0, RoundingMode.HALF_UP);
        if (rounded.signum() <= 0 || rounded.compareTo(BigDecimal.valueOf(MAX_THOUSANDTHS)) > 0) {
            throw new IllegalArgumentException("a page's " + side + " must lie between 0.001 and 1000 inches: "
                    + value.stripTrailingZeros().toPlainString() + " " + unit.symbol);
        }
        return rounded.intValue();
    }

    /**
     * A custom size in millimetres.
     *
     * @param width the width, more than 0
     * @param height the height, more than 0
     * @return the size
     * @throws IllegalArgumentException for a side that is not a number, or one below a
     *     thousandth of an inch or above 1000 inches
     */
    public static PageSize millimetres(double width, double height) {
        return new PageSize(null, width, height, Unit.MILLIMETRES);
    }

    /**
     * A custom size in inches.
     *
     * @param width the width, more than 0
     * @param height the height, more than 0
     * @return the size
     * @throws IllegalArgumentException for a side that is not a number, or one below a
     *     thousandth of an inch or above 1000 inches
     */
    public static PageSize inches(double width, double height) {
        return new PageSize(null, width, height, Unit.INCHES);
    }

    /**
     * A size in the devices' unit, shown in inches: a bed or a sheet as a scanner reports it.
     *
     * @param width the width in thousandths of an inch, 1 or more
     * @param height the height in thousandths of an inch, 1 or more
     * @return the size
     * @throws IllegalArgumentException for a side below 1 or above 1000 inches
     */
    public static PageSize ofThousandths(int width, int height) {
        return new PageSize(null, BigDecimal.valueOf(width, 3), BigDecimal.valueOf(height, 3), Unit.INCHES);
    }

    /**
     * The paper size's name.
     *
     * @return "A4", "A5", "Letter" or "Legal"; empty for a custom size
     */
    public Optional<String> getName() { return Optional.ofNullable(name); }

    /**
     * The unit the size was given in, and is shown in.
     *
     * @return the unit
     */
    public Unit getUnit() { return unit; }

    /**
     * The width.
     *
     * @return thousandths of an inch, rounded to the nearest
     */
    public int getWidthThousandths() { return widthThousandths; }

    /**
     * The height.
     *
     * @return thousandths of an inch, rounded to the nearest
     */
    public int getHeightThousandths() { return heightThousandths; }

    /**
     * The width in pixels at a resolution: the whole pixels that fit, at least one.
     *
     * @param dotsPerInch the resolution
     * @return the pixels
     */
    public int widthPixels(int dotsPerInch) {
        return pixels(widthThousandths, dotsPerInch);
    }

    /**
     * The height in pixels at a resolution: the whole pixels that fit, at least one.
     *
     * @param dotsPerInch the resolution
     * @return the pixels
     */
    public int heightPixels(int dotsPerInch) {
        return pixels(heightThousandths, dotsPerInch);
    }

    /** Whole pixels only, as the devices count the glass: a part pixel would lie beyond it. */
    static int pixels(int thousandths, int dotsPerInch) {
        long pixels = (long) thousandths * dotsPerInch / 1000;
        return (int) Math.max(1, Math.min(Integer.MAX_VALUE, pixels));
    }

    /**
     * Whether this size fits on another one, neither side longer.
     *
     * @param other the bed or the sheet
     * @return true when it fits
     */
    public boolean fitsWithin(PageSize other) {
        return widthThousandths <= other.widthThousandths && heightThousandths <= other.heightThousandths;
    }

    /**
     * The sides in a unit: {@code 210 x 297 mm}; in the unit given they are as given.
     *
     * @param shown the unit
     * @return the text
     */
    public String dimensions(Unit shown) {
        if (shown == unit) {
            return width.toPlainString() + " x " + height.toPlainString() + " " + unit.symbol;
        }
        return in(widthThousandths, shown) + " x " + in(heightThousandths, shown) + " " + shown.symbol;
    }

    private static String in(int thousandths, Unit shown) {
        BigDecimal inches = BigDecimal.valueOf(thousandths, 3);
        BigDecimal value = shown == Unit.INCHES ? inches : inches.multiply(new BigDecimal("25.4"));
        return value.setScale(shown.decimals, RoundingMode.HALF_UP).stripTrailingZeros().toPlainString();
    }

    @Override
    public boolean equals(Object other) {
        if (!(other instanceof PageSize)) {
            return false;
        }
        PageSize size = (PageSize) other;
        return Objects.equals(name, size.name) && unit == size.unit && width.equals(size.width)
                && height.equals(size.height);
    }

    @Override
    public int hashCode() { return Objects.hash(name, unit, width, height); }

    /**
     * The size as it is shown in messages.
     *
     * @return {@code A4 (210 x 297 mm)} for a named size, {@code 100 x 150 mm} for a custom one
     */
    @Override
    public String toString() {
        String sides = dimensions(unit);
        return name == null ? sides : name + " (" + sides + ")";
    }
}
