// The data callback that a batch of pages passes to every idtGetData: it turns the driver's
// IT_MSG_STATUS messages into the host scanner's scanProgress(page, percent), and the host's
// answer into the transfer's: false, or an exception, cancels (S_FALSE), and every later
// message is answered S_FALSE without asking again. A host scanner without scanProgress gets
// no progress and cannot cancel; its transfers go on.
#pragma once

#include <atomic>

#include "CallbackObject.h"
#include "Platform.h"

// The host scanner's scanProgress(II)Z, looked up on the first call in the process (by one
// thread, the others waiting for it), or null when the host's WIAScanner has none.
jmethodID scanProgressMethod(JNIEnv* env);

// A COM object of the library's own (see CallbackObject), answering IUnknown and
// IWiaDataCallback. Messages may come on any thread, one the VM has never seen included: the
// up-call attaches that thread for the call.
class ProgressCallback final : public CallbackObject<IWiaDataCallback> {
 public:
  // A callback for `scanner` (a global reference is taken) and its `method` (may be null).
  // Null with the reason pending when the reference cannot be taken.
  static ProgressCallback* create(JNIEnv* env, jobject scanner, jmethodID method);

  // IT_MSG_STATUS: scanProgress(page, percent, clamped to 0..100); S_OK to go on, S_FALSE
  // to cancel. Other messages: S_OK, or S_FALSE once cancelled.
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG message, LONG status, LONG percent, LONG offset,
                                               LONG length, LONG reserved, LONG resultLength,
                                               BYTE* buffer) override;

  // Starts page `page` (from 1): asks scanProgress(page, 0) on the caller's thread, so that
  // a cancel between pages, or with a driver that sends no messages, ends the batch before
  // the page. False when the batch is to stop.
  bool beginPage(JNIEnv* env, jint page);
  // True once the host has asked to stop.
  bool cancelled() const { return cancelled_.load(); }
  // What scanProgress threw, thrown again on `env` with the exception pending there (which
  // came later) attached to it as suppressed; the first one only, and true when it threw.
  // Nothing is pending then only when the exception could not be kept (memory ran out):
  // the caller reports that.
  bool throwHostFailure(JNIEnv* env);
  // No up-call after this: a message that comes after the batch is answered S_FALSE.
  void close() { closed_.store(true); }

 private:
  ProgressCallback(JavaVM* vm, jobject scanner, jmethodID method)
      : CallbackObject(IID_IWiaDataCallback), vm_(vm), scanner_(scanner), method_(method) {}
  ~ProgressCallback() override;
  bool ask(JNIEnv* env, jint page, jint percent);
  void keepHostFailure(JNIEnv* env);

  JavaVM* vm_;
  jobject scanner_;  // global
  jmethodID method_;
  std::atomic<jint> page_{0};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> closed_{false};
  std::atomic<bool> hostFailed_{false};
  std::atomic<jobject> hostFailure_{nullptr};  // global; taken by throwHostFailure
};
