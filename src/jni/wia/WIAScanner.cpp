// Natives of kordin.vestaro.wia.WIAScanner: image transfer from a scanner.
#include "Platform.h"

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIAScanner__1transfer(JNIEnv*, jobject, jlong, jboolean) {
  // implemented later
}
