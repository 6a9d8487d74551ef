// Renders the pictures of the virtual devices that the README shows: what the default
// scanner delivers for its whole bed at 75 dpi, and the default camera's first picture,
// both as JPEG. Usage: winsim_docs_pictures OUT_DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "ComPtr.h"
#include "PropertyWrite.h"
#include "UniqueValue.h"
#include "winsim/control.h"
#include "winsim/devices.h"

namespace {

bool check(HRESULT hr, const char* what) {
  if (hr == S_OK) return true;
  std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
  return false;
}

// Transfers the first child of a device as a JPEG file and copies it to `target`.
bool render(IWiaDevMgr* manager, const std::string& deviceId, LONG dpi, const std::string& target) {
  const std::u16string wide = winsim::toUtf16(deviceId);
  UniqueValue<BSTR, SysFreeString> id(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
  ComPtr<IWiaItem> root, item;
  ComPtr<IEnumWiaItem> children;
  ComPtr<IWiaPropertyStorage> storage;
  ComPtr<IWiaDataTransfer> data;
  FileMedium medium;  // deletes the file WIA wrote, before the interfaces go
  STGMEDIUM* slot = medium.put();
  slot->tymed = TYMED_FILE;
  const bool transferred =
      check(manager->CreateDevice(id.get(), root.put()), "CreateDevice") &&
      check(root->EnumChildItems(children.put()), "EnumChildItems") &&
      check(children->Next(1, item.put(), nullptr), "Next") &&
      check(item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()), "QueryInterface") &&
      check(writeFileFormatPair(storage.get(), WiaImgFmt_JPEG), "WriteMultiple") &&
      (dpi == 0 || (check(writeLongProperty(storage.get(), WIA_IPS_XRES, dpi), "WriteMultiple") &&
                    check(writeLongProperty(storage.get(), WIA_IPS_YRES, dpi), "WriteMultiple"))) &&
      check(storage->QueryInterface(IID_IWiaDataTransfer, data.putVoid()), "QueryInterface") &&
      check(data->idtGetData(slot, nullptr), "idtGetData");
  if (!transferred) return false;
  std::ifstream in(winsim::toUtf8(medium.get().lpszFileName), std::ios::binary);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  if (!out) std::fprintf(stderr, "cannot write %s\n", target.c_str());
  return static_cast<bool>(out);
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
  bool ok = false;
  {
    ComPtr<IWiaDevMgr> manager;
    if (!check(CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr, manager.putVoid()),
               "CoCreateInstance")) {
      return 1;
    }
    std::vector<winsim::DeviceSpec> devices = winsim::defaultDevices();
    ok = render(manager.get(), devices[0].id, 75, dir + "/virtual-scanner-75dpi.jpg") &&
         render(manager.get(), devices[1].id, 0, dir + "/virtual-camera-picture.jpg");
  }
  CoUninitialize();
  return ok ? 0 : 1;
}
