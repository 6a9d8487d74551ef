// Hands the progress callback of the probe build to the tests.
#include "ProgressProbe.h"

#include "ProgressCallback.h"

namespace {

ProgressCallback* callbackOf(IWiaDataCallback* callback) { return static_cast<ProgressCallback*>(callback); }

const ProgressProbeApi api = {
    [](JNIEnv* env, jobject scanner) -> IWiaDataCallback* {
      return ProgressCallback::create(env, scanner, scanProgressMethod(env));
    },
    [](IWiaDataCallback* callback, JNIEnv* env, jint page) { return callbackOf(callback)->beginPage(env, page); },
    [](IWiaDataCallback* callback, JNIEnv* env) { return callbackOf(callback)->throwHostFailure(env); },
    [](IWiaDataCallback* callback) { callbackOf(callback)->close(); },
};

}  // namespace

extern "C" JNIEXPORT const ProgressProbeApi* vestaroProgressProbeApi() { return &api; }
