package kordin.vestaro.wia;

/** The side of a sheet that a page shows. */
public enum PageSide {
    /** The side facing up in the feeder, or the only side: every flatbed and simplex page. */
    FRONT,
    /** The other side of a duplex sheet, scanned right after its front. */
    BACK
}
