// The item transfer and the property listing. This file's name is the reporting position
// the host reads in the transfer's failures ("..\src\jni\wia\WIAUtils.cpp"), and the
// end-of-line labels beside its THROW_HRESULT statements ("// transfer: ...") are read by the
// tests to find the reported lines: keep both.
#include "WIAUtils.h"

#include "FailureReport.h"
#include "HostErrorStream.h"
#include "LocalRef.h"
#include "PropertyWrite.h"
#include "ReadValues.h"
#include "RequireOut.h"
#include "UniqueValue.h"
#include "WIALibrary.h"

namespace {

// The file formats a transfer asks for, in this order, with the extension the host is told.
// Spelled out with their documented values, as not every SDK's headers declare them.
const GUID kFormatJpeg = {0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const GUID kFormatBmp = {0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

jsize lengthOf(const WCHAR* text) {
  jsize length = 0;
  while (text[length]) ++length;
  return length;
}

}  // namespace

jstring writeFileFormat(IWiaPropertyStorage* storage, HRESULT* result) {
  *result = writeFileFormatPair(storage, kFormatJpeg);
  if (*result == S_OK) return bindingCache.jpgExtension;
  *result = writeFileFormatPair(storage, kFormatBmp);
  return *result == S_OK ? bindingCache.bmpExtension : nullptr;
}

void writeItemProperties(IWiaPropertyStorage* storage, ULONG count, const PROPSPEC* propSpecs,
                         const PROPVARIANT* propValues) {
  // One at a time, so that a refused one leaves the rest in force.
  if (propSpecs && propValues) {
    for (ULONG i = 0; i < count; ++i) {
      if (storage->WriteMultiple(1, &propSpecs[i], &propValues[i], WIA_IPA_FIRST) != S_OK &&
          bindingCache.debugEnabled) {
        debugPrintf("Failed to set property[%d] %d to %d", static_cast<int>(i),
                    static_cast<int>(propSpecs[i].propid), static_cast<int>(propValues[i].lVal));
      }
    }
  }
  if (bindingCache.debugEnabled) {
    debugPrintf("\nItem property storage:");
    dumpPropertyStorage(storage);
  }
}

JavaState deliverFile(JNIEnv* env, jobject deviceObject, const WCHAR* fileName, jstring extension) {
  // The path goes to the host as the UTF-16 text WIA returned. No callback with a string
  // that could not be made: its error is pending instead.
  LocalRef<jstring> path(env, env->NewString(reinterpret_cast<const jchar*>(fileName), lengthOf(fileName)));
  if (!path) return JavaState::ExceptionPending;
  jvalue arguments[2];
  arguments[0].l = path.get();
  arguments[1].l = extension;
  env->CallVoidMethodA(deviceObject, bindingCache.fireTransferDoneMethod, arguments);
  return env->ExceptionCheck() ? JavaState::ExceptionPending : JavaState::Clear;
}

JavaState transferItem(JNIEnv* env, jobject deviceObject, ComPtr<IWiaItem> item, ULONG count,
                       const PROPSPEC* propSpecs, const PROPVARIANT* propValues) {
  // `item` is released last, after the property storage and the data-transfer interface.
  if (!item) {
    THROW_HRESULT(env, E_POINTER);  // transfer: no item
    return JavaState::ExceptionPending;
  }
  ComPtr<IWiaPropertyStorage> storage;
  HRESULT hr = requireOut(item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()), storage, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: no property storage
    return JavaState::ExceptionPending;
  }

  // Only the second attempt's failure is reported.
  jstring extension = writeFileFormat(storage.get(), &hr);
  if (!extension) {
    THROW_HRESULT(env, hr);  // transfer: neither JPEG nor BMP
    return JavaState::ExceptionPending;
  }
  writeItemProperties(storage.get(), count, propSpecs, propValues);

  ComPtr<IWiaDataTransfer> transfer;
  hr = requireOut(storage->QueryInterface(IID_IWiaDataTransfer, transfer.putVoid()), transfer, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: no data transfer
    return JavaState::ExceptionPending;
  }
  // Released before the interfaces; that deletes the file.
  FileMedium medium;
  STGMEDIUM* slot = medium.put();
  slot->tymed = TYMED_FILE;
  hr = requireOut(transfer->idtGetData(slot, nullptr), slot->lpszFileName, E_UNEXPECTED);  // a file nobody can name
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: data not written
    return JavaState::ExceptionPending;
  }
  return deliverFile(env, deviceObject, medium.get().lpszFileName, extension);
}

void dumpPropertyStorage(IWiaPropertyStorage* storage) {
  if (!storage) return;
  ComPtr<IEnumSTATPROPSTG> entries;
  if (FAILED(storage->Enum(entries.put())) || !entries) return;
  for (;;) {
    STATPROPSTG entry{};
    ULONG fetched = 0;
    const HRESULT next = entries->Next(1, &entry, &fetched);
    TaskMemory<WCHAR> name(entry.lpwstrName);
    if (next != S_OK || fetched != 1) return;  // the end of the list, or a failure

    const PROPSPEC propSpec = {PRSPEC_PROPID, {entry.propid}};
    ReadValues<1> value;
    const HRESULT read = storage->ReadMultiple(1, &propSpec, value.data());
    const int id = static_cast<int>(entry.propid);
    if (read != S_OK) {
      debugPrintf("  %d - %ws - ERROR", id, entry.lpwstrName);
    } else if (value[0].vt == VT_BSTR) {
      debugPrintf("  %d - %ws - \"%ws\"", id, entry.lpwstrName, value[0].bstrVal);
    } else if (value[0].vt == VT_I4) {
      debugPrintf("  %d - %ws - 0x%lx (%ld)", id, entry.lpwstrName, value[0].lVal, value[0].lVal);
    } else {
      debugPrintf("  %d - %ws - <%s>", id, entry.lpwstrName, varTypeName(value[0].vt));
    }
  }
}

const char* varTypeName(VARTYPE vt) {
  // Codes 0 to 31 and 64 to 72; 15 has no name.
  static const char* const kBase[32] = {
      "EMPTY", "NULL",    "I2",      "I4",      "R4",     "R8",          "CY",     "DATE",
      "BSTR",  "DISPATCH", "ERROR",  "BOOL",    "VARIANT", "UNKNOWN",    "DECIMAL", nullptr,
      "I1",    "UI1",     "UI2",     "UI4",     "I8",     "UI8",         "INT",    "UINT",
      "VOID",  "HRESULT", "PTR",     "SAFEARRAY", "CARRAY", "USERDEFINED", "LPSTR", "LPWSTR"};
  static const char* const kStorage[9] = {"FILETIME",        "BLOB",          "STREAM",
                                          "STORAGE",         "STREAMED_OBJECT", "STORED_OBJECT",
                                          "BLOB_OBJECT",     "CF",            "CLSID"};
  const char* name = nullptr;
  if (vt < 32) {
    name = kBase[vt];
  } else if (vt >= 64 && vt < 64 + 9) {
    name = kStorage[vt - 64];
  }
  return name ? name : "unknown";
}
