// The COM objects of the virtual WIA service and the pieces they share.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "CameraFiles.h"
#include "Drivers.h"
#include "Feeder.h"
#include "Model.h"
#include "runtime/Internal.h"
#include "winsim/control.h"

namespace winsim::wia {

template <typename Interface>
struct InterfaceName;
#define WINSIM_INTERFACE_NAME(Interface)                                            \
  template <>                                                                       \
  struct InterfaceName<Interface> {                                                 \
    static constexpr const char* kQueryInterface = #Interface "::QueryInterface";   \
    static constexpr const char* kNext = #Interface "::Next";                       \
    static constexpr const char* kSkip = #Interface "::Skip";                       \
    static constexpr const char* kReset = #Interface "::Reset";                     \
    static constexpr const char* kClone = #Interface "::Clone";                     \
    static constexpr const char* kGetCount = #Interface "::GetCount";               \
  }
WINSIM_INTERFACE_NAME(IWiaDevMgr);
WINSIM_INTERFACE_NAME(IEnumWIA_DEV_INFO);
WINSIM_INTERFACE_NAME(IWiaItem);
WINSIM_INTERFACE_NAME(IEnumWiaItem);
WINSIM_INTERFACE_NAME(IWiaPropertyStorage);
WINSIM_INTERFACE_NAME(IWiaDataTransfer);
WINSIM_INTERFACE_NAME(IEnumSTATPROPSTG);
#undef WINSIM_INTERFACE_NAME

// One interface of a virtual object. Its IUnknown methods forward to the object together
// with the interface's name, so that QueryInterface is journaled, and can be made to fail,
// under the interface it was called through.
template <typename Interface>
class Facet : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) final {
    return queryVia(InterfaceName<Interface>::kQueryInterface, riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() final { return addRefObject(); }
  ULONG STDMETHODCALLTYPE Release() final { return releaseObject(); }

 protected:
  virtual ~Facet() = default;
  virtual HRESULT queryVia(const char* method, REFIID riid, void** ppv) = 0;
  virtual ULONG addRefObject() = 0;
  virtual ULONG releaseObject() = 0;
};

// The gated QueryInterface of every virtual object: `find` maps an interface ID to the
// object's matching interface pointer, or null. The runtime may add the interface that
// hands the object to other apartments (detail::queryMarshaler).
template <typename Find>
HRESULT answerQuery(const char* method, const std::string& target, REFIID riid, void** ppv,
                    detail::RefCounted& self, Find find) {
  if (ppv) *ppv = nullptr;
  detail::CallScope call(method, target);
  if (call.recording()) call.detail("iid=" + detail::guidText(riid));
  if (call.refused()) return call.result();
  if (!ppv) return call.finish(E_POINTER);
  IUnknown* found = find(riid);
  if (!found) return call.finish(detail::queryMarshaler(self, find(IID_IUnknown), riid, ppv));
  found->AddRef();
  *ppv = found;
  return call.finish(S_OK);
}

// The enumerators: a position over a fixed sequence, with the gated Next, Skip, Reset and
// Clone of every COM enumerator. Next and Skip name the element they would reach next as
// their target; the other methods name the owner of the sequence.
template <typename Interface, typename Element>
class Enumerator : public Facet<Interface>, protected detail::RefCounted {
 public:
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, Element* rgelt, ULONG* pceltFetched) override try {
    if (pceltFetched) *pceltFetched = 0;
    std::lock_guard<std::mutex> guard(lock_);
    detail::CallScope call(InterfaceName<Interface>::kNext, observedNextName());
    if (call.recording()) call.detail("celt=" + std::to_string(celt));
    if (call.refused()) return call.result();
    if (!rgelt || (celt != 1 && !pceltFetched)) return call.finish(E_INVALIDARG);
    ULONG fetched = 0;
    while (fetched < celt && position_ < size()) {
      HRESULT hr = make(position_, &rgelt[fetched]);
      if (FAILED(hr)) {
        while (fetched > 0) discard(&rgelt[--fetched]);
        return call.finish(hr);
      }
      ++fetched;
      ++position_;
    }
    if (fetched == 0 && celt > 0 && FAILED(endOfSequence())) return call.finish(endOfSequence());
    if (pceltFetched) *pceltFetched = fetched;
    return call.finish(fetched == celt ? S_OK : S_FALSE);
  } catch (...) {
    return detail::resultOfCaughtException();
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    std::lock_guard<std::mutex> guard(lock_);
    detail::CallScope call(InterfaceName<Interface>::kSkip, observedNextName());
    if (call.refused()) return call.result();
    size_t left = size() - position_;
    position_ += std::min<size_t>(celt, left);
    return call.finish(celt <= left ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    std::lock_guard<std::mutex> guard(lock_);
    detail::CallScope call(InterfaceName<Interface>::kReset, observedOwnerName());
    if (call.refused()) return call.result();
    position_ = 0;
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE Clone(Interface** ppEnum) override {
    if (ppEnum) *ppEnum = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    detail::CallScope call(InterfaceName<Interface>::kClone, observedOwnerName());
    if (call.refused()) return call.result();
    if (!ppEnum) return call.finish(E_INVALIDARG);
    *ppEnum = clone(position_);
    return call.finish(S_OK);
  }

 protected:
  Enumerator(const char* kind, size_t position) : RefCounted(kind), position_(position) {}

  // GetCount of the enumerators that have it.
  HRESULT countInto(ULONG* celt) {
    detail::CallScope call(InterfaceName<Interface>::kGetCount, observedOwnerName());
    if (call.refused()) return call.result();
    if (!celt) return call.finish(E_INVALIDARG);
    *celt = static_cast<ULONG>(size());
    return call.finish(S_OK);
  }

  virtual size_t size() const = 0;
  virtual std::string nameAt(size_t position) const = 0;
  virtual std::string ownerName() const = 0;
  virtual HRESULT make(size_t position, Element* element) = 0;
  virtual void discard(Element* element) = 0;
  virtual Interface* clone(size_t position) = 0;
  // What Next answers at the end: S_FALSE, or the failure of a sequence that could not be
  // made whole (it comes after the elements that could).
  virtual HRESULT endOfSequence() const { return S_FALSE; }

 private:
  std::string nextName() const { return position_ < size() ? nameAt(position_) : ""; }
  // The names as call targets, made only while calls are observed.
  std::string observedNextName() const { return detail::CallScope::observed() ? nextName() : std::string(); }
  std::string observedOwnerName() const { return detail::CallScope::observed() ? ownerName() : std::string(); }
  HRESULT queryVia(const char* method, REFIID riid, void** ppv) override {
    return answerQuery(method, ownerName(), riid, ppv, *this, [this](REFIID wanted) -> IUnknown* {
      return wanted == IID_IUnknown || wanted == iid() ? static_cast<Interface*>(this) : nullptr;
    });
  }
  ULONG addRefObject() override { return this->addRefImpl(); }
  ULONG releaseObject() override { return this->releaseImpl(); }
  virtual const IID& iid() const = 0;

  std::mutex lock_;
  size_t position_;
};

// One opened device: the model and the settings its items hold. Items share it, so a
// setting written through one item pointer is seen through every other pointer to the same
// item, for as long as any object of the device lives.
// A scanner's root and scan item share one set of settings, so that the scan item sees the
// source and page chosen on the root. The session also counts the pages of the feeder batch
// it is in; the paper itself is the device's (Feeder), or the real device's.
// A device that a driver serves has its DeviceDriver; a camera's files are then listed by it
// at each enumeration of the root's children.
class Session {
 public:
  explicit Session(std::shared_ptr<const DeviceSpec> deviceSpec, std::shared_ptr<Feeder> feeder = nullptr,
                   std::shared_ptr<DeviceDriver> driver = nullptr);
  const DeviceModel& model() const { return model_; }
  DeviceDriver* driver() const { return driver_.get(); }
  ItemSettings settings(ItemRef item) const;
  // A write of the source or of the page count starts a new batch: the sheet in the scanner
  // is ejected, and a new source selection clears a paper jam.
  HRESULT write(ItemRef item, const std::vector<Write>& writes);

  // The next page of the feeder batch: S_OK and `page`, WIA_ERROR_PAPER_EMPTY when the feeder
  // is empty or the batch has the WIA_DPS_PAGES it asked for (the next feed starts another
  // batch), WIA_ERROR_PAPER_JAM while the feeder is jammed. A real feeder's paper shows only
  // when its page starts.
  HRESULT feed(FedPage* page);
  // How the page of the last feed ended: delivered, or lost with its sheet, which leaves the
  // scanner (a cancelled or failed page).
  void pageEnded(bool delivered);

  // A camera's files as its driver lists them now, in the listing's order.
  HRESULT listFiles(std::vector<unsigned>* listing);

 private:
  static unsigned key(ItemRef item) { return item.kind == ItemKind::Picture ? item.index : 0; }
  ItemSettings settingsLocked(ItemRef item) const;

  std::shared_ptr<DeviceDriver> driver_;
  std::shared_ptr<CameraFiles> files_;  // before model_, which reads them
  DeviceModel model_;
  mutable std::mutex lock_;
  // Only items whose settings differ from their defaults, so that cameras with very many
  // pictures cost nothing per untouched picture.
  std::unordered_map<unsigned, ItemSettings> changed_;
  unsigned batchPages_ = 0;  // pages delivered since the batch began
};

// IWiaPropertyStorage over one item (or a device information storage) of a session.
class StorageObject : public Facet<IWiaPropertyStorage> {
 public:
  StorageObject(std::shared_ptr<Session> session, ItemRef item);

  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                         PROPVARIANT rgpropvar[]) override;
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                          const PROPVARIANT rgpropvar[],
                                          PROPID propidNameFirst) override;
  HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG cpspec, const PROPSPEC rgpspec[]) override;
  HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG cpropid, const PROPID rgpropid[],
                                              LPOLESTR rglpwstrName[]) override;
  HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG cpropid, const PROPID rgpropid[],
                                               const LPOLESTR rglpwstrName[]) override;
  HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG cpropid, const PROPID rgpropid[]) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG** ppenum) override;
  HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME* pctime, const FILETIME* patime,
                                     const FILETIME* pmtime) override;
  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) override;
  HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG* pstatpsstg) override;
  HRESULT STDMETHODCALLTYPE GetPropertyAttributes(ULONG cpspec, PROPSPEC rgpspec[],
                                                  ULONG rgflags[],
                                                  PROPVARIANT rgpropvar[]) override;
  HRESULT STDMETHODCALLTYPE GetCount(ULONG* pulNumProps) override;
  HRESULT STDMETHODCALLTYPE GetPropertyStream(GUID* pCompatibilityId,
                                              IStream** ppIStream) override;
  HRESULT STDMETHODCALLTYPE SetPropertyStream(GUID* pCompatibilityId,
                                              IStream* pIStream) override;

 protected:
  // The name that fault rules, read overrides and the journal use for this object.
  const std::string& target() const { return target_; }

  std::shared_ptr<Session> session_;
  ItemRef item_;

 private:
  HRESULT refuseChange(const char* method);
  HRESULT notImplemented(const char* method);

  std::string target_;
};

