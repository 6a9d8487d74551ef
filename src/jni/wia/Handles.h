// Handles: what the host holds instead of an interface pointer. A handle is a Java long
// whose lower 32 bits are a cookie of the interface table; a handle made here carries zero
// upper bits, and the upper bits of a handle received from the host are ignored. A cookie is
// always looked up with the interface identifier it was registered under.
#pragma once

#include <cstdint>

#include "ComPtr.h"
#include "Platform.h"
#include "RequireOut.h"
#include "FailureReport.h"
#include "WIALibrary.h"

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
  const HRESULT hr = requireOut(table->GetInterfaceFromGlobal(cookieOfHandle(handle), iid, out.putVoid()), out);
  if (hr != S_OK) {
    out.reset();
    throwHResultException(env, hr, file, line);
    return false;
  }
  return true;
}

// Ends a registration that the host gives back: looks it up as `iid` first, so that an
// unknown cookie (E_INVALIDARG) or a handle of another kind (E_NOINTERFACE) is refused and a
// registration of the other kind stays. Any other outcome of the lookup revokes the
// registration, which drops the table's reference (the object goes away when nobody else
// holds it): the host forgets its handle whatever happens, so nothing may stay behind. False
// after reporting the failure of either step, with the table's code, from `file` and `line`;
// a failure of both is reported as the lookup's, with the revocation's attached.
// Use RELEASE_HANDLE.
inline bool releaseHandleOrThrow(JNIEnv* env, jlong handle, REFIID iid, const char* file, int line) {
  IGlobalInterfaceTable* table = interfaceTableOrThrow(env, file, line);
  if (!table) return false;
  const DWORD cookie = cookieOfHandle(handle);
  HRESULT lookup = S_OK;
  {
    ComPtr<IUnknown> registered;
    lookup = requireOut(table->GetInterfaceFromGlobal(cookie, iid, registered.putVoid()), registered);
  }
  if (lookup == E_INVALIDARG || lookup == E_NOINTERFACE) {
    throwHResultException(env, lookup, file, line);
    return false;
  }
  if (lookup != S_OK) throwHResultException(env, lookup, file, line);
  const HRESULT revoked = table->RevokeInterfaceFromGlobal(cookie);
  if (revoked != S_OK) throwHResultException(env, revoked, file, line);
  return lookup == S_OK && revoked == S_OK;
}

// Registers `object` as `iid` and gives its cookie in `cookie`. A registration that returns
// anything but S_OK is a failure; one that took place all the same (a success code) is
// revoked before the failure is reported from `file` and `line`. Use REGISTER_INTERFACE.
inline bool registerOrThrow(JNIEnv* env, IGlobalInterfaceTable* table, IUnknown* object, REFIID iid,
                            DWORD* cookie, const char* file, int line) {
  *cookie = 0;
  const HRESULT hr = table->RegisterInterfaceInGlobal(object, iid, cookie);
  if (hr == S_OK) return true;
  const HRESULT revoked = SUCCEEDED(hr) ? table->RevokeInterfaceFromGlobal(*cookie) : S_OK;
  *cookie = 0;
  throwHResultException(env, hr, file, line);
  if (revoked != S_OK) throwHResultException(env, revoked, file, line);  // attached to the first
  return false;
}

//   ComPtr<IWiaItem> root;
//   if (!LOOK_UP_HANDLE(env, deviceHandle, IID_IWiaItem, root)) return;
#define LOOK_UP_HANDLE(env, handle, iid, out) \
  lookUpHandleOrThrow((env), (handle), (iid), (out), __FILE__, __LINE__)

#define RELEASE_HANDLE(env, handle, iid) \
  releaseHandleOrThrow((env), (handle), (iid), __FILE__, __LINE__)

#define REGISTER_INTERFACE(env, table, object, iid, cookie) \
  registerOrThrow((env), (table), (object), (iid), (cookie), __FILE__, __LINE__)
