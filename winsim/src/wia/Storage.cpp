// IWiaPropertyStorage and IEnumSTATPROPSTG of the virtual devices.
#include <algorithm>
#include <cctype>

#include "Objects.h"
#include "Service.h"
#include "Values.h"

namespace winsim::wia {
namespace {

using detail::CallScope;

bool sameNameIgnoringCase(const char* name, const OLECHAR* wanted) {
  if (!name) return false;
  size_t i = 0;
  for (; name[i] && wanted[i]; ++i) {
    if (wanted[i] > 0x7F) return false;
    if (std::tolower(static_cast<unsigned char>(name[i])) !=
        std::tolower(static_cast<unsigned char>(wanted[i]))) {
      return false;
    }
  }
  return name[i] == 0 && wanted[i] == 0;
}

// The property ID a specifier names; names are matched without regard to case.
bool resolve(const PROPSPEC& propSpec, const std::vector<PropertyInfo>& properties, PROPID* id) {
  if (propSpec.ulKind == PRSPEC_PROPID) {
    *id = propSpec.propid;
    return true;
  }
  if (propSpec.ulKind != PRSPEC_LPWSTR || !propSpec.lpwstr) return false;
  for (const auto& info : properties) {
    if (sameNameIgnoringCase(info.name, propSpec.lpwstr)) {
      *id = info.id;
      return true;
    }
  }
  return false;
}

std::string specText(const PROPSPEC& propSpec) {
  if (propSpec.ulKind == PRSPEC_PROPID) return std::to_string(propSpec.propid);
  if (propSpec.ulKind == PRSPEC_LPWSTR && propSpec.lpwstr) return "\"" + toUtf8(detail::utf16Of(propSpec.lpwstr)) + "\"";
  return "?";
}

void clearValues(ULONG count, PROPVARIANT* values) {
  FreePropVariantArray(count, values);
}

class PropertyEnumerator final : public Enumerator<IEnumSTATPROPSTG, STATPROPSTG> {
 public:
  PropertyEnumerator(std::string target, std::vector<PropertyInfo> properties, size_t position = 0)
      : Enumerator("VirtualEnumSTATPROPSTG", position),
        target_(std::move(target)),
        properties_(std::move(properties)) {}

 private:
  size_t size() const override { return properties_.size(); }
  std::string nameAt(size_t) const override { return target_; }
  std::string ownerName() const override { return target_; }
  // The caller owns the name and frees it with CoTaskMemFree.
  HRESULT make(size_t position, STATPROPSTG* element) override {
    const PropertyInfo& info = properties_[position];
    LPOLESTR name = nullptr;
    if (info.name) {
      name = detail::taskMemString(toUtf16(info.name));
      if (!name) return E_OUTOFMEMORY;
    }
    *element = {name, info.id, info.vt};
    return S_OK;
  }
  void discard(STATPROPSTG* element) override { CoTaskMemFree(element->lpwstrName); }
  IEnumSTATPROPSTG* clone(size_t position) override {
    return new PropertyEnumerator(target_, properties_, position);
  }
  const IID& iid() const override { return IID_IEnumSTATPROPSTG; }

