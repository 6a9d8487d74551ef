#include "ProgressCallback.h"

#include "FailureReport.h"
#include "LocalRef.h"
#include "PendingException.h"
#include "ThreadEnv.h"
#include "WIALibrary.h"

namespace {

enum BindState { kUnbound, kBinding, kBound };
std::atomic<int> scanProgressState{kUnbound};
jmethodID scanProgressId = nullptr;  // written once, before kBound

jint percentOf(LONG percent) { return percent < 0 ? 0 : percent > 100 ? 100 : static_cast<jint>(percent); }

}  // namespace

jmethodID scanProgressMethod(JNIEnv* env) {
  int state = scanProgressState.load(std::memory_order_acquire);
  if (state == kBound) return scanProgressId;
  if (scanProgressState.compare_exchange_strong(state, kBinding, std::memory_order_acq_rel)) {
    jmethodID method = env->GetMethodID(bindingCache.scannerClass, "scanProgress", "(II)Z");
    if (!method) env->ExceptionClear();  // NoSuchMethodError: a host of the earlier contract
    scanProgressId = method;
    scanProgressState.store(kBound, std::memory_order_release);
    return method;
  }
  // Another thread is binding: one lookup's wait. A spin, as the DLLs' C++ library (MinGW-w64's
  // win32 thread model) has no std::mutex or std::call_once.
  while (scanProgressState.load(std::memory_order_acquire) != kBound) {
  }
  return scanProgressId;
}

ProgressCallback* ProgressCallback::create(JNIEnv* env, jobject scanner, jmethodID method) {
  jobject global = env->NewGlobalRef(scanner);
  if (!global) {
    if (!env->ExceptionCheck()) THROW_HRESULT(env, E_OUTOFMEMORY);  // progress: no reference to the scanner
    return nullptr;
  }
  return new ProgressCallback(bindingCache.javaVm, global, method);
}

ProgressCallback::~ProgressCallback() {
  // The last reference may go on a driver's thread.
  ThreadEnv threadEnv(vm_);
  JNIEnv* env = threadEnv.get();
  if (!env) return;
  env->DeleteGlobalRef(scanner_);
  if (jobject failure = hostFailure_.exchange(nullptr)) env->DeleteGlobalRef(failure);
}

HRESULT STDMETHODCALLTYPE ProgressCallback::BandedDataCallback(LONG message, LONG, LONG percent, LONG, LONG,
                                                               LONG, LONG, BYTE*) {
  if (cancelled_.load() || closed_.load()) return S_FALSE;
  if (message != IT_MSG_STATUS || !method_) return S_OK;
  ThreadEnv threadEnv(vm_);
  JNIEnv* env = threadEnv.get();
  if (!env) return S_OK;  // a thread the VM cannot take: the page goes on without progress
  return ask(env, page_.load(), percentOf(percent)) ? S_OK : S_FALSE;
}

bool ProgressCallback::beginPage(JNIEnv* env, jint page) {
  page_.store(page);
  if (cancelled_.load()) return false;
  return !method_ || ask(env, page, 0);
}

bool ProgressCallback::ask(JNIEnv* env, jint page, jint percent) {
  jvalue arguments[2];
  arguments[0].i = page;
  arguments[1].i = percent;
  const jboolean goOn = env->CallBooleanMethodA(scanner_, method_, arguments);
  if (env->ExceptionCheck()) {
    keepHostFailure(env);  // a throwing scanProgress cancels
    cancelled_.store(true);
    return false;
  }
  if (!goOn) cancelled_.store(true);
  return goOn != JNI_FALSE;
}

void ProgressCallback::keepHostFailure(JNIEnv* env) {
  // Taken off the thread that called back: the transfer's thread throws it again.
  LocalRef<jthrowable> thrown(env, takePendingException(env));
  hostFailed_.store(true);
  jobject global = env->NewGlobalRef(thrown.get());
  if (env->ExceptionCheck()) env->ExceptionClear();
  jobject none = nullptr;
  if (global && !hostFailure_.compare_exchange_strong(none, global)) env->DeleteGlobalRef(global);
}

bool ProgressCallback::throwHostFailure(JNIEnv* env) {
  if (!hostFailed_.exchange(false)) return false;
  jobject failure = hostFailure_.exchange(nullptr);
  if (!failure) return true;
  LocalRef<jthrowable> later(env, takePendingException(env));
  if (later) addSuppressed(env, static_cast<jthrowable>(failure), later.get());
  env->Throw(static_cast<jthrowable>(failure));
  env->DeleteGlobalRef(failure);
  return true;
}