// The objects that hand out new objects.
IWiaItem* newItem(const std::shared_ptr<Session>& session, ItemRef item);
IEnumSTATPROPSTG* newPropertyEnumerator(std::string target, std::vector<PropertyInfo> properties);
IWiaPropertyStorage* newDeviceInfo(std::shared_ptr<const DeviceSpec> deviceSpec);
IUnknown* newDeviceManager();

// One page of a file transfer: what to render (or the driver that scans it) and whom to tell
// how far it is.
struct PageRequest {
  const DeviceModel& model;
  DeviceDriver* driver;  // null for a virtual device
  ItemRef item;
  const ItemSettings& settings;
  FedPage page;                // the side of a sheet from the feeder, or none
  IWiaDataCallback* callback;  // may be null
  const std::string& target;   // the item's name, the target of the callback's messages
};

// idtGetData for a file medium: renders the page into a new file, or the caller's. A
// cancelled or failed page leaves no file.
HRESULT transferToFile(const PageRequest& request, STGMEDIUM* medium, std::string* path);
// idtGetData of a camera's file: fetched as it is into the caller's file, or into a new
// private folder under the file's own name. A cancelled or failed transfer leaves nothing.
HRESULT transferCameraFile(const PageRequest& request, STGMEDIUM* medium, std::string* path);

}  // namespace winsim::wia
