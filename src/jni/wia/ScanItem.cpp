#include "ScanItem.h"

#include "Handles.h"
#include "NextElement.h"
#include "RequireOut.h"

bool lookUpScanItem(JNIEnv* env, jlong deviceHandle, ComPtr<IWiaItem>& root, ComPtr<IWiaItem>& item) {
  if (!LOOK_UP_HANDLE(env, deviceHandle, IID_IWiaItem, root)) return false;
  ComPtr<IEnumWiaItem> children;
  HRESULT hr = requireOut(root->EnumChildItems(children.put()), children);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // scan item: no item list
    return false;
  }
  hr = nextElement(children.get(), item);
  if (FAILED(hr)) {
    THROW_HRESULT(env, hr);  // scan item: not fetched
    return false;
  }
  if (hr != S_OK || !item) {
    item.reset();
    THROW_HRESULT(env, WIA_ERROR_INVALID_DRIVER_RESPONSE);  // scan item: the root has none
    return false;
  }
  return true;
}
