// Renders the pictures of the virtual devices that the README shows: what the default
// scanner delivers for its whole bed at 75 dpi, and the default camera's first picture,
// both as JPEG. Usage: winsim_docs_pictures OUT_DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "winsim/control.h"
#include "winsim/devices.h"

namespace {

bool check(HRESULT hr, const char* what) {
  if (hr == S_OK) return true;
  std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
  return false;
}

bool setLong(IWiaPropertyStorage* storage, PROPID id, LONG number) {
  PROPSPEC propSpec{PRSPEC_PROPID, {id}};
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_I4;
  value.lVal = number;
  return check(storage->WriteMultiple(1, &propSpec, &value, WIA_IPA_FIRST), "WriteMultiple");
}

// Transfers the first child of a device as a JPEG file and copies it to `target`.
bool render(IWiaDevMgr* manager, const std::string& deviceId, LONG dpi, const std::string& target) {
  std::u16string wide = winsim::toUtf16(deviceId);
  BSTR id = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  IWiaItem* root = nullptr;
  IEnumWiaItem* children = nullptr;
  IWiaItem* item = nullptr;
  IWiaPropertyStorage* storage = nullptr;
  IWiaDataTransfer* data = nullptr;
  STGMEDIUM medium{};
  medium.tymed = TYMED_FILE;
  GUID jpeg = WiaImgFmt_JPEG;
  PROPSPEC pair[2] = {{PRSPEC_PROPID, {WIA_IPA_FORMAT}}, {PRSPEC_PROPID, {WIA_IPA_TYMED}}};
  PROPVARIANT values[2];
  PropVariantInit(&values[0]);
  PropVariantInit(&values[1]);
  values[0].vt = VT_CLSID;
  values[0].puuid = &jpeg;
  values[1].vt = VT_I4;
  values[1].lVal = TYMED_FILE;
  bool done = check(manager->CreateDevice(id, &root), "CreateDevice") &&
              check(root->EnumChildItems(&children), "EnumChildItems") &&
              check(children->Next(1, &item, nullptr), "Next") &&
              check(item->QueryInterface(IID_IWiaPropertyStorage, reinterpret_cast<void**>(&storage)),
                    "QueryInterface") &&
              check(storage->WriteMultiple(2, pair, values, WIA_IPA_FIRST), "WriteMultiple") &&
              (dpi == 0 || (setLong(storage, WIA_IPS_XRES, dpi) && setLong(storage, WIA_IPS_YRES, dpi))) &&
              check(storage->QueryInterface(IID_IWiaDataTransfer, reinterpret_cast<void**>(&data)),
                    "QueryInterface") &&
              check(data->idtGetData(&medium, nullptr), "idtGetData");
  if (done) {
    std::ifstream in(winsim::toUtf8(medium.lpszFileName), std::ios::binary);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    done = static_cast<bool>(out);
    if (!done) std::fprintf(stderr, "cannot write %s\n", target.c_str());
    ReleaseStgMedium(&medium);
  }
  for (IUnknown* object : {static_cast<IUnknown*>(data), static_cast<IUnknown*>(storage),
                           static_cast<IUnknown*>(item), static_cast<IUnknown*>(children),
                           static_cast<IUnknown*>(root)}) {
    if (object) object->Release();
  }
  SysFreeString(id);
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  CoInitialize(nullptr);
  winsim::setDevices(winsim::defaultDevices());
  IWiaDevMgr* manager = nullptr;
  if (!check(CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                              reinterpret_cast<void**>(&manager)),
             "CoCreateInstance")) {
    return 1;
  }
  std::vector<winsim::DeviceSpec> devices = winsim::defaultDevices();
  bool ok = render(manager, devices[0].id, 75, dir + "/virtual-scanner-75dpi.jpg") &&
            render(manager, devices[1].id, 0, dir + "/virtual-camera-picture.jpg");
  manager->Release();
  CoUninitialize();
  return ok ? 0 : 1;
}
