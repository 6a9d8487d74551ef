// Writes of item properties as the library makes them: the pair that chooses a transfer's
// file (the format with the medium TYMED_FILE, which a driver checks together), and one
// 32-bit number. The tests, the benchmark and the tools that make the library's platform
// calls themselves write through these too, so that their calls stay the library's.
#pragma once

#include "Platform.h"

// WriteMultiple of WIA_IPA_FORMAT = `format` and WIA_IPA_TYMED = TYMED_FILE as one call.
inline HRESULT writeFileFormatPair(IWiaPropertyStorage* storage, const GUID& format) {
  const PROPSPEC specs[2] = {{PRSPEC_PROPID, {WIA_IPA_FORMAT}}, {PRSPEC_PROPID, {WIA_IPA_TYMED}}};
  PROPVARIANT pair[2];
  PropVariantInit(&pair[0]);
  PropVariantInit(&pair[1]);
  pair[0].vt = VT_CLSID;
  pair[0].puuid = const_cast<GUID*>(&format);  // only read
  pair[1].vt = VT_I4;
  pair[1].lVal = TYMED_FILE;
  return storage->WriteMultiple(2, specs, pair, WIA_IPA_FIRST);
}

// WriteMultiple of the one property `id` = `value` as VT_I4.
inline HRESULT writeLongProperty(IWiaPropertyStorage* storage, PROPID id, LONG value) {
  const PROPSPEC propSpec = {PRSPEC_PROPID, {id}};
  PROPVARIANT number;
  PropVariantInit(&number);
  number.vt = VT_I4;
  number.lVal = value;
  return storage->WriteMultiple(1, &propSpec, &number, WIA_IPA_FIRST);
}
