package kordin.vestaro.wia;

/** How a scan of {@link WIAScanner#scan(ScanSettings, ImageListener)} ended, when no failure ended it. */
public enum ScanOutcome {
    /** Every page asked for arrived, or the feeder ran out of paper after the first. */
    COMPLETED,
    /** {@link WIAScanner#cancel()} (or the device) stopped the scan; the pages that arrived before stay. */
    CANCELLED,
    /** The feeder had no paper: no page arrived. */
    FEEDER_EMPTY
}
