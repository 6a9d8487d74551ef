#include "ScannerCapabilities.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "ComPtr.h"
#include "ReadValues.h"
#include "RequireOut.h"
#include "FailureReport.h"

namespace {

// The root's properties in the order of the layout, then the page's sides.
const PROPID kRootProperties[] = {
    WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES, WIA_DPS_DOCUMENT_HANDLING_STATUS,
    WIA_DPS_DOCUMENT_HANDLING_SELECT,       WIA_DPS_PAGES,
    WIA_DPS_HORIZONTAL_BED_SIZE,            WIA_DPS_VERTICAL_BED_SIZE,
    WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE,     WIA_DPS_VERTICAL_SHEET_FEED_SIZE,
    WIA_DPS_PAGE_WIDTH,                     WIA_DPS_PAGE_HEIGHT,
};
constexpr ULONG kRootCount = static_cast<ULONG>(std::size(kRootProperties));
constexpr ULONG kPageSides = 2;  // the last two

const PROPID kItemProperties[] = {WIA_IPS_XRES, WIA_IPA_DATATYPE, WIA_IPA_DEPTH};
constexpr ULONG kItemCount = static_cast<ULONG>(std::size(kItemProperties));

// A range counted out gives at most this many values; a list keeps at most this many.
constexpr ULONG kMostValues = 4096;

enum ValuesKind : jint { kUnknown = 0, kRange = 1, kList = 2 };

jint intOf(const PROPVARIANT& value) { return value.vt == VT_I4 ? static_cast<jint>(value.lVal) : -1; }

// The elements of a valid-values vector of 32-bit integers; none for any other type.
std::vector<jint> elementsOf(const PROPVARIANT& valid) {
  if (valid.vt == (VT_VECTOR | VT_I4) && valid.cal.pElems) {
    return std::vector<jint>(valid.cal.pElems, valid.cal.pElems + valid.cal.cElems);
  }
  if (valid.vt == (VT_VECTOR | VT_UI4) && valid.caul.pElems) {
    std::vector<jint> elements;
    for (ULONG i = 0; i < valid.caul.cElems; ++i) elements.push_back(static_cast<jint>(valid.caul.pElems[i]));
    return elements;
  }
  return {};
}

// The valid values as the layout gives them: a range as minimum, nominal, maximum and step,
// a list as its values (no more than the vector holds, whatever its count says).
ValuesKind validValuesOf(ULONG flags, const PROPVARIANT& valid, std::vector<jint>* values) {
  const std::vector<jint> elements = elementsOf(valid);
  if ((flags & WIA_PROP_RANGE) && elements.size() >= WIA_RANGE_NUM_ELEMS) {
    values->assign(elements.begin(), elements.begin() + WIA_RANGE_NUM_ELEMS);
    return kRange;
  }
  if ((flags & WIA_PROP_LIST) && elements.size() >= WIA_LIST_NUM_ELEMS) {
    const size_t count = std::min<size_t>({static_cast<size_t>(std::max<jint>(elements[WIA_LIST_COUNT], 0)),
                                           elements.size() - WIA_LIST_VALUES, kMostValues});
    values->assign(elements.begin() + WIA_LIST_VALUES, elements.begin() + WIA_LIST_VALUES + count);
    return kList;
  }
  values->clear();
  return kUnknown;
}

// Each value offered: a list's values, or a range's from its minimum to its maximum by its
// step (the minimum alone for a step that is not positive).
std::vector<jint> offeredValues(ULONG flags, const PROPVARIANT& valid) {
  std::vector<jint> values;
  if (validValuesOf(flags, valid, &values) != kRange) return values;
  const jint least = values[WIA_RANGE_MIN], most = values[WIA_RANGE_MAX], step = values[WIA_RANGE_STEP];
  values.clear();
  for (long long value = least; value <= most && values.size() < kMostValues; value += step) {
    values.push_back(static_cast<jint>(value));
    if (step <= 0) break;
  }
  return values;
}

void appendCounted(std::vector<jint>* out, const std::vector<jint>& values) {
  out->push_back(static_cast<jint>(values.size()));
  out->insert(out->end(), values.begin(), values.end());
}

// Reads `count` properties of `item` (its storage given back at the end) into `values`;
// false after reporting the failure.
bool readItem(JNIEnv* env, IWiaItem* item, ComPtr<IWiaPropertyStorage>& storage, ULONG count,
              const PROPID* ids, PROPSPEC* specs, PROPVARIANT* values) {
  HRESULT hr = requireOut(item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()), storage, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // capabilities: no property storage
    return false;
  }
  for (ULONG i = 0; i < count; ++i) specs[i] = {PRSPEC_PROPID, {ids[i]}};
  hr = storage->ReadMultiple(count, specs, values);
  if (FAILED(hr)) {  // S_FALSE: none of them is there
    THROW_HRESULT(env, hr);  // capabilities: properties not read
    return false;
  }
  return true;
}

}  // namespace

