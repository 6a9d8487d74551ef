// COM initialisation per thread, the class table behind CoCreateInstance, and the
// reference counting shared by every virtual object.
#include <mutex>
#include <vector>

#include "Internal.h"

namespace winsim::detail {
namespace {

struct ThreadState {
  int initCount = 0;
  DWORD mode = COINIT_APARTMENTTHREADED;
};
thread_local ThreadState threadState;

struct ClassEntry {
  CLSID clsid;
  DWORD contexts;
  ClassFactory create;
};

struct ClassTable {
  std::mutex lock;
  std::vector<ClassEntry> entries;
};
ClassTable& classTable() {
  static ClassTable table;
  return table;
}

}  // namespace

bool comInitializedOnThisThread() { return threadState.initCount > 0; }

void registerClass(const CLSID& clsid, DWORD contexts, ClassFactory create) {
  auto& table = classTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (auto& entry : table.entries) {
    if (entry.clsid == clsid) {
      entry.contexts = contexts;
      entry.create = std::move(create);
      return;
    }
  }
  table.entries.push_back({clsid, contexts, std::move(create)});
}

RefCounted::RefCounted(const char* kind) : kind_(kind) { objectCreated(kind); }

RefCounted::~RefCounted() { objectDestroyed(kind_); }

ULONG RefCounted::addRefImpl() { return ++count_; }

ULONG RefCounted::releaseImpl() {
  ULONG remaining = --count_;
  if (remaining == 0) delete this;
  return remaining;
}

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

  winsim::detail::ClassFactory create;
  {
    auto& table = winsim::detail::classTable();
    std::lock_guard<std::mutex> guard(table.lock);
    for (const auto& entry : table.entries) {
      if (entry.clsid == rclsid && (entry.contexts & dwClsContext) != 0) create = entry.create;
    }
  }
  if (!create) return call.finish(REGDB_E_CLASSNOTREG);
  if (pUnkOuter) return call.finish(CLASS_E_NOAGGREGATION);

  IUnknown* object = create();
  if (!object) return call.finish(E_OUTOFMEMORY);
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return call.finish(hr);
}

}  // extern "C"
