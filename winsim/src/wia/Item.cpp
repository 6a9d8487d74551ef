// IWiaItem, IEnumWiaItem and IWiaDataTransfer of the virtual devices.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "Objects.h"
#include "Service.h"

namespace winsim::wia {
namespace {

using detail::CallScope;

constexpr LONG kDialogFlags = WIA_DEVICE_DIALOG_SINGLE_IMAGE | WIA_DEVICE_DIALOG_USE_COMMON_UI;
constexpr LONG kIntents = WIA_INTENT_IMAGE_TYPE_MASK | WIA_INTENT_SIZE_MASK;

// The root's children: the model's, or a camera's files as one listing found them.
class ItemEnumerator final : public Enumerator<IEnumWiaItem, IWiaItem*> {
 public:
  explicit ItemEnumerator(std::shared_ptr<Session> session, std::shared_ptr<const std::vector<unsigned>> files = nullptr,
                          size_t position = 0)
      : Enumerator("VirtualEnumWiaItem", position), session_(std::move(session)), files_(std::move(files)) {}

  HRESULT STDMETHODCALLTYPE GetCount(ULONG* celt) override { return countInto(celt); }

 private:
  const DeviceModel& model() const { return session_->model(); }
  ItemRef childAt(size_t position) const {
    if (files_) return {ItemKind::Picture, (*files_)[position]};
    return model().child(static_cast<unsigned>(position));
  }
  size_t size() const override { return files_ ? files_->size() : model().childCount(); }
  std::string nameAt(size_t position) const override { return model().fullName(childAt(position)); }
  std::string ownerName() const override { return model().fullName({ItemKind::Root, 0}); }
  HRESULT make(size_t position, IWiaItem** element) override {
    *element = newItem(session_, childAt(position));
    return S_OK;
  }
  void discard(IWiaItem** element) override { (*element)->Release(); }
  IEnumWiaItem* clone(size_t position) override { return new ItemEnumerator(session_, files_, position); }
  const IID& iid() const override { return IID_IEnumWiaItem; }

