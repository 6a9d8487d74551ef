#include "PendingException.h"

#include "LocalRef.h"

jthrowable takePendingException(JNIEnv* env) {
  jthrowable pending = env->ExceptionOccurred();
  if (pending) env->ExceptionClear();
  return pending;
}

void addSuppressed(JNIEnv* env, jthrowable first, jthrowable later) {
  LocalRef<jclass> throwable(env, env->FindClass("java/lang/Throwable"));
  jmethodID add = throwable ? env->GetMethodID(throwable.get(), "addSuppressed",
                                               "(Ljava/lang/Throwable;)V")
                            : nullptr;
  if (add) env->CallVoidMethod(first, add, later);
  if (env->ExceptionCheck()) env->ExceptionClear();
}

HeldException::~HeldException() {
  if (!first_) return;
  takePending();  // whatever came last joins the first
  env_->Throw(first_);
  env_->DeleteLocalRef(first_);
}

void HeldException::takePending() {
  jthrowable later = takePendingException(env_);
  if (!later) return;
  if (!first_) {
    first_ = later;
    return;
  }
  addSuppressed(env_, first_, later);
  env_->DeleteLocalRef(later);
}
