/**
 * What every device family shares: the diagnostic switch ({@link kordin.vestaro.Manager}),
 * the platform's failures ({@link kordin.vestaro.VestaroException}) and the loading of the
 * native library ({@link kordin.vestaro.NativeLibrary}).
 */
package kordin.vestaro;
