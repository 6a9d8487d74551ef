// Natives of kordin.vestaro.wia.WIAManager: the WIA device manager and device discovery.
//
// Handle lifetime: a registration in the interface table lives until the host gives its
// handle back through _release, which revokes it. The table's registration is the only
// reference the library keeps, so an object goes away once the host has released its handle
// and nobody else holds it; a host that polls for hours holds no growing set of objects.
#include "Handles.h"
#include "JniLocalRef.h"
#include "PropVariants.h"

namespace {

// The device record of a device information storage, read in one call.
constexpr ULONG kRecordSize = 4;
const PROPSPEC kRecord[kRecordSize] = {
    {PRSPEC_PROPID, {WIA_DIP_DEV_ID}},    // identifier given to CreateDevice
    {PRSPEC_PROPID, {WIA_DIP_DEV_NAME}},  // name offered to the host
    {PRSPEC_PROPID, {WIA_DIP_DEV_TYPE}},  // type offered to the host
    {PRSPEC_PROPID, {WIA_DIP_DEV_ID}},    // identifier offered to the host
};
const VARTYPE kRecordTypes[kRecordSize] = {VT_BSTR, VT_BSTR, VT_I4, VT_BSTR};

// How the poll goes on after a device: with the next one; with the next one after a failure
// of this device was reported (its exception is pending and must be held aside); or not at
// all, with an exception pending that ends the poll (the host's add threw, say).
enum class Next { Continue, ContinueAfterFailure, Stop };

// Revokes a registration that no host object holds; a failure is reported.
Next revoke(JNIEnv* env, DWORD cookie, Next otherwise) {
  const HRESULT hr = bindingCache.interfaceTable->RevokeInterfaceFromGlobal(cookie);
  if (hr == S_OK) return otherwise;
  THROW_HRESULT(env, hr);  // poll: refused device not revoked
  return otherwise == Next::Continue ? Next::ContinueAfterFailure : otherwise;
}

// Opens the device that `info` describes and offers it to the host. A record that cannot be
// read or has other types skips the device silently. A device that cannot be opened (it may
// have gone since the list was made) is reported and the poll goes on with the next one.
Next offerDevice(JNIEnv* env, jobject self, IWiaDevMgr* manager, IWiaPropertyStorage* info) {
  ReadValues<kRecordSize> record;
  const HRESULT read = info->ReadMultiple(kRecordSize, kRecord, record.data());
  if (FAILED(read)) return Next::Continue;  // S_FALSE still counts as a read
  for (ULONG i = 0; i < kRecordSize; ++i) {
    if (record[i].vt != kRecordTypes[i]) return Next::Continue;
  }

  ComPtr<IWiaItem> device;
  HRESULT hr = manager->CreateDevice(record[0].bstrVal, device.put());
  if (hr == S_OK && !device) hr = E_POINTER;
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // poll: device not created
    return Next::ContinueAfterFailure;
  }
  DWORD cookie = 0;
  IGlobalInterfaceTable* table = bindingCache.interfaceTable;
  if (!REGISTER_INTERFACE(env, table, device.get(), IID_IWiaItem, &cookie)) {  // poll: device not registered
    return Next::ContinueAfterFailure;
  }
  // The registration holds the device from here on; the creation reference is dropped.
  device.reset();

  LocalRef<jstring> id(env, bstrToJstring(env, record[3].bstrVal));
  LocalRef<jstring> name(env, id ? bstrToJstring(env, record[1].bstrVal) : nullptr);
  if (!name) return revoke(env, cookie, Next::Stop);  // the string's error is pending
  const jboolean kept = env->CallBooleanMethod(self, bindingCache.addMethod, name.get(),
                                               handleOfCookie(cookie), static_cast<jint>(record[2].lVal), id.get());
  // Only a plain true hands the device to the host; a refusal or a throwing add leaves it
  // with nobody, so its registration ends here.
  if (env->ExceptionCheck()) return revoke(env, cookie, Next::Stop);
  return kept ? Next::Continue : revoke(env, cookie, Next::Continue);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL Java_kordin_vestaro_wia_WIAManager__1initialize(JNIEnv* env, jobject) {
  CoInitialize(nullptr);
  IGlobalInterfaceTable* table = REQUIRE_INTERFACE_TABLE(env);
  if (!table) return 0;
  ComPtr<IWiaDevMgr> manager;
  HRESULT hr = CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                                manager.putVoid());
  if (hr == S_OK && !manager) hr = E_POINTER;
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // initialize: no manager
    return 0;
  }
  DWORD cookie = 0;
  if (!REGISTER_INTERFACE(env, table, manager.get(), IID_IWiaDevMgr, &cookie)) return 0;  // initialize: manager not registered
  // The registration keeps the manager alive; the creation reference goes with `manager`.
  return handleOfCookie(cookie);
}

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIAManager__1poll(JNIEnv* env, jobject self,
                                                                            jlong managerHandle) {
  CoInitialize(nullptr);
  ComPtr<IWiaDevMgr> manager;
  if (!LOOK_UP_HANDLE(env, managerHandle, IID_IWiaDevMgr, manager)) return;
  ComPtr<IEnumWIA_DEV_INFO> devices;
  HRESULT hr = manager->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put());
  if (hr == S_OK && !devices) hr = E_POINTER;
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // poll: no device list
    return;
  }
  // Devices arrive in the order WIA enumerates them; a success code other than S_OK from Next
  // ends the list. A device that fails is held aside while the others are offered, and the
  // first such failure is pending when the poll ends, later ones attached to it.
  HeldException held(env);
  for (;;) {
    ComPtr<IWiaPropertyStorage> info;
    hr = devices->Next(1, info.put(), nullptr);
    if (FAILED(hr)) {
      THROW_HRESULT(env, hr);  // poll: next device not fetched
      return;
    }
    if (hr != S_OK || !info) return;
    const Next next = offerDevice(env, self, manager.get(), info.get());
    if (next == Next::Stop) return;
    if (next == Next::ContinueAfterFailure) held.takePending();
  }
}

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIAManager__1release(JNIEnv* env, jobject,
                                                                               jlong managerHandle) {
  CoInitialize(nullptr);
  RELEASE_HANDLE(env, managerHandle, IID_IWiaDevMgr);
}
