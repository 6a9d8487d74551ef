// IWiaDevMgr, IEnumWIA_DEV_INFO and the device information storages.
#include <algorithm>

#include "Objects.h"
#include "Service.h"

namespace winsim::wia {
namespace {

using detail::CallScope;

class DeviceInfo final : public StorageObject, private detail::RefCounted {
 public:
  explicit DeviceInfo(std::shared_ptr<const DeviceSpec> spec)
      : StorageObject(std::make_shared<Session>(std::move(spec)), {ItemKind::Info, 0}),
        RefCounted("VirtualDevInfoStorage") {}

 private:
  HRESULT queryVia(const char* method, REFIID riid, void** ppv) override {
    return answerQuery(method, target(), riid, ppv, [this](REFIID iid) -> IUnknown* {
      if (iid == IID_IUnknown || iid == IID_IWiaPropertyStorage) {
        return static_cast<IWiaPropertyStorage*>(this);
      }
      return nullptr;
    });
  }
  ULONG addRefObject() override { return addRefImpl(); }
  ULONG releaseObject() override { return releaseImpl(); }
};

class DeviceInfoEnumerator final : public Facet<IEnumWIA_DEV_INFO>, private detail::RefCounted {
 public:
  explicit DeviceInfoEnumerator(std::shared_ptr<const DeviceList> devices, size_t position = 0)
      : RefCounted("VirtualEnumDevInfo"), devices_(std::move(devices)), position_(position) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, IWiaPropertyStorage** rgelt,
                                 ULONG* pceltFetched) override {
    if (pceltFetched) *pceltFetched = 0;
    std::lock_guard<std::mutex> guard(lock_);
    CallScope call("IEnumWIA_DEV_INFO::Next", nextId());
    call.detail("celt=" + std::to_string(celt));
    if (call.refused()) return call.result();
    if (!rgelt || (celt != 1 && !pceltFetched)) return call.finish(E_INVALIDARG);
    ULONG fetched = 0;
    while (fetched < celt && position_ < devices_->devices.size()) {
      rgelt[fetched++] = newDeviceInfo(devices_->devices[position_++]);
    }
    if (pceltFetched) *pceltFetched = fetched;
    return call.finish(fetched == celt ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    std::lock_guard<std::mutex> guard(lock_);
    CallScope call("IEnumWIA_DEV_INFO::Skip", nextId());
    if (call.refused()) return call.result();
    size_t left = devices_->devices.size() - position_;
    position_ += std::min<size_t>(celt, left);
    return call.finish(celt <= left ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    std::lock_guard<std::mutex> guard(lock_);
    CallScope call("IEnumWIA_DEV_INFO::Reset", "");
    if (call.refused()) return call.result();
    position_ = 0;
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE Clone(IEnumWIA_DEV_INFO** ppIEnum) override {
    if (ppIEnum) *ppIEnum = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    CallScope call("IEnumWIA_DEV_INFO::Clone", "");
    if (call.refused()) return call.result();
    if (!ppIEnum) return call.finish(E_INVALIDARG);
    *ppIEnum = new DeviceInfoEnumerator(devices_, position_);
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE GetCount(ULONG* celt) override {
    CallScope call("IEnumWIA_DEV_INFO::GetCount", "");
    if (call.refused()) return call.result();
    if (!celt) return call.finish(E_INVALIDARG);
    *celt = static_cast<ULONG>(devices_->devices.size());
    return call.finish(S_OK);
  }

 private:
  std::string nextId() const {
    return position_ < devices_->devices.size() ? devices_->devices[position_]->id : "";
  }
  HRESULT queryVia(const char* method, REFIID riid, void** ppv) override {
    return answerQuery(method, "", riid, ppv, [this](REFIID iid) -> IUnknown* {
      if (iid == IID_IUnknown || iid == IID_IEnumWIA_DEV_INFO) {
        return static_cast<IEnumWIA_DEV_INFO*>(this);
      }
      return nullptr;
    });
  }
  ULONG addRefObject() override { return addRefImpl(); }
  ULONG releaseObject() override { return releaseImpl(); }

  std::shared_ptr<const DeviceList> devices_;
  std::mutex lock_;
  size_t position_;
};

class DeviceManager final : public Facet<IWiaDevMgr>, private detail::RefCounted {
 public:
  DeviceManager() : RefCounted("VirtualDevMgr") {}

  HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG lFlag, IEnumWIA_DEV_INFO** ppIEnum) override {
    if (ppIEnum) *ppIEnum = nullptr;
    CallScope call("IWiaDevMgr::EnumDeviceInfo", "");
    call.detail("flags=" + std::to_string(lFlag));
    if (call.refused()) return call.result();
    if (!ppIEnum) return call.finish(E_POINTER);
    // Every device is local here; other flags are not defined.
    if (lFlag != 0 && lFlag != WIA_DEVINFO_ENUM_LOCAL) return call.finish(E_INVALIDARG);
    *ppIEnum = new DeviceInfoEnumerator(currentDevices());
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE CreateDevice(BSTR bstrDeviceID, IWiaItem** ppWiaItemRoot) override {
    if (ppWiaItemRoot) *ppWiaItemRoot = nullptr;
    std::string id = bstrDeviceID
                         ? toUtf8(std::u16string(bstrDeviceID, SysStringLen(bstrDeviceID)))
                         : std::string();
    CallScope call("IWiaDevMgr::CreateDevice", id);
    if (call.refused()) return call.result();
    if (!ppWiaItemRoot) return call.finish(E_POINTER);
    if (!bstrDeviceID) return call.finish(E_INVALIDARG);
    std::shared_ptr<const DeviceList> devices = currentDevices();
    auto found = devices->byId.find(id);
    if (found == devices->byId.end() || devices->devices[found->second]->vanishes) {
      return call.finish(WIA_S_NO_DEVICE_AVAILABLE);
    }
    auto session = std::make_shared<Session>(devices->devices[found->second]);
    *ppWiaItemRoot = newItem(session, {ItemKind::Root, 0});
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND, LONG, LONG, BSTR* pbstrDeviceID,
                                            IWiaItem** ppItemRoot) override {
    if (pbstrDeviceID) *pbstrDeviceID = nullptr;
    if (ppItemRoot) *ppItemRoot = nullptr;
    return unsupported("IWiaDevMgr::SelectDeviceDlg");
  }
  HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND, LONG, LONG, BSTR* pbstrDeviceID) override {
    if (pbstrDeviceID) *pbstrDeviceID = nullptr;
    return unsupported("IWiaDevMgr::SelectDeviceDlgID");
  }
  HRESULT STDMETHODCALLTYPE GetImageDlg(HWND, LONG, LONG, LONG, IWiaItem*, BSTR, GUID*) override {
    return unsupported("IWiaDevMgr::GetImageDlg");
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(LONG, BSTR, const GUID*, BSTR, BSTR,
                                                         BSTR, BSTR) override {
    return unsupported("IWiaDevMgr::RegisterEventCallbackProgram");
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(LONG, BSTR, const GUID*,
                                                           IWiaEventCallback*,
                                                           IUnknown** pEventObject) override {
    if (pEventObject) *pEventObject = nullptr;
    return unsupported("IWiaDevMgr::RegisterEventCallbackInterface");
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(LONG, BSTR, const GUID*, const GUID*,
                                                       BSTR, BSTR, BSTR) override {
    return unsupported("IWiaDevMgr::RegisterEventCallbackCLSID");
  }
  HRESULT STDMETHODCALLTYPE AddDeviceDlg(HWND, LONG) override {
    return unsupported("IWiaDevMgr::AddDeviceDlg");
  }

 private:
  HRESULT unsupported(const char* method) {
    CallScope call(method, "");
    if (call.refused()) return call.result();
    return call.finish(E_NOTIMPL);
  }
  HRESULT queryVia(const char* method, REFIID riid, void** ppv) override {
    return answerQuery(method, "", riid, ppv, [this](REFIID iid) -> IUnknown* {
      if (iid == IID_IUnknown || iid == IID_IWiaDevMgr) return static_cast<IWiaDevMgr*>(this);
      return nullptr;
    });
  }
  ULONG addRefObject() override { return addRefImpl(); }
  ULONG releaseObject() override { return releaseImpl(); }
};

}  // namespace

IWiaPropertyStorage* newDeviceInfo(std::shared_ptr<const DeviceSpec> spec) {
  return new DeviceInfo(std::move(spec));
}

IUnknown* newDeviceManager() { return static_cast<IWiaDevMgr*>(new DeviceManager()); }

}  // namespace winsim::wia