  std::string target_;
  std::vector<PropertyInfo> properties_;
};

}  // namespace

IEnumSTATPROPSTG* newPropertyEnumerator(std::string target, std::vector<PropertyInfo> properties) {
  return new PropertyEnumerator(std::move(target), std::move(properties));
}

Session::Session(std::shared_ptr<const DeviceSpec> deviceSpec, std::shared_ptr<Feeder> feeder,
                 std::shared_ptr<DeviceDriver> driver)
    : driver_(std::move(driver)),
      files_(driver_ && deviceSpec->kind == DeviceKind::Camera ? std::make_shared<CameraFiles>() : nullptr),
      model_(std::move(deviceSpec), std::move(feeder), files_) {}

ItemSettings Session::settings(ItemRef item) const {
  if (!model_.hasSettings(item)) return {};
  std::lock_guard<std::mutex> guard(lock_);
  return settingsLocked(item);
}

ItemSettings Session::settingsLocked(ItemRef item) const {
  auto found = changed_.find(key(item));
  return found == changed_.end() ? model_.defaults(item) : found->second;
}

HRESULT Session::write(ItemRef item, const std::vector<Write>& writes) {
  std::lock_guard<std::mutex> guard(lock_);
  ItemSettings defaults = model_.defaults(item);
  auto found = changed_.find(key(item));
  ItemSettings settings = found == changed_.end() ? defaults : found->second;
  HRESULT hr = model_.write(item, settings, writes);
  if (FAILED(hr)) return hr;
  if (settings == defaults) {
    if (found != changed_.end()) changed_.erase(found);
  } else {
    changed_[key(item)] = settings;
  }
  for (const auto& [id, value] : writes) {
    if (id != WIA_DPS_DOCUMENT_HANDLING_SELECT && id != WIA_DPS_PAGES) continue;
    if (Feeder* feeder = model_.feeder()) {
      batchPages_ = 0;
      feeder->eject();
      if (id == WIA_DPS_DOCUMENT_HANDLING_SELECT) feeder->clearJam();
    } else if (driver_) {
      batchPages_ = 0;
      driver_->endBatch();
    }
  }
  return hr;
}

HRESULT Session::feed(FedPage* page) {
  std::lock_guard<std::mutex> guard(lock_);
  Feeder* feeder = model_.feeder();
  if (!feeder && !(driver_ && model_.deviceSpec().feeder)) return WIA_ERROR_PAPER_EMPTY;
  const ItemSettings scanner = settingsLocked({ItemKind::Root, 0});
  if (scanner.pages > 0 && batchPages_ >= static_cast<unsigned>(scanner.pages)) {
    batchPages_ = 0;
    if (feeder) feeder->eject();
    else driver_->endBatch();
    return WIA_ERROR_PAPER_EMPTY;
  }
  if (!feeder) {
    // The real paper shows when the driver starts the page; its sides come in the order the
    // device scans them, the front first.
    page->sheet = (scanner.documentSelect & DUPLEX) ? batchPages_ / 2 + 1 : batchPages_ + 1;
    page->back = (scanner.documentSelect & DUPLEX) && batchPages_ % 2 == 1;
    return S_OK;
  }
  switch (feeder->take((scanner.documentSelect & DUPLEX) != 0, (scanner.documentSelect & BACK_FIRST) != 0, page)) {
    case Feed::Page:
      return S_OK;
    case Feed::Jam:
      batchPages_ = 0;
      return WIA_ERROR_PAPER_JAM;
    case Feed::Empty:
      break;
  }
  batchPages_ = 0;
  return WIA_ERROR_PAPER_EMPTY;
}

void Session::pageEnded(bool delivered) {
  std::lock_guard<std::mutex> guard(lock_);
  if (delivered) {
    ++batchPages_;
  } else if (Feeder* feeder = model_.feeder()) {
    feeder->eject();
  } else {
    batchPages_ = 0;  // a real page that failed ended its batch
  }
}

HRESULT Session::listFiles(std::vector<unsigned>* listing) {
  listing->clear();
  if (!driver_ || !files_) return E_NOTIMPL;
  std::vector<CameraFile> found;
  const HRESULT hr = driver_->listFiles(&found);
  if (FAILED(hr)) return hr;
  files_->list(found);
  *listing = files_->current();
  return S_OK;
}

StorageObject::StorageObject(std::shared_ptr<Session> session, ItemRef item)
    : session_(std::move(session)), item_(item), target_(session_->model().fullName(item)) {}

HRESULT StorageObject::ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                    PROPVARIANT rgpropvar[]) try {
  CallScope call("IWiaPropertyStorage::ReadMultiple", target_);
  if (rgpspec && rgpropvar) {
    for (ULONG i = 0; i < cpspec; ++i) {
      PropVariantInit(&rgpropvar[i]);
      if (call.recording()) call.detail(specText(rgpspec[i]));
    }
  }
  if (call.refused()) return call.result();
  if (cpspec == 0) return call.finish(S_FALSE);
  if (!rgpspec || !rgpropvar) return call.finish(E_INVALIDARG);

  const DeviceModel& model = session_->model();
  const std::vector<PropertyInfo>& properties = model.properties(item_);
  ItemSettings settings = session_->settings(item_);
  bool anyFound = false;
  bool overridden = false;  // an override asserts that its property was read
  HRESULT status = S_OK;
  for (ULONG i = 0; i < cpspec; ++i) {
    PROPID id = 0;
    if (rgpspec[i].ulKind != PRSPEC_PROPID && rgpspec[i].ulKind != PRSPEC_LPWSTR) {
      clearValues(i, rgpropvar);
      return call.finish(STG_E_INVALIDPARAMETER);
    }
    if (!resolve(rgpspec[i], properties, &id)) continue;  // an unknown name reads as missing
    PropertyValue value;
    ReadOverride rule;
    if (findReadOverride(target_, id, &rule)) {
      if (FAILED(rule.status)) {
        clearValues(i, rgpropvar);
        return call.finish(rule.status);
      }
      overridden = true;
      if (rule.status != S_OK) status = rule.status;
      value = rule.replaceValue ? rule.value : model.value(item_, settings, id);
    } else {
      value = model.value(item_, settings, id);
    }
    HRESULT hr = toPropVariant(value, &rgpropvar[i]);
    if (FAILED(hr)) {
      clearValues(i + 1, rgpropvar);
      return call.finish(hr);
    }
    anyFound = anyFound || value.vt != VT_EMPTY;
  }
  if (status != S_OK) return call.finish(status);
  return call.finish(anyFound || overridden ? S_OK : S_FALSE);
} catch (...) {
  return detail::resultOfCaughtException();
}

