// The process-wide Global Interface Table. A registration holds a reference to the
// interface until it is revoked; a lookup hands out a new reference. Cookies are not
// reused, so a revoked handle stays invalid.
#include <map>
#include <mutex>

#include "Internal.h"

namespace winsim::detail {
namespace {

class GlobalInterfaceTable final : public IGlobalInterfaceTable {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IGlobalInterfaceTable) {
      *ppv = static_cast<IGlobalInterfaceTable*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The table lives as long as the process; its count is not tracked.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid,
                                                      DWORD* pdwCookie) override {
    CallScope call("IGlobalInterfaceTable::RegisterInterfaceInGlobal", "");
    if (call.recording()) call.detail("iid=" + guidText(riid));
    if (pdwCookie) *pdwCookie = 0;
    if (call.refused()) return call.result();
    if (!pUnk || !pdwCookie) return call.finish(E_INVALIDARG);
    void* registered = nullptr;
    HRESULT hr = pUnk->QueryInterface(riid, &registered);
    if (FAILED(hr)) return call.finish(hr);
    std::lock_guard<std::mutex> guard(lock_);
    DWORD cookie = nextCookie_++;
    entries_[cookie] = static_cast<IUnknown*>(registered);
    *pdwCookie = cookie;
    if (call.recording()) call.detail("cookie=" + std::to_string(cookie));
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE RevokeInterfaceFromGlobal(DWORD dwCookie) override {
    CallScope call("IGlobalInterfaceTable::RevokeInterfaceFromGlobal", "");
    if (call.recording()) call.detail("cookie=" + std::to_string(dwCookie));
    if (call.refused()) return call.result();
    IUnknown* registered = nullptr;
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto found = entries_.find(dwCookie);
      if (found == entries_.end()) return call.finish(E_INVALIDARG);
      registered = found->second;
      entries_.erase(found);
    }
    registered->Release();
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid,
                                                   void** ppv) override {
    CallScope call("IGlobalInterfaceTable::GetInterfaceFromGlobal", "");
    if (call.recording()) call.detail("cookie=" + std::to_string(dwCookie) + " iid=" + guidText(riid));
    if (ppv) *ppv = nullptr;
    if (call.refused()) return call.result();
    if (!ppv) return call.finish(E_INVALIDARG);
    std::lock_guard<std::mutex> guard(lock_);
    auto found = entries_.find(dwCookie);
    if (found == entries_.end()) return call.finish(E_INVALIDARG);
    return call.finish(found->second->QueryInterface(riid, ppv));
  }

 private:
  std::mutex lock_;
  std::map<DWORD, IUnknown*> entries_;  // each holds one reference
  DWORD nextCookie_ = 0x100;
};

IUnknown* theGlobalInterfaceTable() {
  static GlobalInterfaceTable* table = new GlobalInterfaceTable();  // never destroyed
  return table;
}

struct RegisterGlobalInterfaceTable {
  RegisterGlobalInterfaceTable() {
    registerClass(CLSID_StdGlobalInterfaceTable, CLSCTX_INPROC_SERVER,
                  [] { return theGlobalInterfaceTable(); });
  }
} registerGlobalInterfaceTable;

}  // namespace
}  // namespace winsim::detail
