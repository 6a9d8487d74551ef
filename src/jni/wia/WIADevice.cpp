// Natives of kordin.vestaro.wia.WIADevice.
#include "Platform.h"

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIADevice__1release(JNIEnv*, jobject, jlong) {
  // implemented later
}
