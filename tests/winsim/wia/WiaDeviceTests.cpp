// Discovery and opening of virtual devices, and the reference balance of a whole session.
#include <thread>

#include "WiaTestSupport.h"

namespace wiatest {
namespace {

const PROPSPEC kRecord[4] = {{PRSPEC_PROPID, {WIA_DIP_DEV_ID}},
                             {PRSPEC_PROPID, {WIA_DIP_DEV_NAME}},
                             {PRSPEC_PROPID, {WIA_DIP_DEV_TYPE}},
                             {PRSPEC_PROPID, {WIA_DIP_DEV_ID}}};

struct Record {
  HRESULT read = E_FAIL;
  VARTYPE types[4] = {};
  std::string id, name;
  LONG type = 0;
};

// What the library reads of each device, in enumeration order.
std::vector<Record> poll() {
  std::vector<Record> records;
  ComPtr<IEnumWIA_DEV_INFO> devices;
  EXPECT_EQ(S_OK, manager()->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()));
  ComPtr<IWiaPropertyStorage> info;
  while (devices->Next(1, info.put(), nullptr) == S_OK) {
    Record record;
    PROPVARIANT values[4];
    record.read = info->ReadMultiple(4, kRecord, values);
    if (SUCCEEDED(record.read)) {
      for (int i = 0; i < 4; ++i) record.types[i] = values[i].vt;
      if (values[0].vt == VT_BSTR) record.id = winsim::toUtf8(values[0].bstrVal);
      if (values[1].vt == VT_BSTR) record.name = winsim::toUtf8(values[1].bstrVal);
      if (values[2].vt == VT_I4) record.type = values[2].lVal;
      FreePropVariantArray(4, values);
    }
    records.push_back(record);
  }
  return records;
}

using DeviceTest = WiaTest;

TEST_F(DeviceTest, DefaultSetHasAScannerAndACameraWithTheDocumentedRecord) {
  std::vector<Record> records = poll();
  ASSERT_EQ(2u, records.size());
  for (const auto& record : records) {
    EXPECT_EQ(S_OK, record.read);
    EXPECT_EQ(VT_BSTR, record.types[0]);
    EXPECT_EQ(VT_BSTR, record.types[1]);
    EXPECT_EQ(VT_I4, record.types[2]);
    EXPECT_EQ(VT_BSTR, record.types[3]);
  }
  EXPECT_EQ(kScannerId, records[0].id);
  EXPECT_EQ(StiDeviceTypeScanner, records[0].type >> 16);
  EXPECT_EQ(kCameraId, records[1].id);
  EXPECT_EQ(StiDeviceTypeDigitalCamera, records[1].type >> 16);
}

TEST_F(DeviceTest, MissingMistypedAndForeignNamesReadAsTheDeviceReportsThem) {
  winsim::DeviceSpec missing, mistyped, foreign, unnamed;
  missing.id = "a\\0000";
  missing.info = {{WIA_DIP_DEV_NAME, winsim::PropertyValue::missing()}};
  mistyped.id = "b\\0001";
  mistyped.info = {{WIA_DIP_DEV_NAME, winsim::PropertyValue::i4(42)}};
  foreign.id = "c\\0002";
  foreign.name = "Scanner f\xC3\xBCr B\xC3\xBCro \xE2\x80\x93 \xE6\x89\xAB\xE6\x8F\x8F";
  unnamed.id = "d\\0003";
  unnamed.name = "No friendly name";
  winsim::setDevices({missing, mistyped, foreign, unnamed});

  std::vector<Record> records = poll();
  ASSERT_EQ(4u, records.size());
  EXPECT_EQ(S_OK, records[0].read);  // the other three properties exist
  EXPECT_EQ(VT_EMPTY, records[0].types[1]);
  EXPECT_EQ(VT_I4, records[1].types[1]);
  EXPECT_EQ(foreign.name, records[2].name);
  EXPECT_EQ("No friendly name", records[3].name);

  // The enumeration of the storage no longer lists the missing property.
  ComPtr<IEnumWIA_DEV_INFO> devices;
  ComPtr<IWiaPropertyStorage> info;
  ASSERT_EQ(S_OK, manager()->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()));
  ASSERT_EQ(S_OK, devices->Next(1, info.put(), nullptr));
  PROPVARIANT value;
  EXPECT_EQ(S_FALSE, read(info.get(), WIA_DIP_DEV_NAME, &value));  // nothing requested exists
  EXPECT_EQ(VT_EMPTY, value.vt);
  ComPtr<IEnumSTATPROPSTG> listing;
  ASSERT_EQ(S_OK, info->Enum(listing.put()));
  STATPROPSTG entry;
  ULONG fetched = 0;
  while (listing->Next(1, &entry, &fetched) == S_OK) {
    EXPECT_NE(static_cast<PROPID>(WIA_DIP_DEV_NAME), entry.propid);
    CoTaskMemFree(entry.lpwstrName);
  }
}

