// COM initialisation per thread and CoCreateInstance over the class table (ClassTable.cpp).
#include "Internal.h"

namespace winsim::detail {
namespace {

struct ThreadState {
  int initCount = 0;
  DWORD mode = COINIT_APARTMENTTHREADED;
};
thread_local ThreadState threadState;

}  // namespace

bool comInitializedOnThisThread() { return threadState.initCount > 0; }

HRESULT queryMarshaler(RefCounted&, IUnknown*, REFIID, void**) { return E_NOINTERFACE; }
void releaseMarshaler(void*) {}

}  // namespace winsim::detail

using winsim::detail::threadState;

extern "C" {

HRESULT CoInitializeEx(LPVOID, DWORD dwCoInit) {
  DWORD mode = (dwCoInit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED
                                                      : COINIT_MULTITHREADED;
  if (threadState.initCount > 0) {
    if (threadState.mode != mode) return RPC_E_CHANGED_MODE;
    ++threadState.initCount;
    return S_FALSE;
  }
  threadState.mode = mode;
  threadState.initCount = 1;
  return S_OK;
}

HRESULT CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize(void) {
  if (threadState.initCount > 0) --threadState.initCount;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  winsim::detail::CallScope call("CoCreateInstance", winsim::detail::CallScope::observed()
                                                          ? winsim::detail::guidText(rclsid)
                                                          : std::string());
  if (call.recording()) call.detail("context=" + std::to_string(dwClsContext) + " iid=" +
              winsim::detail::guidText(riid));
  if (call.refused()) return call.result();

  const winsim::detail::ClassFactory create = winsim::detail::registeredClass(rclsid, dwClsContext);
  if (!create) return call.finish(REGDB_E_CLASSNOTREG);
  if (pUnkOuter) return call.finish(CLASS_E_NOAGGREGATION);

  IUnknown* object = create();
  if (!object) return call.finish(E_OUTOFMEMORY);
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return call.finish(hr);
}

}  // extern "C"
