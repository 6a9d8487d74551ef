// Owner of one COM interface reference: releases it when it goes out of scope.
//
//   ComPtr<IWiaItem> item;
//   HRESULT hr = table->GetInterfaceFromGlobal(cookie, IID_IWiaItem, item.putVoid());
#pragma once

#include <utility>

#include "Platform.h"

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns (no AddRef).
  explicit ComPtr(T* owned) : ptr_(owned) {}
  ~ComPtr() { reset(); }

  ComPtr(ComPtr&& other) noexcept : ptr_(other.detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) attach(other.detach());
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  // Releases what is held and hands out the slot for an out-parameter.
  T** put() {
    reset();
    return &ptr_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  // Releases what is held and takes over `owned` (no AddRef).
  void attach(T* owned) {
    T* old = std::exchange(ptr_, owned);
    if (old) old->Release();
  }
  // Gives the reference up without releasing it.
  [[nodiscard]] T* detach() { return std::exchange(ptr_, nullptr); }
  void reset() { attach(nullptr); }

 private:
  T* ptr_ = nullptr;
};