TEST_F(DeviceTest, UnknownAndVanishedDevicesCannotBeOpened) {
  winsim::DeviceSpec gone;
  gone.id = "gone\\0000";
  gone.vanishes = true;
  winsim::setDevices({gone});
  ASSERT_EQ(1u, poll().size());  // still listed

  auto devices = manager();
  for (const char16_t* id : {u"gone\\0000", u"no such device"}) {
    BSTR name = SysAllocString(id);
    IWiaItem* root = reinterpret_cast<IWiaItem*>(0x1);
    EXPECT_EQ(WIA_S_NO_DEVICE_AVAILABLE, devices->CreateDevice(name, &root));
    EXPECT_EQ(nullptr, root);
    SysFreeString(name);
  }
}

TEST_F(DeviceTest, CallsFromAThreadOutsideComFailWithoutEffect) {
  auto root = openDevice(kScannerId);
  IWiaItem* raw = root.get();
  HRESULT result = S_OK;
  IEnumWiaItem* children = nullptr;
  std::thread([&] { result = raw->EnumChildItems(&children); }).join();
  EXPECT_EQ(CO_E_NOTINITIALIZED, result);
  EXPECT_EQ(nullptr, children);
}

TEST_F(DeviceTest, CameraListsItsPicturesAndAnswersOnlyForItsRoot) {
  auto root = openDevice(kCameraId);
  ComPtr<IEnumWiaItem> children;
  ASSERT_EQ(S_OK, root->EnumChildItems(children.put()));
  ULONG count = 0;
  EXPECT_EQ(S_OK, children->GetCount(&count));
  EXPECT_EQ(3u, count);
  IWiaItem* batch[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, children->Next(4, batch, &fetched));  // fewer than asked
  ASSERT_EQ(3u, fetched);
  auto first = storageOf(batch[0]);
  EXPECT_EQ("IMG_0001", readText(first.get(), WIA_IPA_ITEM_NAME));
  EXPECT_EQ(winsim::fullItemName(kCameraId, "IMG_0001"), readText(first.get(), WIA_IPA_FULL_ITEM_NAME));
  EXPECT_EQ("0001\\Root\\IMG_0001", winsim::fullItemName(kCameraId, "IMG_0001"));
  // Pictures are no folders, and Next without a count wants exactly one element.
  ComPtr<IEnumWiaItem> none;
  EXPECT_EQ(E_INVALIDARG, batch[0]->EnumChildItems(none.put()));
  EXPECT_EQ(E_INVALIDARG, children->Next(2, batch, nullptr));
  for (IWiaItem* item : batch) {
    if (item) item->Release();
  }
}

// The library's whole road, done directly: create the manager and keep it in the Global
// Interface Table, enumerate, open and register every device, transfer from each, release.
TEST_F(DeviceTest, ReferencesBalanceAfterEnumerateOpenTransfer) {
  ComPtr<IGlobalInterfaceTable> table;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, table.putVoid()));
  std::vector<DWORD> cookies;
  {
    auto devices = manager();
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, table->RegisterInterfaceInGlobal(devices.get(), IID_IWiaDevMgr, &cookie));
    cookies.push_back(cookie);
    ComPtr<IEnumWIA_DEV_INFO> list;
    ASSERT_EQ(S_OK, devices->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, list.put()));
    ComPtr<IWiaPropertyStorage> info;
    while (list->Next(1, info.put(), nullptr) == S_OK) {
      PROPVARIANT values[4];
      ASSERT_EQ(S_OK, info->ReadMultiple(4, kRecord, values));
      ComPtr<IWiaItem> root;
      ASSERT_EQ(S_OK, devices->CreateDevice(values[0].bstrVal, root.put()));
      FreePropVariantArray(4, values);
      ASSERT_EQ(S_OK, table->RegisterInterfaceInGlobal(root.get(), IID_IWiaItem, &cookie));
      cookies.push_back(cookie);

      ComPtr<IEnumWiaItem> children;
      ASSERT_EQ(S_OK, root->EnumChildItems(children.put()));
      ComPtr<IWiaItem> child;
      while (children->Next(1, child.put(), nullptr) == S_OK) {
        auto storage = storageOf(child.get());
        if (writeFormat(storage.get(), WiaImgFmt_JPEG) != S_OK) {
          ASSERT_EQ(S_OK, writeFormat(storage.get(), WiaImgFmt_BMP));
        }
        STGMEDIUM medium;
        std::string path;
        ASSERT_EQ(S_OK, transfer(child.get(), &medium, &path));
        ReleaseStgMedium(&medium);
      }
    }
  }
  EXPECT_GT(winsim::census().comObjects, 0);  // the table still holds manager and devices
  for (DWORD cookie : cookies) EXPECT_EQ(S_OK, table->RevokeInterfaceFromGlobal(cookie));
  // The fixture compares the census with the one taken before the test.
}

}  // namespace
}  // namespace wiatest
