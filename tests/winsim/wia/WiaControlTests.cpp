// The control surface: fault injection on exact calls, read overrides, dialog scripts and
// device sets from JSON.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "WiaTestSupport.h"

namespace wiatest {
namespace {

using ControlTest = WiaTest;

TEST_F(ControlTest, FaultsHitExactlyTheCallAskedFor) {
  const std::string second = winsim::fullItemName(kCameraId, "IMG_0002");
  winsim::injectFault({"IWiaDataTransfer::idtGetData", WIA_ERROR_BUSY, 1, second});
  winsim::injectFault({"IWiaPropertyStorage::WriteMultiple", S_FALSE, 2, ""});
  auto root = openDevice(kCameraId);
  std::vector<HRESULT> results;
  for (unsigned i = 0; i < 3; ++i) {
    auto picture = childAt(root.get(), i);
    auto storage = storageOf(picture.get());
    writeFormat(storage.get(), WiaImgFmt_JPEG);
    STGMEDIUM medium;
    std::string path;
    results.push_back(transfer(picture.get(), &medium, &path));
    if (results.back() == S_OK) ReleaseStgMedium(&medium);
  }
  EXPECT_EQ((std::vector<HRESULT>{S_OK, WIA_ERROR_BUSY, S_OK}), results);
  auto writes = winsim::journal("IWiaPropertyStorage::WriteMultiple");
  ASSERT_EQ(3u, writes.size());
  EXPECT_EQ(S_OK, writes[0].result);
  EXPECT_EQ(S_FALSE, writes[1].result);  // a success code: the write still happened
  EXPECT_EQ(S_OK, writes[2].result);
  EXPECT_EQ("4106=CLSID:{B96B3CAE-0728-11D3-9D7B-0000F81EF32E} 4108=I4:2", writes[0].detail);
  auto transfers = winsim::journal("IWiaDataTransfer::idtGetData");
  ASSERT_EQ(3u, transfers.size());
  EXPECT_EQ(second, transfers[1].target);
  EXPECT_EQ(std::string::npos, transfers[1].detail.find("file="));  // no file was made
}

TEST_F(ControlTest, QueryInterfaceFaultsFollowTheInterfaceCalledThrough) {
  auto item = childAt(openDevice(kScannerId).get(), 0);
  winsim::injectFault({"IWiaPropertyStorage::QueryInterface", E_NOINTERFACE, 0, ""});
  ComPtr<IWiaPropertyStorage> storage;
  ASSERT_EQ(S_OK, item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()));
  ComPtr<IWiaDataTransfer> data;
  EXPECT_EQ(E_NOINTERFACE, storage->QueryInterface(IID_IWiaDataTransfer, data.putVoid()));
  EXPECT_FALSE(data);
  EXPECT_EQ(S_OK, item->QueryInterface(IID_IWiaDataTransfer, data.putVoid()));
}

TEST_F(ControlTest, ReadOverridesChangeTypeOrStatusOfOneProperty) {
  winsim::overrideRead({kScannerId, WIA_DIP_DEV_NAME, S_OK, true, winsim::PropertyValue::i4(7)});
  winsim::overrideRead({kCameraId, WIA_DIP_DEV_TYPE, STG_E_ACCESSDENIED, true, {}});
  ComPtr<IEnumWIA_DEV_INFO> devices;
  ASSERT_EQ(S_OK, manager()->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()));
  ComPtr<IWiaPropertyStorage> info;
  ASSERT_EQ(S_OK, devices->Next(1, info.put(), nullptr));
  PROPVARIANT value;
  ASSERT_EQ(S_OK, read(info.get(), WIA_DIP_DEV_NAME, &value));
  EXPECT_EQ(VT_I4, value.vt);
  EXPECT_EQ(7, value.lVal);
  ASSERT_EQ(S_OK, devices->Next(1, info.put(), nullptr));
  const PROPSPEC specs[2] = {{PRSPEC_PROPID, {WIA_DIP_DEV_ID}}, {PRSPEC_PROPID, {WIA_DIP_DEV_TYPE}}};
  PROPVARIANT values[2];
  EXPECT_EQ(STG_E_ACCESSDENIED, info->ReadMultiple(2, specs, values));
  EXPECT_EQ(VT_EMPTY, values[0].vt);  // nothing is handed out by a failed read
  EXPECT_EQ(VT_EMPTY, values[1].vt);

