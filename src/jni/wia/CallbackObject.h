// The IUnknown of a COM object that the library makes and hands to WIA: the count starts at
// 1 (the creator's reference), changes only by interlocked operations, so references may be
// taken and dropped on any threads at once, and the object is destroyed by the Release that
// drops the last one. It answers IUnknown and its one interface and aggregates nothing.
#pragma once

#include <cstring>

#include "Platform.h"

template <typename Interface>
class CallbackObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (std::memcmp(&riid, &IID_IUnknown, sizeof(GUID)) == 0 || std::memcmp(&riid, &iid_, sizeof(GUID)) == 0) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG remaining = InterlockedDecrement(&refCount_);
    if (remaining == 0) delete this;
    return static_cast<ULONG>(remaining);
  }

 protected:
  // `iid` names `Interface` and outlives the object (an interface identifier of the SDK).
  explicit CallbackObject(const IID& iid) : iid_(iid) {}
  virtual ~CallbackObject() = default;

 private:
  const IID& iid_;
  LONG refCount_ = 1;
};
