/**
 * The command line of the jar: lists the WIA devices and acquires images into a folder.
 */
package kordin.vestaro.cli;
