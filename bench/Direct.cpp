#include "Direct.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <winsim/control.h>

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
T* lookUp(const Session& session, DWORD cookie, REFIID iid) {
  T* object = nullptr;
  require(session.table->GetInterfaceFromGlobal(cookie, iid, reinterpret_cast<void**>(&object)),
          "GetInterfaceFromGlobal");
  return object;
}

// Writes the file format and medium as one pair, as the library's transfer does.
void setFileFormat(IWiaPropertyStorage* storage, const GUID& format) {
  const PROPSPEC specs[2] = {{PRSPEC_PROPID, {WIA_IPA_FORMAT}}, {PRSPEC_PROPID, {WIA_IPA_TYMED}}};
  PROPVARIANT pair[2];
  PropVariantInit(&pair[0]);
  PropVariantInit(&pair[1]);
  pair[0].vt = VT_CLSID;
  pair[0].puuid = const_cast<GUID*>(&format);
  pair[1].vt = VT_I4;
  pair[1].lVal = TYMED_FILE;
  require(storage->WriteMultiple(2, specs, pair, WIA_IPA_FIRST), "WriteMultiple format");
}

// Transfers `item` into a file and hands its path to `use`; releases everything it took.
template <typename Use>
void transferItem(IWiaItem* item, const GUID& format, const PROPSPEC* specs, const PROPVARIANT* values,
                  ULONG count, Use use) {
  IWiaPropertyStorage* storage = nullptr;
  require(item->QueryInterface(IID_IWiaPropertyStorage, reinterpret_cast<void**>(&storage)),
          "QueryInterface storage");
  setFileFormat(storage, format);
  for (ULONG i = 0; i < count; ++i) storage->WriteMultiple(1, &specs[i], &values[i], WIA_IPA_FIRST);
  IWiaDataTransfer* transfer = nullptr;
  require(storage->QueryInterface(IID_IWiaDataTransfer, reinterpret_cast<void**>(&transfer)),
          "QueryInterface transfer");
  STGMEDIUM medium{};
  medium.tymed = TYMED_FILE;
  require(transfer->idtGetData(&medium, nullptr), "idtGetData");
  use(winsim::toUtf8(medium.lpszFileName));
  ReleaseStgMedium(&medium);
  transfer->Release();
  storage->Release();
  item->Release();
}

// The scanner's first item; the enumerator is given back.
IWiaItem* scanItemOf(IWiaItem* root) {
  IEnumWiaItem* children = nullptr;
  require(root->EnumChildItems(&children), "EnumChildItems");
  IWiaItem* item = nullptr;
  ULONG fetched = 0;
  require(children->Next(1, &item, &fetched), "Next");
  children->Release();
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

void writeNumber(IWiaPropertyStorage* storage, PROPID id, LONG value) {
  const PROPSPEC spec = {PRSPEC_PROPID, {id}};
  PROPVARIANT number;
  PropVariantInit(&number);
  number.vt = VT_I4;
  number.lVal = value;
  storage->WriteMultiple(1, &spec, &number, WIA_IPA_FIRST);
}

}  // namespace

Session open() {
  Session session;
  CoInitialize(nullptr);
  require(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&session.table)),
          "CoCreateInstance table");
  IWiaDevMgr* manager = nullptr;
  require(CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                           reinterpret_cast<void**>(&manager)),
          "CoCreateInstance manager");
  require(session.table->RegisterInterfaceInGlobal(manager, IID_IWiaDevMgr, &session.managerCookie),
          "RegisterInterfaceInGlobal");
  manager->Release();
  return session;
}

void close(Session& session) {
  CoInitialize(nullptr);
  IUnknown* registered = lookUp<IUnknown>(session, session.managerCookie, IID_IWiaDevMgr);
  registered->Release();
  session.table->RevokeInterfaceFromGlobal(session.managerCookie);
  session.table->Release();
  session = Session{};
}

// One poll; `take` decides whether the first device stays registered, and its cookie.
static DWORD pollDevices(const Session& session, bool takeFirst) {
  CoInitialize(nullptr);
  IWiaDevMgr* manager = lookUp<IWiaDevMgr>(session, session.managerCookie, IID_IWiaDevMgr);
  IEnumWIA_DEV_INFO* devices = nullptr;
  require(manager->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, &devices), "EnumDeviceInfo");
  DWORD taken = 0;
  for (;;) {
    IWiaPropertyStorage* info = nullptr;
    ULONG fetched = 0;
    if (devices->Next(1, &info, &fetched) != S_OK || !info) break;
    PROPVARIANT record[4];
    for (PROPVARIANT& value : record) PropVariantInit(&value);
    require(info->ReadMultiple(4, kRecord, record), "ReadMultiple");
    IWiaItem* device = nullptr;
    require(manager->CreateDevice(record[0].bstrVal, &device), "CreateDevice");
    DWORD cookie = 0;
    require(session.table->RegisterInterfaceInGlobal(device, IID_IWiaItem, &cookie), "RegisterInterfaceInGlobal");
    device->Release();
    // The host's share: it sees the name, type and id, and takes the device or not.
    volatile LONG type = record[2].lVal;
    (void)type;
    if (takeFirst && !taken) {
      taken = cookie;
    } else {
      session.table->RevokeInterfaceFromGlobal(cookie);
    }
    FreePropVariantArray(4, record);
    info->Release();
  }
  devices->Release();
  manager->Release();
  return taken;
}