HRESULT StorageObject::WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                     const PROPVARIANT rgpropvar[], PROPID propidNameFirst) try {
  CallScope call("IWiaPropertyStorage::WriteMultiple", target_);
  if (rgpspec && rgpropvar) {
    for (ULONG i = 0; i < cpspec; ++i) {
      if (call.recording()) call.detail(specText(rgpspec[i]) + "=" + detail::variantText(rgpropvar[i]));
    }
  }
  if (call.refused()) return call.result();
  if (cpspec == 0) return call.finish(S_OK);
  if (!rgpspec || !rgpropvar) return call.finish(E_INVALIDARG);
  // Property sets reserve the IDs below 2 (dictionary and code page) for themselves.
  if (propidNameFirst < 2 || propidNameFirst == PRSPEC_INVALID) {
    return call.finish(STG_E_INVALIDPARAMETER);
  }
  const std::vector<PropertyInfo>& properties = session_->model().properties(item_);
  std::vector<Write> writes;
  for (ULONG i = 0; i < cpspec; ++i) {
    PROPID id = 0;
    if (!resolve(rgpspec[i], properties, &id)) return call.finish(E_INVALIDARG);
    writes.emplace_back(id, &rgpropvar[i]);
  }
  return call.finish(session_->write(item_, writes));
} catch (...) {
  return detail::resultOfCaughtException();
}

HRESULT StorageObject::refuseChange(const char* method) {
  CallScope call(method, target_);
  if (call.refused()) return call.result();
  return call.finish(E_ACCESSDENIED);
}

HRESULT StorageObject::notImplemented(const char* method) {
  CallScope call(method, target_);
  if (call.refused()) return call.result();
  return call.finish(E_NOTIMPL);
}

HRESULT StorageObject::DeleteMultiple(ULONG, const PROPSPEC[]) {
  return refuseChange("IWiaPropertyStorage::DeleteMultiple");
}

HRESULT StorageObject::WritePropertyNames(ULONG, const PROPID[], const LPOLESTR[]) {
  return refuseChange("IWiaPropertyStorage::WritePropertyNames");
}

HRESULT StorageObject::DeletePropertyNames(ULONG, const PROPID[]) {
  return refuseChange("IWiaPropertyStorage::DeletePropertyNames");
}

HRESULT StorageObject::SetTimes(const FILETIME*, const FILETIME*, const FILETIME*) {
  return notImplemented("IWiaPropertyStorage::SetTimes");
}

HRESULT StorageObject::SetClass(REFCLSID) { return notImplemented("IWiaPropertyStorage::SetClass"); }

HRESULT StorageObject::GetPropertyStream(GUID*, IStream** ppIStream) {
  if (ppIStream) *ppIStream = nullptr;
  return notImplemented("IWiaPropertyStorage::GetPropertyStream");
}

HRESULT StorageObject::SetPropertyStream(GUID*, IStream*) {
  return notImplemented("IWiaPropertyStorage::SetPropertyStream");
}

HRESULT StorageObject::ReadPropertyNames(ULONG cpropid, const PROPID rgpropid[],
                                         LPOLESTR rglpwstrName[]) try {
  CallScope call("IWiaPropertyStorage::ReadPropertyNames", target_);
  if (call.refused()) return call.result();
  if (cpropid == 0) return call.finish(S_FALSE);
  if (!rgpropid || !rglpwstrName) return call.finish(E_INVALIDARG);
  const std::vector<PropertyInfo>& properties = session_->model().properties(item_);
  bool anyFound = false;
  for (ULONG i = 0; i < cpropid; ++i) {
    rglpwstrName[i] = nullptr;
    for (const auto& info : properties) {
      if (info.id == rgpropid[i] && info.name) {
        rglpwstrName[i] = detail::taskMemString(toUtf16(info.name));
        anyFound = true;
      }
    }
  }
  return call.finish(anyFound ? S_OK : S_FALSE);
} catch (...) {
  return detail::resultOfCaughtException();
}