  std::shared_ptr<Session> session_;
  std::shared_ptr<const std::vector<unsigned>> files_;
};

// A camera's files as its driver lists them now; S_OK and null for a device without them.
HRESULT listedFiles(Session& session, std::shared_ptr<const std::vector<unsigned>>* files) {
  files->reset();
  if (!session.model().files()) return S_OK;
  std::vector<unsigned> listing;
  const HRESULT hr = session.listFiles(&listing);
  if (FAILED(hr)) return hr;
  *files = std::make_shared<const std::vector<unsigned>>(std::move(listing));
  return S_OK;
}

class Item final : public Facet<IWiaItem>,
                   public StorageObject,
                   public Facet<IWiaDataTransfer>,
                   private detail::RefCounted {
 public:
  Item(std::shared_ptr<Session> session, ItemRef item)
      : StorageObject(std::move(session), item), RefCounted("VirtualItem") {}

  // IWiaItem
  HRESULT STDMETHODCALLTYPE GetItemType(LONG* pItemType) override {
    CallScope call("IWiaItem::GetItemType", target());
    if (call.refused()) return call.result();
    if (!pItemType) return call.finish(E_INVALIDARG);
    *pItemType = session_->model().itemType(item_);
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE AnalyzeItem(LONG) override {
    return unsupported("IWiaItem::AnalyzeItem");
  }

  HRESULT STDMETHODCALLTYPE EnumChildItems(IEnumWiaItem** ppIEnumWiaItem) override try {
    if (ppIEnumWiaItem) *ppIEnumWiaItem = nullptr;
    CallScope call("IWiaItem::EnumChildItems", target());
    if (call.refused()) return call.result();
    if (!ppIEnumWiaItem || item_.kind != ItemKind::Root) return call.finish(E_INVALIDARG);
    std::shared_ptr<const std::vector<unsigned>> files;
    const HRESULT listed = listedFiles(*session_, &files);
    if (FAILED(listed)) return call.finish(listed);
    *ppIEnumWiaItem = new ItemEnumerator(session_, std::move(files));
    return call.finish(S_OK);
  } catch (...) {
    return detail::resultOfCaughtException();
  }

  HRESULT STDMETHODCALLTYPE DeleteItem(LONG) override {
    CallScope call("IWiaItem::DeleteItem", target());
    if (call.refused()) return call.result();
    // Only pictures carry WIA_ITEM_CAN_BE_DELETED, and deleting is not modelled.
    return call.finish(item_.kind == ItemKind::Picture ? E_NOTIMPL : E_ACCESSDENIED);
  }

  HRESULT STDMETHODCALLTYPE CreateChildItem(LONG, BSTR, BSTR, IWiaItem** ppIWiaItem) override {
    if (ppIWiaItem) *ppIWiaItem = nullptr;
    return unsupported("IWiaItem::CreateChildItem");
  }

  HRESULT STDMETHODCALLTYPE EnumRegisterEventInfo(LONG, const GUID*,
                                                  IEnumWIA_DEV_CAPS** ppIEnum) override {
    if (ppIEnum) *ppIEnum = nullptr;
    return unsupported("IWiaItem::EnumRegisterEventInfo");
  }

  HRESULT STDMETHODCALLTYPE FindItemByName(LONG, BSTR bstrFullItemName,
                                           IWiaItem** ppIWiaItem) override {
    if (ppIWiaItem) *ppIWiaItem = nullptr;
    CallScope call("IWiaItem::FindItemByName", target());
    if (call.refused()) return call.result();
    if (!bstrFullItemName || !ppIWiaItem) return call.finish(E_INVALIDARG);
    std::string wanted = toUtf8(detail::utf16Of(bstrFullItemName, SysStringLen(bstrFullItemName)));
    if (call.recording()) call.detail("name=" + wanted);
    const DeviceModel& model = session_->model();
    ItemRef root{ItemKind::Root, 0};
    std::string prefix = model.fullName(root) + "\\";
    ItemRef found = root;
    if (wanted != model.fullName(root)) {
      if (wanted.compare(0, prefix.size(), prefix) != 0 ||
          !model.findChild(wanted.substr(prefix.size()), &found)) {
        return call.finish(S_FALSE);
      }
    }
    *ppIWiaItem = newItem(session_, found);
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE DeviceDlg(HWND, LONG lFlags, LONG lIntent, LONG* plItemCount,
                                      IWiaItem*** ppIWiaItem) override;

  HRESULT STDMETHODCALLTYPE DeviceCommand(LONG, const GUID*, IWiaItem** pIWiaItem) override {
    if (pIWiaItem) *pIWiaItem = nullptr;
    return unsupported("IWiaItem::DeviceCommand");
  }

  HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem** ppIWiaItem) override {
    if (ppIWiaItem) *ppIWiaItem = nullptr;
    CallScope call("IWiaItem::GetRootItem", target());
    if (call.refused()) return call.result();
    if (!ppIWiaItem) return call.finish(E_INVALIDARG);
    *ppIWiaItem = newItem(session_, {ItemKind::Root, 0});
    return call.finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE EnumDeviceCapabilities(LONG, IEnumWIA_DEV_CAPS** ppIEnum) override {
    if (ppIEnum) *ppIEnum = nullptr;
    return unsupported("IWiaItem::EnumDeviceCapabilities");
  }
  HRESULT STDMETHODCALLTYPE DumpItemData(BSTR* bstrData) override {
    return unsupportedDump("IWiaItem::DumpItemData", bstrData);
  }
  HRESULT STDMETHODCALLTYPE DumpDrvItemData(BSTR* bstrData) override {
    return unsupportedDump("IWiaItem::DumpDrvItemData", bstrData);
  }
  HRESULT STDMETHODCALLTYPE DumpTreeItemData(BSTR* bstrData) override {
    return unsupportedDump("IWiaItem::DumpTreeItemData", bstrData);
  }
  HRESULT STDMETHODCALLTYPE Diagnostic(ULONG, BYTE*) override {
    return unsupported("IWiaItem::Diagnostic");
  }

  // IWiaDataTransfer
  HRESULT STDMETHODCALLTYPE idtGetData(LPSTGMEDIUM pMedium,
                                       IWiaDataCallback* pIWiaDataCallback) override try {
    CallScope call("IWiaDataTransfer::idtGetData", target());
    if (pMedium && call.recording()) call.detail("tymed=" + std::to_string(pMedium->tymed));
    if (call.recording()) call.detail(pIWiaDataCallback ? "callback=yes" : "callback=no");
    if (call.refused()) return call.result();
    if (!pMedium || item_.kind == ItemKind::Root) return call.finish(E_INVALIDARG);
    ItemSettings settings = session_->settings(item_);
    // The medium must be the one the item was set up for; callback transfers go through
    // idtGetBandedData.
    if (pMedium->tymed != TYMED_FILE || settings.tymed != TYMED_FILE) {
      return call.finish(E_INVALIDARG);
    }
    if (unsigned delay = session_->model().deviceSpec().transferDelayMs) {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    // With the feeder selected, each transfer takes the next side of a sheet from it.
    FedPage page;
    if (item_.kind == ItemKind::Flatbed && (settings.documentSelect & FEEDER)) {
      const HRESULT fed = session_->feed(&page);
      if (fed != S_OK) {
        if (call.recording()) call.detail(fed == WIA_ERROR_PAPER_JAM ? "feeder=jammed" : "feeder=empty");
        return call.finish(fed);
      }
      if (call.recording()) call.detail("sheet=" + std::to_string(page.sheet) + (page.back ? " back" : " front"));
    }
    std::string path;
    const PageRequest request{session_->model(), session_->driver(), item_, settings, page, pIWiaDataCallback, target()};
    HRESULT hr = session_->model().isFile(item_) ? transferCameraFile(request, pMedium, &path)
                                                 : transferToFile(request, pMedium, &path);
    if (page.sheet != 0) session_->pageEnded(hr == S_OK);
    if (hr == S_FALSE && call.recording()) call.detail("cancelled");
    if (!path.empty() && call.recording()) call.detail("file=" + path);
    return call.finish(hr);
  } catch (...) {
    return detail::resultOfCaughtException();
  }

  HRESULT STDMETHODCALLTYPE idtGetBandedData(PWIA_DATA_TRANSFER_INFO,
                                             IWiaDataCallback*) override {
    return unsupported("IWiaDataTransfer::idtGetBandedData");
  }

  HRESULT STDMETHODCALLTYPE idtQueryGetData(WIA_FORMAT_INFO* pfe) override {
    CallScope call("IWiaDataTransfer::idtQueryGetData", target());
    if (call.refused()) return call.result();
    if (!pfe) return call.finish(E_INVALIDARG);
    if (item_.kind == ItemKind::Root) return call.finish(S_FALSE);
    // A pair is offered when writing it would be accepted.
    ItemSettings settings = session_->settings(item_);
    PROPVARIANT values[2];
    values[0].vt = VT_I4;
    values[0].lVal = pfe->lTymed;
    values[1].vt = VT_CLSID;
    values[1].puuid = &pfe->guidFormatID;
    std::vector<Write> writes{{WIA_IPA_TYMED, &values[0]}, {WIA_IPA_FORMAT, &values[1]}};
    return call.finish(SUCCEEDED(session_->model().write(item_, settings, writes)) ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE idtEnumWIA_FORMAT_INFO(IEnumWIA_FORMAT_INFO** ppEnum) override {
    if (ppEnum) *ppEnum = nullptr;
    return unsupported("IWiaDataTransfer::idtEnumWIA_FORMAT_INFO");
  }

  HRESULT STDMETHODCALLTYPE idtGetExtendedTransferInfo(
      PWIA_EXTENDED_TRANSFER_INFO pExtendedTransferInfo) override {
    CallScope call("IWiaDataTransfer::idtGetExtendedTransferInfo", target());
    if (call.refused()) return call.result();
    if (!pExtendedTransferInfo) return call.finish(E_INVALIDARG);
    *pExtendedTransferInfo = {sizeof(WIA_EXTENDED_TRANSFER_INFO), 65536, 65536, 1 << 20, 1};
    return call.finish(S_OK);
  }

 private:
  HRESULT queryVia(const char* method, REFIID riid, void** ppv) override {
    return answerQuery(method, target(), riid, ppv, *this, [this](REFIID iid) -> IUnknown* {
      if (iid == IID_IUnknown || iid == IID_IWiaItem) return static_cast<IWiaItem*>(this);
      if (iid == IID_IWiaPropertyStorage) return static_cast<IWiaPropertyStorage*>(this);
      if (iid == IID_IWiaDataTransfer) return static_cast<IWiaDataTransfer*>(this);
      return nullptr;
    });
  }
  ULONG addRefObject() override { return addRefImpl(); }
  ULONG releaseObject() override { return releaseImpl(); }

  HRESULT unsupported(const char* method) {
    CallScope call(method, target());
    if (call.refused()) return call.result();
    return call.finish(E_NOTIMPL);
  }
  HRESULT unsupportedDump(const char* method, BSTR* data) {
    if (data) *data = nullptr;
    return unsupported(method);
  }
};

HRESULT Item::DeviceDlg(HWND, LONG lFlags, LONG lIntent, LONG* plItemCount,
                        IWiaItem*** ppIWiaItem) try {
  if (plItemCount) *plItemCount = 0;
  if (ppIWiaItem) *ppIWiaItem = nullptr;
  CallScope call("IWiaItem::DeviceDlg", target());
  if (call.recording()) call.detail("flags=" + std::to_string(lFlags) + " intent=" + std::to_string(lIntent));
  if (call.refused()) return call.result();
  if (!plItemCount || !ppIWiaItem || item_.kind != ItemKind::Root ||
      (lFlags & ~kDialogFlags) != 0 || (lIntent & ~kIntents) != 0) {
    return call.finish(E_INVALIDARG);
  }
  const DeviceModel& model = session_->model();
  DialogStep step;
  if (!nextDialogStep(model.deviceSpec().id, &step)) step.items = {"*"};
  if (step.action == DialogAction::Cancel) {
    call.detail("cancel");
    return call.finish(S_FALSE);
  }
  if (step.action == DialogAction::Fail) {
    call.detail("fail");
    return call.finish(step.failure);
  }

  std::shared_ptr<const std::vector<unsigned>> files;
  const HRESULT listed = listedFiles(*session_, &files);
  if (FAILED(listed)) return call.finish(listed);
  std::vector<ItemRef> chosen;
  for (const auto& name : step.items) {
    if (name == "*") {
      if (files) {
        for (unsigned index : *files) chosen.push_back({ItemKind::Picture, index});
      } else {
        for (unsigned i = 0; i < model.childCount(); ++i) chosen.push_back(model.child(i));
      }
      continue;
    }
    ItemRef item;
    if (!model.findChild(name, &item)) {
      std::fprintf(stderr, "winsim: the dialog script of %s picks an unknown item \"%s\"\n",
                   model.deviceSpec().id.c_str(), name.c_str());
      return call.finish(E_INVALIDARG);
    }
    chosen.push_back(item);
  }
  if ((lFlags & WIA_DEVICE_DIALOG_SINGLE_IMAGE) && chosen.size() > 1) chosen.resize(1);

  // The user's settings in the dialog, checked like any other write.
  std::vector<PROPVARIANT> values(step.settings.size());
  std::vector<Write> writes;
  for (size_t i = 0; i < step.settings.size(); ++i) {
    values[i].vt = VT_I4;
    values[i].lVal = step.settings[i].second;
    writes.emplace_back(step.settings[i].first, &values[i]);
  }
  for (const auto& item : chosen) {
    if (!writes.empty() && FAILED(session_->write(item, writes))) {
      std::fprintf(stderr, "winsim: the dialog script of %s makes settings that %s refuses\n",
                   model.deviceSpec().id.c_str(), model.fullName(item).c_str());
      return call.finish(E_INVALIDARG);
    }
  }

  if (call.recording()) call.detail("picked=" + std::to_string(chosen.size()));
  if (!chosen.empty()) {
    auto** array = static_cast<IWiaItem**>(CoTaskMemAlloc(chosen.size() * sizeof(IWiaItem*)));
    if (!array) return call.finish(E_OUTOFMEMORY);
    for (size_t i = 0; i < chosen.size(); ++i) array[i] = newItem(session_, chosen[i]);
    *ppIWiaItem = array;
    *plItemCount = static_cast<LONG>(chosen.size());
  }
  return call.finish(S_OK);
} catch (...) {
  return detail::resultOfCaughtException();
}

}  // namespace

IWiaItem* newItem(const std::shared_ptr<Session>& session, ItemRef item) {
  return new Item(session, item);
}

}  // namespace winsim::wia
