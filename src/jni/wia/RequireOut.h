// A call that hands out an interface or a buffer and says it succeeded, but handed out
// nothing, has failed all the same: the caller must not go on as if it had the object.
//
//   HRESULT hr = requireOut(manager->CreateDevice(id, device.put()), device);
//   if (hr != S_OK) { ... report hr ... }
#pragma once

#include "Platform.h"

// `hr`, or `missing` when `hr` is S_OK and `out` holds nothing.
template <typename Out>
HRESULT requireOut(HRESULT hr, const Out& out, HRESULT missing = E_POINTER) {
  return hr == S_OK && !out ? missing : hr;
}

// `hr`, or E_POINTER when `hr` is any success code and `out` holds nothing: for calls whose
// other success codes still hand out an object.
template <typename Out>
HRESULT requireOutOnSuccess(HRESULT hr, const Out& out) {
  return SUCCEEDED(hr) && !out ? E_POINTER : hr;
}
