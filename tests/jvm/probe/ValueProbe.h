// The probe library's value conversions and event sink, as the tests reach them: the test
// process looks the table up in the loaded probe library, whose binding cache the VM filled
// at load.
#pragma once

#include "Platform.h"

struct ValueProbeApi {
  VARIANT* (*jobjectToVariant)(JNIEnv* env, jobject value);
  jobject (*variantToJobject)(JNIEnv* env, void* reserved, const VARIANT* value);
  void (*clearVariantPayload)(VARIANT* value);
  void (*freeVariantBlock)(VARIANT* block);
  BSTR (*jstringToBstr)(JNIEnv* env, jstring value);
  IWiaEventCallback* (*newEventCallback)();
};

// Exported by the probe library under this name.
#define VALUE_PROBE_API_SYMBOL "vestaroValueProbeApi"
