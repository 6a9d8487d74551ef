package kordin.vestaro.wia;

/**
 * A page that arrived in a scan: its number, the side of the sheet it shows, and what its
 * file's header says.
 *
 * @param number the page's number within the scan, from 1
 * @param side the side of the sheet
 * @param header the file's header; {@link ImageHeader#isKnown()} is false when it could not
 *     be read
 */
public record ScannedPage(int number, PageSide side, ImageHeader header) {
}
