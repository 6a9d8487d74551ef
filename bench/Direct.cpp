#include "Direct.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <winsim/control.h>

#include "ComPtr.h"
#include "PropertyWrite.h"
#include "ReadValues.h"
#include "UniqueValue.h"

namespace bench::direct {
namespace {

[[noreturn]] void fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
  std::exit(1);
}

void require(HRESULT hr, const char* what) {
  if (hr != S_OK) fail(what, hr);
}

const PROPSPEC kRecord[4] = {
    {PRSPEC_PROPID, {WIA_DIP_DEV_ID}},
    {PRSPEC_PROPID, {WIA_DIP_DEV_NAME}},
    {PRSPEC_PROPID, {WIA_DIP_DEV_TYPE}},
    {PRSPEC_PROPID, {WIA_DIP_DEV_ID}},
};

template <typename T>
ComPtr<T> lookUp(const Session& session, DWORD cookie, REFIID iid) {
  ComPtr<T> object;
  require(session.table->GetInterfaceFromGlobal(cookie, iid, object.putVoid()), "GetInterfaceFromGlobal");
  return object;
}

// `object`'s property storage or data-transfer interface.
template <typename T>
ComPtr<T> query(IUnknown* object, REFIID iid, const char* what) {
  ComPtr<T> result;
  require(object->QueryInterface(iid, result.putVoid()), what);
  return result;
}

// One idtGetData into a file; the medium deletes the file when it goes.
HRESULT getFile(IWiaDataTransfer* transfer, FileMedium& medium, IWiaDataCallback* callback) {
  STGMEDIUM* slot = medium.put();
  slot->tymed = TYMED_FILE;
  return transfer->idtGetData(slot, callback);
}

// Transfers `item` into a file and hands its path to `use`; releases everything it took.
template <typename Use>
void transferItem(ComPtr<IWiaItem> item, const GUID& format, const PROPSPEC* specs, const PROPVARIANT* values,
                  ULONG count, Use use) {
  auto storage = query<IWiaPropertyStorage>(item.get(), IID_IWiaPropertyStorage, "QueryInterface storage");
  require(writeFileFormatPair(storage.get(), format), "WriteMultiple format");
  for (ULONG i = 0; i < count; ++i) storage->WriteMultiple(1, &specs[i], &values[i], WIA_IPA_FIRST);
  auto transfer = query<IWiaDataTransfer>(storage.get(), IID_IWiaDataTransfer, "QueryInterface transfer");
  FileMedium medium;
  require(getFile(transfer.get(), medium, nullptr), "idtGetData");
  use(winsim::toUtf8(medium.get().lpszFileName));
}

// The scanner's first item; the enumerator is given back.
ComPtr<IWiaItem> scanItemOf(IWiaItem* root) {
  ComPtr<IEnumWiaItem> children;
  require(root->EnumChildItems(children.put()), "EnumChildItems");
  ComPtr<IWiaItem> item;
  ULONG fetched = 0;
  require(children->Next(1, item.put(), &fetched), "Next");
  return item;
}

// The host's share of the progress as plainly as C++ can take it: each message answered
// "go on". Lives as long as the process.
class GoOn final : public IWiaDataCallback {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG, LONG, LONG, LONG, LONG, LONG, LONG, BYTE*) override {
    return S_OK;
  }
};

}  // namespace

Session open() {
  Session session;
  CoInitialize(nullptr);
  require(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IGlobalInterfaceTable, session.table.putVoid()),
          "CoCreateInstance table");
  ComPtr<IWiaDevMgr> manager;
  require(CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr, manager.putVoid()),
          "CoCreateInstance manager");
  require(session.table->RegisterInterfaceInGlobal(manager.get(), IID_IWiaDevMgr, &session.managerCookie),
          "RegisterInterfaceInGlobal");
  return session;
}

void close(Session& session) {
  CoInitialize(nullptr);
  lookUp<IUnknown>(session, session.managerCookie, IID_IWiaDevMgr).reset();
  session.table->RevokeInterfaceFromGlobal(session.managerCookie);
  session = Session{};
}

// One poll; `take` decides whether the first device stays registered, and its cookie.
static DWORD pollDevices(const Session& session, bool takeFirst) {
  CoInitialize(nullptr);
  auto manager = lookUp<IWiaDevMgr>(session, session.managerCookie, IID_IWiaDevMgr);
  ComPtr<IEnumWIA_DEV_INFO> devices;
  require(manager->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()), "EnumDeviceInfo");
  DWORD taken = 0;
  for (;;) {
    ComPtr<IWiaPropertyStorage> info;
    ULONG fetched = 0;
    if (devices->Next(1, info.put(), &fetched) != S_OK || !info) break;
    ReadValues<4> record;
    require(info->ReadMultiple(4, kRecord, record.data()), "ReadMultiple");
    ComPtr<IWiaItem> device;
    require(manager->CreateDevice(record[0].bstrVal, device.put()), "CreateDevice");
    DWORD cookie = 0;
    require(session.table->RegisterInterfaceInGlobal(device.get(), IID_IWiaItem, &cookie),
            "RegisterInterfaceInGlobal");
    device.reset();
    // The host's share: it sees the name, type and id, and takes the device or not.
    volatile LONG type = record[2].lVal;
    (void)type;
    if (takeFirst && !taken) {
      taken = cookie;
    } else {
      session.table->RevokeInterfaceFromGlobal(cookie);
    }
  }
  return taken;
}

