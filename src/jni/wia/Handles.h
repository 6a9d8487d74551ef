// Handles: what the host holds instead of an interface pointer. A handle is a Java long
// whose lower 32 bits are a cookie of the interface table; a handle made here carries zero
// upper bits, and the upper bits of a handle received from the host are ignored. A cookie is
// always looked up with the interface identifier it was registered under.
#pragma once

#include <cstdint>

#include "ComPtr.h"
#include "Platform.h"
#include "WIALibrary.h"
#include "WIAUtils.h"

inline DWORD cookieOfHandle(jlong handle) {
  return static_cast<DWORD>(static_cast<uint64_t>(handle) & 0xFFFFFFFFu);
}

inline jlong handleOfCookie(DWORD cookie) { return static_cast<jlong>(static_cast<uint64_t>(cookie)); }

// Looks `handle` up as `iid` into `out`. Anything but S_OK with an interface is a failure:
// false after reporting it from `file` and `line`. Use LOOK_UP_HANDLE.
template <typename T>
bool lookUpHandleOrThrow(JNIEnv* env, jlong handle, REFIID iid, ComPtr<T>& out, const char* file,
                         int line) {
  IGlobalInterfaceTable* table = interfaceTableOrThrow(env, file, line);
  if (!table) return false;
  HRESULT hr = table->GetInterfaceFromGlobal(cookieOfHandle(handle), iid, out.putVoid());
  if (hr == S_OK && !out) hr = E_POINTER;
  if (hr != S_OK) {
    out.reset();
    throwHResultException(env, hr, file, line);
    return false;
  }
  return true;
}

// Ends a registration that the host gives back: looks it up as `iid` (so that a handle of
// another kind is refused and stays registered), then revokes it, which drops the table's
// reference; the object goes away when nobody else holds it. False after reporting the
// failure of either step, with the table's code, from `file` and `line`.
// Use RELEASE_HANDLE.
inline bool releaseHandleOrThrow(JNIEnv* env, jlong handle, REFIID iid, const char* file, int line) {
  {
    ComPtr<IUnknown> registered;
    if (!lookUpHandleOrThrow(env, handle, iid, registered, file, line)) return false;
  }
  const HRESULT hr = bindingCache.interfaceTable->RevokeInterfaceFromGlobal(cookieOfHandle(handle));
  if (hr != S_OK) {
    throwHResultException(env, hr, file, line);
    return false;
  }
  return true;
}

//   ComPtr<IWiaItem> root;
//   if (!LOOK_UP_HANDLE(env, deviceHandle, IID_IWiaItem, root)) return;
#define LOOK_UP_HANDLE(env, handle, iid, out) \
  lookUpHandleOrThrow((env), (handle), (iid), (out), VESTARO_REPORTING_FILE, __LINE__)

#define RELEASE_HANDLE(env, handle, iid) \
  releaseHandleOrThrow((env), (handle), (iid), VESTARO_REPORTING_FILE, __LINE__)
