// Natives of kordin.vestaro.testhost.Probe: a test build of the library's load and
// reporting code (linked into this probe library with it) driven directly from Java.
#include <string>
#include <thread>

#include "FailureReport.h"
#include "HostErrorStream.h"
#include "LocalRef.h"
#include "WIALibrary.h"

namespace {

// A Java string as a zero-terminated wide string.
std::basic_string<WCHAR> wideOf(JNIEnv* env, jstring text) {
  const jsize length = env->GetStringLength(text);
  std::basic_string<WCHAR> out(static_cast<size_t>(length), 0);
  env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(out.data()));
  return out;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_report(JNIEnv* env, jclass, jint code) {
  THROW_HRESULT(env, code);  // probe: report
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_reportTwice(JNIEnv* env, jclass,
                                                                      jint first, jint second) {
  THROW_HRESULT(env, first);  // probe: first report
  THROW_HRESULT(env, second);  // probe: second report
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_print(JNIEnv* env, jclass, jstring text) {
  debugPrintf("%ws", wideOf(env, text).c_str());
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_printRepeatedly(JNIEnv* env, jclass,
                                                                          jstring text, jint count) {
  const std::basic_string<WCHAR> line = wideOf(env, text);
  for (jint i = 0; i < count; ++i) debugPrintf("%ws %d", line.c_str(), i);
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_reportRepeatedly(JNIEnv* env, jclass,
                                                                          jint code, jint count) {
  for (jint i = 0; i < count; ++i) THROW_HRESULT(env, code);
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_printWhenDebugging(JNIEnv* env, jclass,
                                                                             jstring text) {
  if (bindingCache.debugEnabled) debugPrintf("%ws", wideOf(env, text).c_str());
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_printFromNewThread(JNIEnv* env, jclass,
                                                                             jstring text) {
  const std::basic_string<WCHAR> line = wideOf(env, text);
  std::thread([&line] { debugPrintf("%ws", line.c_str()); }).join();
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testhost_Probe_printWhilePending(JNIEnv* env, jclass,
                                                                            jstring text) {
  const std::basic_string<WCHAR> line = wideOf(env, text);
  LocalRef<jclass> error(env, env->FindClass("java/lang/IllegalStateException"));
  env->ThrowNew(error.get(), "first");
  debugPrintf("%ws", line.c_str());
}

JNIEXPORT jboolean JNICALL Java_kordin_vestaro_testhost_Probe_useInterfaceTable(JNIEnv* env,
                                                                                jclass) {
  IGlobalInterfaceTable* table = REQUIRE_INTERFACE_TABLE(env);  // probe: interface table
  return table ? JNI_TRUE : JNI_FALSE;
}

}  // extern "C"
