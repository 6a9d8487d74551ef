#include "HostErrorStream.h"

#include "LocalRef.h"
#include "PendingException.h"
#include "WIALibrary.h"

void printOnHostErrorStream(const WCHAR* text, size_t length) {
  JavaVM* vm = bindingCache.javaVm;
  if (!vm || !bindingCache.systemErr || !bindingCache.printlnMethod) return;

  JNIEnv* env = nullptr;
  bool attachedHere = false;
  const jint state = vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_4);
  if (state == JNI_EDETACHED) {
    // A daemon, and detached again below: a thread left attached keeps the VM from ending
    // once the thread is gone, and holds the VM's thread object for ever.
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
      return;
    }
    attachedHere = true;
  } else if (state != JNI_OK) {
    return;
  }
  if (env) {
    // The caller's pending exception waits while the line is printed, then stands again.
    LocalRef<jthrowable> pending(env, takePendingException(env));
    LocalRef<jstring> string(
        env, env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length)));
    if (string) env->CallVoidMethod(bindingCache.systemErr, bindingCache.printlnMethod, string.get());
    if (env->ExceptionCheck()) env->ExceptionClear();  // a line that cannot be printed is lost
    if (pending) env->Throw(pending.get());
  }
  if (attachedHere) vm->DetachCurrentThread();
}
