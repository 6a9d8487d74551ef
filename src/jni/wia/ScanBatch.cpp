#include "ScanBatch.h"

#include "FailureReport.h"
#include "ProgressCallback.h"
#include "ReadValues.h"
#include "RequireOut.h"
#include "UniqueValue.h"
#include "WIALibrary.h"
#include "WIAUtils.h"

void PropertyWrites::add(PROPID id, LONG value) {
  PROPSPEC propSpec;
  propSpec.ulKind = PRSPEC_PROPID;
  propSpec.propid = id;
  specs.push_back(propSpec);
  PROPVARIANT number;
  PropVariantInit(&number);
  number.vt = VT_I4;
  number.lVal = value;
  values.push_back(number);
}

namespace {

// Whether the root's document handling selects the feeder, read after the root's writes; a
// scanner without the property is a flatbed.
HRESULT feederSelected(IWiaPropertyStorage* device, bool* feeder) {
  const PROPSPEC select = {PRSPEC_PROPID, {WIA_DPS_DOCUMENT_HANDLING_SELECT}};
  ReadValues<1> value;
  const HRESULT hr = device->ReadMultiple(1, &select, value.data());
  *feeder = SUCCEEDED(hr) && value[0].vt == VT_I4 && (value[0].lVal & FEEDER) != 0;
  return hr;
}

// Throws what the host's scanProgress threw, if it did: the first failure of the batch, with
// whatever was reported after it attached. True when it threw.
bool throwHostFailure(JNIEnv* env, ProgressCallback* progress) {
  if (!progress->throwHostFailure(env)) return false;
  if (!env->ExceptionCheck()) THROW_HRESULT(env, E_OUTOFMEMORY);  // scan pages: the host's exception could not be kept
  return true;
}

// The pages of a batch through `transfer`, up to `limit` (0: until the feeder runs out).
jint scanPages(JNIEnv* env, jobject scanner, IWiaDataTransfer* transfer, jstring extension, jint limit,
               ProgressCallback* progress) {
  jint delivered = 0;
  for (jint number = 1; limit == 0 || number <= limit; ++number) {
    if (!progress->beginPage(env, number)) break;  // cancelled, or the host threw
    HRESULT result = S_OK;
    bool arrived = false;
    JavaState delivery = JavaState::Clear;
    {
      FileMedium medium;  // released at the end of the page: that deletes its file
      STGMEDIUM* slot = medium.put();
      slot->tymed = TYMED_FILE;
      result = transfer->idtGetData(slot, progress);
      // A success code with a file is a page that arrived, a page the driver finished after
      // the host asked to cancel included; S_FALSE is a cancelled page.
      arrived = SUCCEEDED(result) && result != S_FALSE && slot->lpszFileName;
      if (arrived) delivery = deliverFile(env, scanner, slot->lpszFileName, extension);
    }
    if (arrived) ++delivered;
    if (throwHostFailure(env, progress) || delivery != JavaState::Clear) {
      if (FAILED(result)) THROW_HRESULT(env, result);  // scan pages: the page's own failure, after the host's
      return 0;
    }
    if (result == S_OK) {
      if (!arrived) {
        THROW_HRESULT(env, E_UNEXPECTED);  // scan pages: a page without a file
        return 0;
      }
      if (progress->cancelled()) break;
      continue;
    }
    if (result == S_FALSE) break;  // cancelled
    if (result == WIA_ERROR_PAPER_EMPTY || result == WIA_STATUS_END_OF_MEDIA) {
      return static_cast<jint>(delivered > 0 ? BatchOutcome::Completed : BatchOutcome::FeederEmpty);
    }
    THROW_HRESULT(env, result);  // scan pages: page failed
    return 0;
  }
  if (throwHostFailure(env, progress)) return 0;
  return static_cast<jint>(progress->cancelled() ? BatchOutcome::Cancelled : BatchOutcome::Completed);
}

}  // namespace

jint scanPageBatch(JNIEnv* env, jobject scanner, IWiaItem* root, ComPtr<IWiaItem> item,
                   const PropertyWrites& rootWrites, const PropertyWrites& itemWrites, jint maxPages) {
  ComPtr<IWiaPropertyStorage> device;
  HRESULT hr = requireOut(root->QueryInterface(IID_IWiaPropertyStorage, device.putVoid()), device, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // scan pages: no root storage
    return 0;
  }
  // What the user asked the device for: scanning another source or count instead would
  // be silent, so a refusal ends the batch before it begins.
  for (ULONG i = 0; i < rootWrites.size(); ++i) {
    hr = device->WriteMultiple(1, &rootWrites.specs[i], &rootWrites.values[i], WIA_IPA_FIRST);
    if (hr != S_OK) {
      THROW_HRESULT(env, hr);  // scan pages: root write refused
      return 0;
    }
  }
  bool feeder = false;
  hr = feederSelected(device.get(), &feeder);
  if (FAILED(hr)) {
    THROW_HRESULT(env, hr);  // scan pages: document handling not read
    return 0;
  }

  ComPtr<IWiaPropertyStorage> storage;
  hr = requireOut(item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()), storage, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // scan pages: no item storage
    return 0;
  }
  const jstring extension = writeFileFormat(storage.get(), &hr);
  if (!extension) {
    THROW_HRESULT(env, hr);  // scan pages: neither JPEG nor BMP
    return 0;
  }
  writeItemProperties(storage.get(), itemWrites.size(), itemWrites.specs.data(), itemWrites.values.data());
  ComPtr<IWiaDataTransfer> transfer;
  hr = requireOut(storage->QueryInterface(IID_IWiaDataTransfer, transfer.putVoid()), transfer, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // scan pages: no data transfer
    return 0;
  }
  ComPtr<ProgressCallback> progress(ProgressCallback::create(env, scanner, scanProgressMethod(env)));
  if (!progress) return 0;

  const jint outcome = scanPages(env, scanner, transfer.get(), extension, feeder ? maxPages : 1, progress.get());
  progress->close();  // a message that comes after the batch asks the host nothing
  return outcome;
}
