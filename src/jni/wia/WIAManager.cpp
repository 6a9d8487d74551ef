// Natives of kordin.vestaro.wia.WIAManager: the WIA device manager and device discovery.
#include "Platform.h"

extern "C" JNIEXPORT jlong JNICALL Java_kordin_vestaro_wia_WIAManager__1initialize(JNIEnv*, jobject) {
  // implemented later
  return 0;
}

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIAManager__1poll(JNIEnv*, jobject, jlong) {
  // implemented later
}

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIAManager__1release(JNIEnv*, jobject, jlong) {
  // implemented later
}