jintArray readScannerCapabilities(JNIEnv* env, IWiaItem* root, IWiaItem* item) {
  std::vector<jint> layout;

  ComPtr<IWiaPropertyStorage> device;
  PROPSPEC rootSpecs[kRootCount];
  ReadValues<kRootCount> rootValues;
  if (!readItem(env, root, device, kRootCount, kRootProperties, rootSpecs, rootValues.data())) return nullptr;
  for (ULONG i = 0; i < kRootCount - kPageSides; ++i) layout.push_back(intOf(rootValues[i]));
  jint pageSizable = 0;
  if (rootValues[kRootCount - 2].vt != VT_EMPTY && rootValues[kRootCount - 1].vt != VT_EMPTY) {
    ULONG flags[kPageSides] = {};
    ReadValues<kPageSides> valid;
    const HRESULT hr = device->GetPropertyAttributes(kPageSides, rootSpecs + kRootCount - kPageSides, flags, valid.data());
    if (FAILED(hr)) {
      THROW_HRESULT(env, hr);  // capabilities: page size not described
      return nullptr;
    }
    pageSizable = (flags[0] & WIA_PROP_WRITE) && (flags[1] & WIA_PROP_WRITE) ? 1 : 0;
  }
  layout.push_back(pageSizable);

  // Valid values of the item's properties that are there (asking for one it lacks fails).
  ComPtr<IWiaPropertyStorage> storage;
  PROPSPEC itemSpecs[kItemCount];
  ReadValues<kItemCount> itemValues;
  if (!readItem(env, item, storage, kItemCount, kItemProperties, itemSpecs, itemValues.data())) return nullptr;
  PROPSPEC present[kItemCount];
  ULONG slotOf[kItemCount];
  ULONG presentCount = 0;
  for (ULONG i = 0; i < kItemCount; ++i) {
    slotOf[i] = itemValues[i].vt == VT_EMPTY ? kItemCount : presentCount;
    if (itemValues[i].vt != VT_EMPTY) present[presentCount++] = itemSpecs[i];
  }
  ULONG flags[kItemCount] = {};
  ReadValues<kItemCount> valid;
  if (presentCount > 0) {
    const HRESULT hr = storage->GetPropertyAttributes(presentCount, present, flags, valid.data());
    if (FAILED(hr)) {
      THROW_HRESULT(env, hr);  // capabilities: valid values not described
      return nullptr;
    }
  }
  const PROPVARIANT none = {};
  auto validOf = [&](ULONG i) -> const PROPVARIANT& { return slotOf[i] < kItemCount ? valid[slotOf[i]] : none; };
  auto flagsOf = [&](ULONG i) { return slotOf[i] < kItemCount ? flags[slotOf[i]] : 0; };

  layout.push_back(intOf(itemValues[0]));
  std::vector<jint> resolutions;
  layout.push_back(validValuesOf(flagsOf(0), validOf(0), &resolutions));
  appendCounted(&layout, resolutions);
  appendCounted(&layout, offeredValues(flagsOf(1), validOf(1)));
  appendCounted(&layout, offeredValues(flagsOf(2), validOf(2)));

  jintArray array = env->NewIntArray(static_cast<jsize>(layout.size()));
  if (!array) return nullptr;  // OutOfMemoryError pending
  env->SetIntArrayRegion(array, 0, static_cast<jsize>(layout.size()), layout.data());
  return array;
}