  // A success status comes back as the call's result, with the real value.
  winsim::clearReadOverrides();
  winsim::overrideRead({"", WIA_DIP_DEV_ID, S_FALSE, false, {}});
  ASSERT_EQ(S_FALSE, read(info.get(), WIA_DIP_DEV_ID, &value));
  EXPECT_EQ(VT_BSTR, value.vt);
  FreePropVariantArray(1, &value);
}

struct DialogResult {
  HRESULT result = E_FAIL;
  std::vector<std::string> names;
};

DialogResult runDialog(IWiaItem* root, LONG flags = 0) {
  DialogResult outcome;
  LONG count = -1;
  IWiaItem** items = reinterpret_cast<IWiaItem**>(0x1);
  outcome.result = root->DeviceDlg(nullptr, flags, WIA_INTENT_NONE, &count, &items);
  if (outcome.result != S_OK) {
    EXPECT_EQ(0, count);
    EXPECT_EQ(nullptr, items);
    return outcome;
  }
  for (LONG i = 0; i < count; ++i) {
    outcome.names.push_back(readText(storageOf(items[i]).get(), WIA_IPA_ITEM_NAME));
    items[i]->Release();
  }
  CoTaskMemFree(items);
  return outcome;
}

TEST_F(ControlTest, DialogScriptsSayWhatTheUserDoes) {
  auto camera = openDevice(kCameraId);
  auto all = runDialog(camera.get());  // no script: the user takes every picture
  EXPECT_EQ((std::vector<std::string>{"IMG_0001", "IMG_0002", "IMG_0003"}), all.names);

  winsim::DialogStep cancel{winsim::DialogAction::Cancel, {}, E_FAIL, {}};
  winsim::DialogStep pick{winsim::DialogAction::Pick, {"IMG_0003", "IMG_0001"}, E_FAIL, {}};
  winsim::DialogStep nothing{winsim::DialogAction::Pick, {}, E_FAIL, {}};
  winsim::DialogStep fail{winsim::DialogAction::Fail, {}, WIA_ERROR_OFFLINE, {}};
  winsim::setDialogScript(kCameraId, {cancel, pick, nothing, fail});
  EXPECT_EQ(S_FALSE, runDialog(camera.get()).result);
  auto picked = runDialog(camera.get());
  EXPECT_EQ(S_OK, picked.result);
  EXPECT_EQ((std::vector<std::string>{"IMG_0003", "IMG_0001"}), picked.names);
  auto empty = runDialog(camera.get());
  EXPECT_EQ(S_OK, empty.result);
  EXPECT_TRUE(empty.names.empty());
  EXPECT_EQ(WIA_ERROR_OFFLINE, runDialog(camera.get()).result);
  EXPECT_EQ(WIA_ERROR_OFFLINE, runDialog(camera.get()).result);  // the last step repeats

  winsim::setDialogScript(kCameraId, {pick});
  EXPECT_EQ(1u, runDialog(camera.get(), WIA_DEVICE_DIALOG_SINGLE_IMAGE).names.size());
  auto picture = childAt(camera.get(), 0);
  LONG count = 0;
  IWiaItem** items = nullptr;
  EXPECT_EQ(E_INVALIDARG, picture->DeviceDlg(nullptr, 0, WIA_INTENT_NONE, &count, &items));
}