HRESULT StorageObject::Commit(DWORD) {
  CallScope call("IWiaPropertyStorage::Commit", target_);
  if (call.refused()) return call.result();
  return call.finish(S_OK);  // writes take effect at once
}

HRESULT StorageObject::Revert() {
  CallScope call("IWiaPropertyStorage::Revert", target_);
  if (call.refused()) return call.result();
  return call.finish(S_OK);
}

HRESULT StorageObject::Enum(IEnumSTATPROPSTG** ppenum) try {
  if (ppenum) *ppenum = nullptr;
  CallScope call("IWiaPropertyStorage::Enum", target_);
  if (call.refused()) return call.result();
  if (!ppenum) return call.finish(E_INVALIDARG);
  *ppenum = newPropertyEnumerator(target_, session_->model().properties(item_));
  return call.finish(S_OK);
} catch (...) {
  return detail::resultOfCaughtException();
}

HRESULT StorageObject::Stat(STATPROPSETSTG* pstatpsstg) {
  CallScope call("IWiaPropertyStorage::Stat", target_);
  if (call.refused()) return call.result();
  if (!pstatpsstg) return call.finish(E_INVALIDARG);
  *pstatpsstg = STATPROPSETSTG{};
  return call.finish(S_OK);
}

HRESULT StorageObject::GetCount(ULONG* pulNumProps) {
  CallScope call("IWiaPropertyStorage::GetCount", target_);
  if (call.refused()) return call.result();
  if (!pulNumProps) return call.finish(E_INVALIDARG);
  *pulNumProps = static_cast<ULONG>(session_->model().properties(item_).size());
  return call.finish(S_OK);
}

// Valid values as vectors: a range {min, nominal, max, step}; a list {count, nominal,
// values...}, for formats a vector of CLSIDs whose first element carries the count in Data1;
// flags {nominal, valid bits}.
HRESULT StorageObject::GetPropertyAttributes(ULONG cpspec, PROPSPEC rgpspec[], ULONG rgflags[],
                                             PROPVARIANT rgpropvar[]) try {
  CallScope call("IWiaPropertyStorage::GetPropertyAttributes", target_);
  if (rgpspec && rgpropvar && rgflags) {
    for (ULONG i = 0; i < cpspec; ++i) {
      PropVariantInit(&rgpropvar[i]);
      rgflags[i] = 0;
      if (call.recording()) call.detail(specText(rgpspec[i]));
    }
  }
  if (call.refused()) return call.result();
  if (cpspec == 0) return call.finish(S_FALSE);
  if (!rgpspec || !rgflags || !rgpropvar) return call.finish(E_INVALIDARG);
  const DeviceModel& model = session_->model();
  const std::vector<PropertyInfo>& properties = model.properties(item_);
  ItemSettings settings = session_->settings(item_);
  for (ULONG i = 0; i < cpspec; ++i) {
    PROPID id = 0;
    PropertyInfo info;
    if (!resolve(rgpspec[i], properties, &id) || !model.property(item_, id, &info)) {
      clearValues(i, rgpropvar);
      return call.finish(E_INVALIDARG);
    }
    rgflags[i] = info.flags;
    ValidValues valid = model.valid(item_, settings, id);
    PropertyValue value;
    if (!valid.guids.empty()) {
      GUID count{};
      count.Data1 = static_cast<uint32_t>(valid.guids.size() - 1);
      auto* elements = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID) * (valid.guids.size() + 1)));
      if (!elements) {
        clearValues(i, rgpropvar);
        return call.finish(E_OUTOFMEMORY);
      }
      elements[0] = count;
      std::copy(valid.guids.begin(), valid.guids.end(), elements + 1);
      rgpropvar[i].vt = VT_VECTOR | VT_CLSID;
      rgpropvar[i].cauuid = {static_cast<ULONG>(valid.guids.size() + 1), elements};
      continue;
    }
    if (valid.kind == WIA_PROP_LIST && !valid.numbers.empty()) {
      value = PropertyValue::vector(VT_I4, {static_cast<long long>(valid.numbers.size() - 1)});
      value.elements.insert(value.elements.end(), valid.numbers.begin(), valid.numbers.end());
    } else if (!valid.numbers.empty()) {
      value = PropertyValue::vector(VT_I4, {valid.numbers.begin(), valid.numbers.end()});
    }
    HRESULT hr = toPropVariant(value, &rgpropvar[i]);
    if (FAILED(hr)) {
      clearValues(i, rgpropvar);
      return call.finish(hr);
    }
  }
  return call.finish(S_OK);
} catch (...) {
  return detail::resultOfCaughtException();
}

}  // namespace winsim::wia
