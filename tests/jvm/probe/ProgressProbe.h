// The probe library's progress callback, as the tests reach it: made for a host scanner
// and driven as a driver would, from any thread.
#pragma once

#include "Platform.h"

struct ProgressProbeApi {
  // A new callback (one reference) for `scanner` and the host's scanProgress, bound lazily.
  IWiaDataCallback* (*newProgressCallback)(JNIEnv* env, jobject scanner);
  bool (*beginPage)(IWiaDataCallback* callback, JNIEnv* env, jint page);
  bool (*throwHostFailure)(IWiaDataCallback* callback, JNIEnv* env);
  void (*close)(IWiaDataCallback* callback);
};

// Exported by the probe library under this name.
#define PROGRESS_PROBE_API_SYMBOL "vestaroProgressProbeApi"
