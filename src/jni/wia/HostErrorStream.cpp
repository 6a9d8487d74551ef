#include "HostErrorStream.h"

#include <cstdarg>

#include "DiagnosticLine.h"
#include "LocalRef.h"
#include "PendingException.h"
#include "ThreadEnv.h"
#include "WIALibrary.h"

void printOnHostErrorStream(const WCHAR* text, size_t length) {
  if (!bindingCache.javaVm || !bindingCache.systemErr || !bindingCache.printlnMethod) return;
  ThreadEnv threadEnv(bindingCache.javaVm);
  JNIEnv* env = threadEnv.get();
  if (!env) return;
  // The caller's pending exception waits while the line is printed, then stands again.
  LocalRef<jthrowable> pending(env, takePendingException(env));
  LocalRef<jstring> string(
      env, env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length)));
  if (string) env->CallVoidMethod(bindingCache.systemErr, bindingCache.printlnMethod, string.get());
  if (env->ExceptionCheck()) env->ExceptionClear();  // a line that cannot be printed is lost
  if (pending) env->Throw(pending.get());
}

void debugPrintf(const char* format, ...) {
  WCHAR line[kDiagnosticLineCapacity];
  va_list args;
  va_start(args, format);
  const size_t length = formatDiagnosticLine(line, kDiagnosticLineCapacity, format, args);
  va_end(args);
  printOnHostErrorStream(line, length);
}
