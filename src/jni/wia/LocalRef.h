// Owner of one JNI local reference: deletes it when it goes out of scope, so that loops
// and threads the library attached itself do not pile references up. DeleteLocalRef is
// one of the calls allowed while an exception is pending, so the holder may go out of
// scope on any failure path.
#pragma once

#include <utility>

#include "Platform.h"

template <typename T>
class LocalRef {
 public:
  LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  ~LocalRef() { reset(); }

  LocalRef(LocalRef&& other) noexcept : env_(other.env_), ref_(other.release()) {}
  LocalRef& operator=(LocalRef&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      env_ = other.env_;
    }
    return *this;
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;

  T get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }

  // Gives the reference up without deleting it (to return it to Java, for example).
  [[nodiscard]] T release() { return std::exchange(ref_, nullptr); }

  // Deletes the held reference and takes `ref` instead.
  void reset(T ref = nullptr) {
    T old = std::exchange(ref_, ref);
    if (old) env_->DeleteLocalRef(old);
  }

 private:
  JNIEnv* env_;
  T ref_;
};
