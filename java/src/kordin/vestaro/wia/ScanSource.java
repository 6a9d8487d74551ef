package kordin.vestaro.wia;

/** Where a scanner takes the paper from; {@link ScannerCapabilities#getSources()} says which it has. */
public enum ScanSource {
    /** The glass: one page, laid on it. */
    FLATBED,
    /** The document feeder, one side of each sheet. */
    FEEDER,
    /** The document feeder with its duplex unit: the front of each sheet, then its back. */
    DUPLEX;

    /**
     * Whether the source takes its pages from the feeder.
     *
     * @return true for {@link #FEEDER} and {@link #DUPLEX}
     */
    public boolean isFeeder() { return this != FLATBED; }
}
