// Natives of kordin.vestaro.wia.WIAManager: the WIA device manager and device discovery.
//
// Handle lifetime: a registration in the interface table lives until the host gives its
// handle back through _release, which revokes it. The table's registration is the only
// reference the library keeps, so an object goes away once the host has released its handle
// and nobody else holds it; a host that polls for hours holds no growing set of objects.
#include "DeviceFailure.h"
#include "DeviceStrings.h"
#include "Handles.h"
#include "ReadValues.h"
#include "NextElement.h"
#include "RequireOut.h"

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

// Revokes a registration that no host object holds; a failure is reported. `stateIfRevoked`
// is how the poll goes on when the revocation succeeds; a failed one leaves its report
// pending besides.
JavaState revoke(JNIEnv* env, DWORD cookie, JavaState stateIfRevoked) {
  const HRESULT hr = bindingCache.interfaceTable->RevokeInterfaceFromGlobal(cookie);
  if (hr == S_OK) return stateIfRevoked;
  THROW_HRESULT(env, hr);  // poll: refused device not revoked
  return stateIfRevoked == JavaState::Clear ? JavaState::ExceptionPending : stateIfRevoked;
}

bool hasRecordTypes(const ReadValues<kRecordSize>& record) {
  for (ULONG i = 0; i < kRecordSize; ++i) {
    if (record[i].vt != kRecordTypes[i]) return false;
  }
  return true;
}

// Opens the device that `info` describes and offers it to the host. A device that cannot be
// offered is reported and the poll goes on with the next one: a record that cannot be read,
// one of other types (WIA_ERROR_INVALID_DRIVER_RESPONSE), a device that cannot be opened (it
// may have gone since the list was made) or registered. Each such report names the device
// as far as its record does, and gives ExceptionPending; a device the host holds is then
// known to be still listed. An exception that ends the poll (the host's add threw, say)
// gives OperationEnds.
JavaState offerDevice(JNIEnv* env, jobject self, IWiaDevMgr* manager, DWORD managerCookie, uint64_t poll,
                 IWiaPropertyStorage* info) {
  ReadValues<kRecordSize> record;
  const HRESULT read = info->ReadMultiple(kRecordSize, kRecord, record.data());
  if (FAILED(read)) {  // S_FALSE still counts as a read
    THROW_HRESULT(env, read);  // poll: device record not read
    return JavaState::ExceptionPending;
  }
  if (!hasRecordTypes(record)) {
    THROW_HRESULT(env, WIA_ERROR_INVALID_DRIVER_RESPONSE);  // poll: device record of other types
    nameFailedDevice(env, record[1], record[3]);
    return JavaState::ExceptionPending;
  }

  ComPtr<IWiaItem> device;
  const HRESULT hr = requireOut(manager->CreateDevice(record[0].bstrVal, device.put()), device);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // poll: device not created
    nameFailedDevice(env, record[1], record[3]);
    return JavaState::ExceptionPending;
  }
  DWORD cookie = 0;
  IGlobalInterfaceTable* table = bindingCache.interfaceTable;
  if (!REGISTER_INTERFACE(env, table, device.get(), IID_IWiaItem, &cookie)) {  // poll: device not registered
    nameFailedDevice(env, record[1], record[3]);
    return JavaState::ExceptionPending;
  }
  // The registration holds the device from here on; the creation reference is dropped.
  device.reset();

  LocalRef<jstring> id(env, nullptr);
  LocalRef<jstring> name(env, nullptr);
  if (!deviceStrings(env, managerCookie, poll, record[3].bstrVal, record[1].bstrVal, &id, &name)) {
    return revoke(env, cookie, JavaState::OperationEnds);  // the string's error is pending
  }
  jvalue arguments[4];
  arguments[0].l = name.get();
  arguments[1].j = handleOfCookie(cookie);
  arguments[2].i = static_cast<jint>(record[2].lVal);
  arguments[3].l = id.get();
  const jboolean kept = env->CallBooleanMethodA(self, bindingCache.addMethod, arguments);
  // Only a plain true hands the device to the host; a refusal or a throwing add leaves it
  // with nobody, so its registration ends here.
  if (env->ExceptionCheck()) return revoke(env, cookie, JavaState::OperationEnds);
  return kept ? JavaState::Clear : revoke(env, cookie, JavaState::Clear);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL Java_kordin_vestaro_wia_WIAManager__1initialize(JNIEnv* env, jobject) {
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  IGlobalInterfaceTable* table = REQUIRE_INTERFACE_TABLE(env);
  if (!table) return 0;
  ComPtr<IWiaDevMgr> manager;
  const HRESULT hr = requireOut(
      CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr, manager.putVoid()), manager);
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
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  ComPtr<IWiaDevMgr> manager;
  if (!LOOK_UP_HANDLE(env, managerHandle, IID_IWiaDevMgr, manager)) return;
  ComPtr<IEnumWIA_DEV_INFO> devices;
  HRESULT hr = requireOut(manager->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()), devices);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // poll: no device list
    return;
  }
  // Devices arrive in the order WIA enumerates them; a success code other than S_OK from Next
  // ends the list. A device that fails is held aside while the others are offered, and the
  // first such failure is pending when the poll ends, later ones attached to it: a poll that
  // reports nothing offered every device listed.
  HeldException held(env);
  const DWORD managerCookie = cookieOfHandle(managerHandle);
  const uint64_t poll = beginDevicePoll(managerCookie);
  for (;;) {
    ComPtr<IWiaPropertyStorage> info;
    hr = nextElement(devices.get(), info);
    if (FAILED(hr)) {
      THROW_HRESULT(env, hr);  // poll: next device not fetched
      return;
    }
    if (hr != S_OK || !info) break;
    const JavaState state = offerDevice(env, self, manager.get(), managerCookie, poll, info.get());
    if (state == JavaState::OperationEnds) return;
    if (state == JavaState::ExceptionPending) held.takePending();
  }
  endDevicePoll(env, managerCookie, poll);
}

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIAManager__1release(JNIEnv* env, jobject,
                                                                               jlong managerHandle) {
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  if (RELEASE_HANDLE(env, managerHandle, IID_IWiaDevMgr)) dropDeviceStrings(env, cookieOfHandle(managerHandle));
}
