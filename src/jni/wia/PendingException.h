// The Java exception pending on the calling thread: how a step of an operation left it, and
// how an operation holds one aside to go on without breaking the JNI rules (no JNI call may
// be made while an exception is pending).
#pragma once

#include "Platform.h"

// How a step of a native operation left the calling thread.
enum class JavaState {
  Clear,             // nothing pending
  ExceptionPending,  // a failure is pending; the operation may hold it aside and go on
  OperationEnds,     // an exception is pending that ends the operation (the host's callback
                     // threw, or a string could not be made)
};

// Takes the calling thread's pending exception off it, if there is one; the caller owns the
// local reference it returns.
jthrowable takePendingException(JNIEnv* env);

// first.addSuppressed(later), with no exception pending; a failure of that call is dropped.
void addSuppressed(JNIEnv* env, jthrowable first, jthrowable later);

// takePending takes the pending exception off the thread and holds the first one, attaching
// each later one to it as suppressed; when the holder goes out of scope the first is thrown
// again, so the host sees it when the native method returns. Holds one local reference at
// most.
class HeldException {
 public:
  explicit HeldException(JNIEnv* env) : env_(env) {}
  ~HeldException();
  HeldException(const HeldException&) = delete;
  HeldException& operator=(const HeldException&) = delete;

  void takePending();

 private:
  JNIEnv* env_;
  jthrowable first_ = nullptr;
};
