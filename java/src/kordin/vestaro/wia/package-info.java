/**
 * Scanners and cameras through WIA 1.0: {@link kordin.vestaro.wia.WIAManager} finds them,
 * {@link kordin.vestaro.wia.WIAScanner} and {@link kordin.vestaro.wia.WIACamera} transfer
 * their images, and {@link kordin.vestaro.wia.ImageFolder} keeps the images as files.
 */
package kordin.vestaro.wia;