TEST_F(ControlTest, DialogSettingsReachTheChosenScannerItem) {
  winsim::DialogStep step{winsim::DialogAction::Pick, {"Flatbed"}, E_FAIL,
                          {{WIA_IPS_XRES, 300}, {WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE}}};
  winsim::setDialogScript(kScannerId, {step});
  auto scanner = openDevice(kScannerId);
  ASSERT_EQ(S_OK, runDialog(scanner.get()).result);
  auto item = storageOf(childAt(scanner.get(), 0).get());
  EXPECT_EQ(300, readLong(item.get(), WIA_IPS_XRES));
  EXPECT_EQ(8, readLong(item.get(), WIA_IPA_DEPTH));
}

const char* kDeviceSet = R"({"devices": [
  {"kind": "scanner", "id": "json\\0000", "name": "From JSON", "formats": ["bmp"],
   "deepColour": true, "resolutions": [100, 200], "resolution": {"nominal": 100},
   "dataTypes": ["grayscale", "color"], "bed": {"width": 4000, "height": 5000},
   "info": {"7": {"type": "I4", "value": 5}, "4": null},
   "dialog": [{"action": "fail", "code": "0x80210006"}]},
  {"kind": "camera", "id": "json\\0001", "name": "Many",
   "pictures": [{"name": "first", "width": 8, "height": 8, "taken": "2023-12-24T18:00:00"}],
   "generatedPictures": 2000, "generatedSize": [8, 8]}
]})";

TEST_F(ControlTest, DeviceSetsComeFromJson) {
  std::vector<winsim::DeviceSpec> set = winsim::parseDevices(kDeviceSet);
  ASSERT_EQ(2u, set.size());
  EXPECT_FALSE(set[0].jpegFiles);
  EXPECT_TRUE(set[0].deepColour);
  EXPECT_EQ((std::vector<LONG>{100, 200}), set[0].resolutions);
  ASSERT_EQ(2u, set[0].info.size());
  for (const auto& [id, value] : set[0].info) {
    EXPECT_EQ(id == WIA_DIP_DEV_NAME ? VT_I4 : VT_EMPTY, value.vt) << id;
  }
  ASSERT_EQ(1u, set[0].dialog.size());
  EXPECT_EQ(WIA_ERROR_BUSY, set[0].dialog[0].failure);
  EXPECT_EQ(0, set[1].pictures[0].taken.wDayOfWeek);  // a Sunday
  EXPECT_EQ(2000u, set[1].generatedPictures);

  for (const char* bad : {
           "{\"devices\": [{\"kind\": \"scanner\", \"id\": \"x\", \"colour\": true}]}",
           "[{\"kind\": \"printer\", \"id\": \"x\"}]",
           "[{\"kind\": \"scanner\", \"id\": \"x\", \"info\": {\"7\": {\"type\": \"I9\"}}}]",
           "[{\"kind\": \"scanner\"}]",
           "[1,",
       }) {
    EXPECT_THROW(winsim::parseDevices(bad), std::invalid_argument) << bad;
  }
  try {
    winsim::parseDevices("[{\"kind\": \"scanner\", \"id\": \"x\", \"bed\": {\"depth\": 1}}]");
    ADD_FAILURE();
  } catch (const std::invalid_argument& error) {
    EXPECT_EQ(std::string("devices[0](x).bed: unknown key \"depth\""), error.what());
  }
  // Optional settings and the elements of lists are named by their place.
  const struct {
    const char* device;
    const char* error;
  } misplaced[] = {
      {R"("subtype": 70000)", "devices[0](x).subtype: must be between 0 and 65535"},
      {R"("resolution": {"step": "1"})", "devices[0](x).resolution.step: expected an integer"},
      {R"("bed": {"height": true})", "devices[0](x).bed.height: expected an integer"},
      {R"("dataTypes": ["color", "sepia"])",
       "devices[0](x).dataTypes[1]: expected \"threshold\", \"grayscale\" or \"color\""},
      {R"("pictures": [{"name": "a", "taken": "noon"}])",
       "devices[0](x).pictures[0].taken: expected a time like \"2024-05-03T10:30:00\""},
      {R"("dialog": [{}, {"items": ["a", 2]}])", "devices[0](x).dialog[1].items[1]: expected a string"},
      {R"("dialog": [{"code": []}])", "devices[0](x).dialog[0].code: expected an integer"},
  };
  for (const auto& m : misplaced) {
    EXPECT_EQ(m.error, refusalOf(std::string(R"([{"kind": "scanner", "id": "x", )") + m.device + "}]"));
  }
  EXPECT_THROW(winsim::loadDevices("[{\"kind\": \"scanner\", \"id\": \"x\"},"
                                   " {\"kind\": \"camera\", \"id\": \"x\"}]"),
               std::invalid_argument);
}