void poll(const Session& session) { pollDevices(session, false); }

DWORD takeFirstDevice(const Session& session) { return pollDevices(session, true); }

void releaseDevice(const Session& session, DWORD deviceCookie) {
  CoInitialize(nullptr);
  lookUp<IUnknown>(session, deviceCookie, IID_IWiaItem).reset();
  session.table->RevokeInterfaceFromGlobal(deviceCookie);
}

int cameraTransfer(const Session& session, DWORD deviceCookie) {
  CoInitialize(nullptr);
  auto root = lookUp<IWiaItem>(session, deviceCookie, IID_IWiaItem);
  ComPtr<IEnumWiaItem> children;
  require(root->EnumChildItems(children.put()), "EnumChildItems");
  int pictures = 0;
  for (;;) {
    ComPtr<IWiaItem> child;
    ULONG fetched = 0;
    if (children->Next(1, child.put(), &fetched) != S_OK) break;
    transferItem(std::move(child), WiaImgFmt_JPEG, nullptr, nullptr, 0, [&](const std::string& path) {
      struct stat file {};
      if (::stat(path.c_str(), &file) == 0) ++pictures;
    });
  }
  return pictures;
}

int feederBatch(const Session& session, DWORD deviceCookie, int pages, LONG dpi) {
  static GoOn goOn;
  CoInitialize(nullptr);
  auto root = lookUp<IWiaItem>(session, deviceCookie, IID_IWiaItem);
  ComPtr<IWiaItem> item = scanItemOf(root.get());
  auto device = query<IWiaPropertyStorage>(root.get(), IID_IWiaPropertyStorage, "QueryInterface root");
  writeLongProperty(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER);
  writeLongProperty(device.get(), WIA_DPS_PAGES, ALL_PAGES);
  const PROPSPEC select = {PRSPEC_PROPID, {WIA_DPS_DOCUMENT_HANDLING_SELECT}};
  ReadValues<1> selected;
  require(device->ReadMultiple(1, &select, selected.data()), "ReadMultiple");
  auto storage = query<IWiaPropertyStorage>(item.get(), IID_IWiaPropertyStorage, "QueryInterface item");
  require(writeFileFormatPair(storage.get(), WiaImgFmt_JPEG), "WriteMultiple format");
  writeLongProperty(storage.get(), WIA_IPS_XRES, dpi);
  writeLongProperty(storage.get(), WIA_IPS_YRES, dpi);
  auto transfer = query<IWiaDataTransfer>(storage.get(), IID_IWiaDataTransfer, "QueryInterface transfer");
  int delivered = 0;
  for (int page = 0; page < pages; ++page) {
    FileMedium medium;
    if (getFile(transfer.get(), medium, &goOn) != S_OK) break;
    struct stat file {};
    if (::stat(winsim::toUtf8(medium.get().lpszFileName).c_str(), &file) == 0) ++delivered;
  }
  return delivered;
}

std::vector<uint8_t> scanPixels(const Session& session, DWORD deviceCookie, LONG dpi, LONG width,
                                LONG height) {
  CoInitialize(nullptr);
  auto root = lookUp<IWiaItem>(session, deviceCookie, IID_IWiaItem);
  ComPtr<IWiaItem> flatbed = scanItemOf(root.get());
  const PROPID ids[] = {WIA_IPS_XRES, WIA_IPS_YRES, WIA_IPA_DATATYPE, WIA_IPA_DEPTH,
                        WIA_IPS_XPOS, WIA_IPS_YPOS, WIA_IPS_XEXTENT, WIA_IPS_YEXTENT};
  const LONG numbers[] = {dpi, dpi, WIA_DATA_COLOR, 24, 0, 0, width, height};
  PROPSPEC specs[std::size(ids)];
  PROPVARIANT values[std::size(ids)];
  for (size_t i = 0; i < std::size(ids); ++i) {
    specs[i] = {PRSPEC_PROPID, {ids[i]}};
    PropVariantInit(&values[i]);
    values[i].vt = VT_I4;
    values[i].lVal = numbers[i];
  }
  std::vector<uint8_t> rgb;
  transferItem(std::move(flatbed), WiaImgFmt_BMP, specs, values, static_cast<ULONG>(std::size(ids)),
               [&](const std::string& path) {
                 std::ifstream file(path, std::ios::binary);
                 std::vector<uint8_t> bmp((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
                 const uint32_t offset = bmp[10] | bmp[11] << 8 | bmp[12] << 16 | uint32_t(bmp[13]) << 24;
                 const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
                 rgb.resize(static_cast<size_t>(width) * height * 3);
                 for (LONG y = 0; y < height; ++y) {
                   const uint8_t* line = &bmp[offset + stride * static_cast<size_t>(height - 1 - y)];
                   uint8_t* out = &rgb[static_cast<size_t>(y) * width * 3];
                   for (LONG x = 0; x < width; ++x) {
                     out[3 * x] = line[3 * x + 2];
                     out[3 * x + 1] = line[3 * x + 1];
                     out[3 * x + 2] = line[3 * x];
                   }
                 }
               });
  return rgb;
}

}  // namespace bench::direct
