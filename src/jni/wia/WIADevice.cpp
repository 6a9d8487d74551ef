// Natives of kordin.vestaro.wia.WIADevice.
#include "Handles.h"

// Gives a device handle back: its registration ends, and with it the library's reference to
// the device's root item.
extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIADevice__1release(JNIEnv* env, jobject,
                                                                              jlong deviceHandle) {
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  RELEASE_HANDLE(env, deviceHandle, IID_IWiaItem);
}
