package kordin.vestaro.wia;

import java.util.List;
import java.util.stream.Collectors;

/**
 * The resolutions a scanner offers, as its driver declares them: a range with a step, a list
 * of values, or nothing known.
 */
public final class Resolutions {
    private static final Resolutions UNKNOWN = new Resolutions(false, List.of(), 0, 0, 0);

    private final boolean range;
    private final List<Integer> values;
    private final int min;
    private final int max;
    private final int step;

    private Resolutions(boolean range, List<Integer> values, int min, int max, int step) {
        this.range = range;
        this.values = values;
        this.min = min;
        this.max = max;
        this.step = step;
    }

    static Resolutions unknown() { return UNKNOWN; }

    /** A range; a step below 1 counts as 1, as no driver can mean less. */
    static Resolutions range(int min, int max, int step) {
        return new Resolutions(true, List.of(), min, max, Math.max(1, step));
    }

    static Resolutions list(List<Integer> values) {
        List<Integer> sorted = values.stream().distinct().sorted().toList();
        return sorted.isEmpty() ? UNKNOWN
                : new Resolutions(false, sorted, sorted.get(0), sorted.get(sorted.size() - 1), 0);
    }

    /**
     * Whether the driver declares a range (the lowest, the highest and a step).
     *
     * @return true for a range
     */
    public boolean isRange() { return range; }

    /**
     * Whether the driver declares the resolutions at all.
     *
     * @return false when nothing is known
     */
    public boolean isKnown() { return this != UNKNOWN; }

    /**
     * The values of a list.
     *
     * @return the values in ascending order; empty for a range or when nothing is known
     */
    public List<Integer> getValues() { return values; }

    /**
     * The lowest resolution.
     *
     * @return dots per inch; 0 when nothing is known
     */
    public int getMin() { return min; }

    /**
     * The highest resolution.
     *
     * @return dots per inch; 0 when nothing is known
     */
    public int getMax() { return max; }

    /**
     * The step of a range.
     *
     * @return dots per inch between two values, 1 or more; 0 for a list or when nothing is known
     */
    public int getStep() { return step; }

    /**
     * Whether the device takes a resolution.
     *
     * @param dotsPerInch the resolution
     * @return true when it is offered, or when nothing is known
     */
    public boolean contains(int dotsPerInch) {
        if (!isKnown()) {
            return true;
        }
        if (range) {
            return dotsPerInch >= min && dotsPerInch <= max && ((long) dotsPerInch - min) % step == 0;
        }
        return values.contains(dotsPerInch);
    }

    /**
     * The resolutions as the command line's {@code info} shows them.
     *
     * @return {@code 50 to 1200 dpi in steps of 1}, {@code 75, 150, 300 dpi} or {@code not known}
     */
    @Override
    public String toString() {
        if (!isKnown()) {
            return "not known";
        }
        if (range) {
            return min + " to " + max + " dpi in steps of " + step;
        }
        return values.stream().map(String::valueOf).collect(Collectors.joining(", ")) + " dpi";
    }
}