void poll(const Session& session) { pollDevices(session, false); }

DWORD takeFirstDevice(const Session& session) { return pollDevices(session, true); }

void releaseDevice(const Session& session, DWORD deviceCookie) {
  CoInitialize(nullptr);
  IUnknown* registered = lookUp<IUnknown>(session, deviceCookie, IID_IWiaItem);
  registered->Release();
  session.table->RevokeInterfaceFromGlobal(deviceCookie);
}

int cameraTransfer(const Session& session, DWORD deviceCookie) {
  CoInitialize(nullptr);
  IWiaItem* root = lookUp<IWiaItem>(session, deviceCookie, IID_IWiaItem);
  IEnumWiaItem* children = nullptr;
  require(root->EnumChildItems(&children), "EnumChildItems");
  int pictures = 0;
  for (;;) {
    IWiaItem* child = nullptr;
    ULONG fetched = 0;
    if (children->Next(1, &child, &fetched) != S_OK) {
      if (child) child->Release();
      break;
    }
    transferItem(child, WiaImgFmt_JPEG, nullptr, nullptr, 0, [&](const std::string& path) {
      struct stat file {};
      if (::stat(path.c_str(), &file) == 0) ++pictures;
    });
  }
  children->Release();
  root->Release();
  return pictures;
}

int feederBatch(const Session& session, DWORD deviceCookie, int pages, LONG dpi) {
  static GoOn goOn;
  CoInitialize(nullptr);
  IWiaItem* root = lookUp<IWiaItem>(session, deviceCookie, IID_IWiaItem);
  IWiaItem* item = scanItemOf(root);
  IWiaPropertyStorage* device = nullptr;
  require(root->QueryInterface(IID_IWiaPropertyStorage, reinterpret_cast<void**>(&device)), "QueryInterface root");
  writeNumber(device, WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER);
  writeNumber(device, WIA_DPS_PAGES, ALL_PAGES);
  const PROPSPEC select = {PRSPEC_PROPID, {WIA_DPS_DOCUMENT_HANDLING_SELECT}};
  PROPVARIANT selected;
  PropVariantInit(&selected);
  require(device->ReadMultiple(1, &select, &selected), "ReadMultiple");
  IWiaPropertyStorage* storage = nullptr;
  require(item->QueryInterface(IID_IWiaPropertyStorage, reinterpret_cast<void**>(&storage)), "QueryInterface item");
  setFileFormat(storage, WiaImgFmt_JPEG);
  writeNumber(storage, WIA_IPS_XRES, dpi);
  writeNumber(storage, WIA_IPS_YRES, dpi);
  IWiaDataTransfer* transfer = nullptr;
  require(storage->QueryInterface(IID_IWiaDataTransfer, reinterpret_cast<void**>(&transfer)),
          "QueryInterface transfer");
  int delivered = 0;
  for (int page = 0; page < pages; ++page) {
    STGMEDIUM medium{};
    medium.tymed = TYMED_FILE;
    if (transfer->idtGetData(&medium, &goOn) != S_OK) break;
    struct stat file {};
    if (::stat(winsim::toUtf8(medium.lpszFileName).c_str(), &file) == 0) ++delivered;
    ReleaseStgMedium(&medium);
  }
  transfer->Release();
  storage->Release();
  device->Release();
  item->Release();
  root->Release();
  return delivered;
}

std::vector<uint8_t> scanPixels(const Session& session, DWORD deviceCookie, LONG dpi, LONG width,
                                LONG height) {
  CoInitialize(nullptr);
  IWiaItem* root = lookUp<IWiaItem>(session, deviceCookie, IID_IWiaItem);
  IWiaItem* flatbed = scanItemOf(root);
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
  transferItem(flatbed, WiaImgFmt_BMP, specs, values, static_cast<ULONG>(std::size(ids)),
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
  root->Release();
  return rgb;
}

}  // namespace bench::direct
