// Natives of kordin.vestaro.wia.WIACamera: image transfer from a camera.
#include "Platform.h"

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIACamera__1transfer(JNIEnv*, jobject, jlong, jboolean) {
  // implemented later
}
