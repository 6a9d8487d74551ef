// IWiaDevMgr, IEnumWIA_DEV_INFO and the device information storages.
#include <algorithm>

#include "Drivers.h"
#include "Objects.h"
#include "Service.h"

namespace winsim::wia {
namespace {

using detail::CallScope;

class DeviceInfo final : public StorageObject, private detail::RefCounted {
 public:
  explicit DeviceInfo(std::shared_ptr<const DeviceSpec> deviceSpec)
      : StorageObject(std::make_shared<Session>(std::move(deviceSpec)), {ItemKind::Info, 0}),
        RefCounted("VirtualDevInfoStorage") {}

 private:
  HRESULT queryVia(const char* method, REFIID riid, void** ppv) override {
    return answerQuery(method, target(), riid, ppv, *this, [this](REFIID iid) -> IUnknown* {
      if (iid == IID_IUnknown || iid == IID_IWiaPropertyStorage) {
        return static_cast<IWiaPropertyStorage*>(this);
      }
      return nullptr;
    });
  }
  ULONG addRefObject() override { return addRefImpl(); }
  ULONG releaseObject() override { return releaseImpl(); }
};

// The devices of one enumeration; a drivers' listing that failed answers Next at the end.
class DeviceInfoEnumerator final : public Enumerator<IEnumWIA_DEV_INFO, IWiaPropertyStorage*> {
 public:
  explicit DeviceInfoEnumerator(std::shared_ptr<const DeviceList> devices, size_t position = 0,
                                HRESULT listingFailure = S_OK)
      : Enumerator("VirtualEnumDevInfo", position), devices_(std::move(devices)), listingFailure_(listingFailure) {}

  HRESULT STDMETHODCALLTYPE GetCount(ULONG* celt) override { return countInto(celt); }

 private:
  size_t size() const override { return devices_->devices.size(); }
  std::string nameAt(size_t position) const override { return devices_->devices[position]->id; }
  std::string ownerName() const override { return ""; }
  HRESULT make(size_t position, IWiaPropertyStorage** element) override {
    *element = newDeviceInfo(devices_->devices[position]);
    return S_OK;
  }
  void discard(IWiaPropertyStorage** element) override { (*element)->Release(); }
  IEnumWIA_DEV_INFO* clone(size_t position) override {
    return new DeviceInfoEnumerator(devices_, position, listingFailure_);
  }
  const IID& iid() const override { return IID_IEnumWIA_DEV_INFO; }
  HRESULT endOfSequence() const override { return FAILED(listingFailure_) ? listingFailure_ : S_FALSE; }

  std::shared_ptr<const DeviceList> devices_;
  HRESULT listingFailure_;
};

// The devices an enumeration lists: the virtual set (when it is served), then what the
// drivers of real devices find now.
std::shared_ptr<const DeviceList> enumeratedDevices(HRESULT* listingFailure) {
  *listingFailure = S_OK;
  static const auto kNone = std::make_shared<const DeviceList>();
  std::shared_ptr<const DeviceList> installed = virtualDevicesServed() ? currentDevices() : kNone;
  if (!realDriversServed()) return installed;
  DriverListing listing = listDriverDevices();
  *listingFailure = listing.failure;
  auto devices = std::make_shared<DeviceList>(*installed);
  for (auto& device : listing.devices) {
    // An ID the virtual set has already stays the virtual device's.
    if (!devices->byId.emplace(device->id, devices->devices.size()).second) continue;
    devices->devices.push_back(std::move(device));
    devices->feeders.push_back(nullptr);
  }
  return devices;
}

class DeviceManager final : public Facet<IWiaDevMgr>, private detail::RefCounted {
 public:
  DeviceManager() : RefCounted("VirtualDevMgr") {}

  HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG lFlag, IEnumWIA_DEV_INFO** ppIEnum) override try {
    if (ppIEnum) *ppIEnum = nullptr;
    CallScope call("IWiaDevMgr::EnumDeviceInfo", "");
    if (call.recording()) call.detail("flags=" + std::to_string(lFlag));
    if (call.refused()) return call.result();
    if (!ppIEnum) return call.finish(E_POINTER);
    // Every device is local here; other flags are not defined.
    if (lFlag != 0 && lFlag != WIA_DEVINFO_ENUM_LOCAL) return call.finish(E_INVALIDARG);
    HRESULT listingFailure = S_OK;
    std::shared_ptr<const DeviceList> devices = enumeratedDevices(&listingFailure);
    *ppIEnum = new DeviceInfoEnumerator(std::move(devices), 0, listingFailure);
    return call.finish(S_OK);
  } catch (...) {
    return detail::resultOfCaughtException();
  }

  HRESULT STDMETHODCALLTYPE CreateDevice(BSTR bstrDeviceID, IWiaItem** ppWiaItemRoot) override try {
    if (ppWiaItemRoot) *ppWiaItemRoot = nullptr;
    std::string id = bstrDeviceID
                         ? toUtf8(detail::utf16Of(bstrDeviceID, SysStringLen(bstrDeviceID)))
                         : std::string();
    CallScope call("IWiaDevMgr::CreateDevice", id);
    if (call.refused()) return call.result();
    if (!ppWiaItemRoot) return call.finish(E_POINTER);
    if (!bstrDeviceID) return call.finish(E_INVALIDARG);
    std::shared_ptr<const DeviceList> devices = currentDevices();
    auto found = devices->byId.find(id);
    if (found != devices->byId.end() && virtualDevicesServed()) {
      if (devices->devices[found->second]->vanishes) return call.finish(WIA_S_NO_DEVICE_AVAILABLE);
      auto session = std::make_shared<Session>(devices->devices[found->second], devices->feeders[found->second]);
      *ppWiaItemRoot = newItem(session, {ItemKind::Root, 0});
      return call.finish(S_OK);
    }
    if (!realDriversServed()) return call.finish(WIA_S_NO_DEVICE_AVAILABLE);
    std::shared_ptr<const DeviceSpec> deviceSpec;
    std::shared_ptr<DeviceDriver> driver;
    const HRESULT opened = openDriverDevice(id, &deviceSpec, &driver);
    if (FAILED(opened)) return call.finish(opened);
    auto session = std::make_shared<Session>(std::move(deviceSpec), nullptr, std::move(driver));
    *ppWiaItemRoot = newItem(session, {ItemKind::Root, 0});
    return call.finish(S_OK);
  } catch (...) {
    return detail::resultOfCaughtException();
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
    return answerQuery(method, "", riid, ppv, *this, [this](REFIID iid) -> IUnknown* {
      if (iid == IID_IUnknown || iid == IID_IWiaDevMgr) return static_cast<IWiaDevMgr*>(this);
      return nullptr;
    });
  }
  ULONG addRefObject() override { return addRefImpl(); }
  ULONG releaseObject() override { return releaseImpl(); }
};

}  // namespace

IWiaPropertyStorage* newDeviceInfo(std::shared_ptr<const DeviceSpec> deviceSpec) {
  return new DeviceInfo(std::move(deviceSpec));
}

IUnknown* newDeviceManager() { return static_cast<IWiaDevMgr*>(new DeviceManager()); }

}  // namespace winsim::wia
