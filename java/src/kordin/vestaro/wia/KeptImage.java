package kordin.vestaro.wia;

import java.nio.file.Path;

/**
 * An image that an {@link ImageFolder} kept: the file in the folder and what its header says.
 *
 * @param file the kept file
 * @param header the file's header; {@link ImageHeader#isKnown()} is false when it could not
 *     be read
 */
public record KeptImage(Path file, ImageHeader header) {
}
