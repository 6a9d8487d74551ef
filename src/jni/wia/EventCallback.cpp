// The device event sink: announces each event on the diagnostic channel.
#include "EventCallback.h"

#include "HostErrorStream.h"

HRESULT STDMETHODCALLTYPE EventCallback::ImageEventCallback(const GUID*, BSTR, BSTR, BSTR, DWORD,
                                                            BSTR, ULONG*, ULONG) {
  debugPrintf("ImageEventCallback()");
  return S_OK;
}