// A bed too large for a LONG side at the highest resolution is refused, in C++ and in JSON,
// as is a device set file that names a folder.
TEST_F(ControlTest, OversizedBedsAndFolderFilesAreRefusedClearly) {
  const struct {
    LONG width, max;
    std::vector<LONG> list;
  } beds[] = {{2147483647, 1200, {}}, {2147000, 1200, {}}, {8500, 7800, {}}, {60000, 150, {75, 150, 1200}}};
  for (const auto& bed : beds) {
    SCOPED_TRACE(bed.width);
    winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
    scanner.bedWidth = bed.width;
    scanner.resolutionMax = bed.max;
    scanner.resolutions = bed.list;
    try {
      winsim::setDevices({scanner});
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find("at most 65500 pixels"), std::string::npos) << error.what();
    }
  }
  EXPECT_THROW(winsim::loadDevices("[{\"kind\": \"scanner\", \"id\": \"s\", \"bed\": {\"width\": 2147000}}]"),
               std::invalid_argument);
  winsim::DeviceSpec largest = winsim::defaultDevices()[0];
  largest.bedWidth = largest.bedHeight = 54583;  // 65499 pixels at 1200 dpi
  winsim::setDevices({largest});

  try {
    winsim::loadDevicesFile("/tmp");
    ADD_FAILURE() << "a folder was read";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "/tmp is a folder, not a device set file");
  }
}

// What a set cannot mean is refused with its place: a key given twice (JSON would keep the
// last silently), a day the month does not have, a listed picture named like a generated
// one. A listed name that only looks generated is a name like any other.
TEST_F(ControlTest, DeviceSetsRefuseWhatTheyCannotMeanAndNameThePlace) {
  const struct {
    const char* set;
    const char* error;
  } refused[] = {
      {R"({"devices": [], "devices": []})", "device set: \"devices\" given twice"},
      {R"([{"kind": "scanner", "id": "x", "name": "A", "name": "B"}])", "devices[0]: \"name\" given twice"},
      {R"([{"kind": "scanner", "id": "a"}, {"kind": "camera", "id": "x",
            "pictures": [{"name": "p"}, {"name": "q", "width": 8, "width": 9}]}])",
       "devices[1].pictures[1]: \"width\" given twice"},
      {R"([{"kind": "scanner", "id": "x", "info": {"7": {"type": "BSTR", "value": "a", "type": "I4"}}}])",
       "devices[0].info.7: \"type\" given twice"},
      {R"([{"kind": "camera", "id": "x", "pictures": [{"name": "p", "taken": "2024-02-31T10:00:00"}]}])",
       "devices[0](x).pictures[0].taken: 2024-02 has no day 31"},
      {R"([{"kind": "camera", "id": "x", "pictures": [{"name": "p", "taken": "2023-02-29T10:00:00"}]}])",
       "devices[0](x).pictures[0].taken: 2023-02 has no day 29"},
      {R"([{"kind": "camera", "id": "x", "pictures": [{"name": "p", "taken": "1600-12-31T23:59:59"}]}])",
       "devices[0](x).pictures[0].taken: the year must be between 1601 and 9999"},
      {R"([{"kind": "camera", "id": "x", "pictures": [{"name": "IMG_0001"}, {"name": "IMG_0003"}],
            "generatedPictures": 1}])",
       "device \"x\": pictures[1] \"IMG_0003\" has the name of generated picture 3"},
  };
  for (const auto& r : refused) {
    try {
      winsim::loadDevices(r.set);
      ADD_FAILURE() << "accepted: " << r.set;
    } catch (const std::invalid_argument& error) {
      EXPECT_STREQ(r.error, error.what());
    }
  }

  winsim::loadDevices(R"([{"kind": "camera", "id": "x", "pictures": [
      {"name": "IMG_generated", "taken": "2024-02-29T23:59:59"}, {"name": "IMG_3"}, {"name": "IMG_0002"}],
      "generatedPictures": 2}])");
  auto camera = openDevice("x");
  std::vector<std::string> names;
  for (unsigned i = 0; i < 5; ++i) {
    names.push_back(readText(storageOf(childAt(camera.get(), i).get()).get(), WIA_IPA_ITEM_NAME));
  }
  EXPECT_EQ((std::vector<std::string>{"IMG_generated", "IMG_3", "IMG_0002", "IMG_0004", "IMG_0005"}), names);
}

