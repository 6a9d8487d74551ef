// The JNI environment of the calling thread, for code that may run on a thread the VM has
// never seen (a line printed from a driver's thread, a progress message of an out-of-process
// driver). Such a thread is attached as a daemon for the holder's life and detached when it
// ends: a thread left attached keeps the VM from ending once the thread is gone, and holds
// the VM's thread object for ever.
#pragma once

#include "Platform.h"

class ThreadEnv {
 public:
  explicit ThreadEnv(JavaVM* vm) : vm_(vm) {
    if (!vm_) return;
    const jint state = vm_->GetEnv(reinterpret_cast<void**>(&env_), JNI_VERSION_1_4);
    if (state == JNI_EDETACHED) {
      env_ = nullptr;
      attached_ = vm_->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env_), nullptr) == JNI_OK;
      if (!attached_) env_ = nullptr;
    } else if (state != JNI_OK) {
      env_ = nullptr;
    }
  }
  ~ThreadEnv() {
    if (attached_) vm_->DetachCurrentThread();
  }
  ThreadEnv(const ThreadEnv&) = delete;
  ThreadEnv& operator=(const ThreadEnv&) = delete;

  // Null when the thread has no environment and could not be attached.
  JNIEnv* get() const { return env_; }

 private:
  JavaVM* vm_;
  JNIEnv* env_ = nullptr;
  bool attached_ = false;
};
