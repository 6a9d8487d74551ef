// Owner of one COM interface reference: releases it when it goes out of scope.
//
//   ComPtr<IWiaItem> item;
//   HRESULT hr = table->GetInterfaceFromGlobal(cookie, IID_IWiaItem, item.putVoid());
#pragma once

#include "Platform.h"
#include "UniqueValue.h"

namespace vestaro::detail {

template <typename T>
void releaseReference(T* object) {
  object->Release();
}

}  // namespace vestaro::detail

// A UniqueValue of the pointer whose function is Release, in COM's words: attach takes a
// reference over, detach gives one up.
template <typename T>
class ComPtr : private UniqueValue<T*, vestaro::detail::releaseReference<T>> {
  using Holder = UniqueValue<T*, vestaro::detail::releaseReference<T>>;

 public:
  ComPtr() = default;
  // Takes over a reference the caller owns (no AddRef).
  explicit ComPtr(T* owned) : Holder(owned) {}

  T* get() const { return Holder::get(); }
  T* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }

  // Releases what is held and hands out the slot for an out-parameter.
  T** put() { return Holder::put(); }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  // Releases what is held and takes over `owned` (no AddRef).
  void attach(T* owned) { Holder::reset(owned); }
  // Gives the reference up without releasing it.
  [[nodiscard]] T* detach() { return Holder::release(); }
  void reset() { Holder::reset(); }
};