TEST_F(ControlTest, ResetInstallsTheSetNamedByTheEnvironment) {
  char path[] = "/tmp/winsim-devices-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(static_cast<ssize_t>(std::strlen(kDeviceSet)), ::write(fd, kDeviceSet, std::strlen(kDeviceSet)));
  ::close(fd);
  setenv("WINSIM_DEVICES", path, 1);
  winsim::reset();
  std::vector<winsim::DeviceSpec> installed = winsim::devices();
  unsetenv("WINSIM_DEVICES");
  ::unlink(path);
  ASSERT_EQ(2u, installed.size());
  EXPECT_EQ("json\\0000", installed[0].id);

  auto camera = openDevice("json\\0001");
  auto last = childAt(camera.get(), 2000);
  EXPECT_EQ("IMG_2001", readText(storageOf(last.get()).get(), WIA_IPA_ITEM_NAME));
  auto scanner = openDevice("json\\0000");
  EXPECT_EQ(WIA_ERROR_BUSY, runDialog(scanner.get()).result);
  auto item = storageOf(childAt(scanner.get(), 0).get());
  EXPECT_EQ(E_INVALIDARG, writeFormat(item.get(), WiaImgFmt_JPEG));
  EXPECT_EQ(E_INVALIDARG, writeLong(item.get(), WIA_IPS_XRES, 150));
  EXPECT_EQ(400, readLong(item.get(), WIA_IPS_XEXTENT));

  winsim::reset();
  EXPECT_EQ(kScannerId, winsim::devices()[0].id);
}

// Many pictures in one enumeration: each is made when it is fetched and gone when released.
TEST_F(ControlTest, LargeCamerasStayCheap) {
  winsim::setJournalEnabled(false);
  winsim::DeviceSpec camera;
  camera.kind = winsim::DeviceKind::Camera;
  camera.id = "big\\0000";
  camera.generatedPictures = 2000;
  camera.generatedWidth = camera.generatedHeight = 8;
  winsim::setDevices({camera});
  auto root = openDevice(camera.id);
  ComPtr<IEnumWiaItem> children;
  ASSERT_EQ(S_OK, root->EnumChildItems(children.put()));
  ComPtr<IWiaItem> child;
  unsigned transferred = 0;
  const long objectsBefore = winsim::census().comObjects;
  while (children->Next(1, child.put(), nullptr) == S_OK) {
    STGMEDIUM medium;
    std::string path;
    ASSERT_EQ(S_OK, transfer(child.get(), &medium, &path));
    ReleaseStgMedium(&medium);
    ++transferred;
    EXPECT_LE(winsim::census().comObjects, objectsBefore + 1);
  }
  EXPECT_EQ(2000u, transferred);
}

}  // namespace
}  // namespace wiatest
