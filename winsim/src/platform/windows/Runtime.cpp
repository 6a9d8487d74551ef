// The runtime under the virtual service in a Windows program: COM initialisation is the
// system's, the class the service registers (in ClassTable.cpp) is made on request only
// (CoCreateInstance stays the system's), and winsim's test settings of the platform do not
// exist.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "VirtualService.h"
#include "runtime/Internal.h"
#include "winsim/control.h"

namespace winsim {
namespace {

[[noreturn]] void notOnTheRealSystem(const char* setting) {
  std::fprintf(stderr, "winsim: %s is a setting of winsim's runtime; a Windows program uses "
                       "the system's own (the zone from TZ, the system's texts)\n", setting);
  std::abort();
}

}  // namespace

namespace detail {

// Whether the thread is in an apartment, the implicit multithreaded one included, as the
// system's proxies require.
bool comInitializedOnThisThread() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  return CoGetApartmentType(&type, &qualifier) == S_OK;
}

}  // namespace detail

// The class the service registers, made in whatever context it is served in.
IUnknown* newVirtualDeviceManager() {
  const detail::ClassFactory create = detail::registeredClass(CLSID_WiaDevMgr, CLSCTX_ALL);
  return create ? create() : nullptr;
}

void setTimeZoneBias(LONG) { notOnTheRealSystem("setTimeZoneBias"); }
void clearTimeZoneBias() {}
void setSystemMessage(HRESULT, const std::u16string&) { notOnTheRealSystem("setSystemMessage"); }
void clearSystemMessageOverrides() {}

}  // namespace winsim

namespace winsim::detail {
namespace {
std::mutex marshalerLock;
}

HRESULT queryMarshaler(RefCounted& object, IUnknown* outer, REFIID riid, void** ppv) {
  if (riid != IID_IMarshal || !outer) return E_NOINTERFACE;
  std::lock_guard<std::mutex> guard(marshalerLock);
  auto* inner = static_cast<IUnknown*>(object.marshaler());
  if (!inner) {
    const HRESULT hr = CoCreateFreeThreadedMarshaler(outer, &inner);
    if (FAILED(hr)) return hr;
    object.marshaler() = inner;
  }
  return inner->QueryInterface(riid, ppv);
}

void releaseMarshaler(void* marshaler) { static_cast<IUnknown*>(marshaler)->Release(); }

}  // namespace winsim::detail
