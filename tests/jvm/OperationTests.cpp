// The camera and scanner operations: which items are transferred and in what order, the
// scan settings the device receives, the images that arrive, and the quiet and reported ends.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "DeviceHost.h"

namespace jvmtest {
namespace {

using winsim::DeviceKind;
using winsim::DialogAction;

constexpr jlong kUpperBits = jlong(0x7E570000) << 32;

// What a BMP file says about itself.
struct ImageInfo {
  long width = 0, height = 0;
  int bitsPerPixel = 0;
  long dotsPerInch = 0;
};

uint32_t littleEndian(const std::string& bytes, size_t at, size_t size) {
  uint32_t value = 0;
  for (size_t i = 0; i < size; ++i) value |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
  return value;
}

ImageInfo bmpInfo(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ImageInfo info;
  if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) {
    ADD_FAILURE() << path << " is not a BMP file";
    return info;
  }
  info.width = static_cast<int32_t>(littleEndian(bytes, 18, 4));
  info.height = static_cast<int32_t>(littleEndian(bytes, 22, 4));
  info.bitsPerPixel = static_cast<int>(littleEndian(bytes, 28, 2));
  info.dotsPerInch = std::lround(littleEndian(bytes, 38, 4) * 0.0254);
  return info;
}

class Operations : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    copies_ = std::filesystem::temp_directory_path() /
              ("vestaro-copies-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(copies_);
  }
  void TearDown() override {
    std::filesystem::remove_all(copies_);
    DeviceTest::TearDown();
  }

  // The item names whose data were transferred, in order.
  static std::vector<std::string> transferredItems() {
    std::vector<std::string> names;
    for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) {
      if (entry.result == S_OK) names.push_back(entry.target.substr(entry.target.rfind('\\') + 1));
    }
    return names;
  }
  // The scan properties the flatbed received after the format and medium, as "id=I4:value".
  std::vector<std::string> scanWrites(const std::string& deviceId) const {
    std::vector<std::string> details;
    for (const auto& entry :
         journalOf("IWiaPropertyStorage::WriteMultiple", winsim::fullItemName(deviceId, "Flatbed"))) {
      if (entry.detail.rfind("4106=", 0) != 0) details.push_back(entry.detail);
    }
    return details;
  }

  // A scanner that writes BMP files, whose headers tell the pixel format.
  jlong openScanner(bool deepColour = false) {
    winsim::DeviceSpec scanner = deviceSet(1, DeviceKind::Scanner)[0];
    scanner.deepColour = deepColour;
    scanner.jpegFiles = false;
    winsim::setDevices({scanner});
    open();
    return handleOf(scanner.id);
  }

  std::string copies_;
};

const char* const kCameraId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
const char* const kScannerId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";

// Without the dialog every direct child in the enumerator's order; with it every pick in the
// dialog's order.
TEST_F(Operations, CameraTransfersEveryChildOrEveryPickInOrder) {
  winsim::setDialogScript(kCameraId, {{DialogAction::Pick, {"IMG_0003", "IMG_0001", "IMG_0002"}, {}, {}}});
  open();  // the default set: a scanner and a camera with three pictures
  LocalRef<jobject> camera(env_, newCamera());
  transfer(camera.get(), handleOf(kCameraId), false);
  EXPECT_EQ(transferredItems(), (std::vector<std::string>{"IMG_0001", "IMG_0002", "IMG_0003"}));
  winsim::clearJournal();
  transfer(camera.get(), handleOf(kCameraId) | kUpperBits, true);
  EXPECT_EQ(transferredItems(), (std::vector<std::string>{"IMG_0003", "IMG_0001", "IMG_0002"}));
  EXPECT_EQ(deliveries(camera.get()).size(), 6u);
  const auto dialogs = winsim::journal("IWiaItem::DeviceDlg");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].detail.rfind("flags=0 intent=0", 0), 0u) << dialogs[0].detail;
  close();
  expectCensusUnchanged();
}

// A cancelled dialog, a dialog with nothing picked, an S_FALSE from the child list or its
// first fetch and a device without items all end the call normally, with no callback.
TEST_F(Operations, QuietEndsOfBothDevices) {
  open();
  const winsim::DialogStep cancel{DialogAction::Cancel, {}, {}, {}};
  const winsim::DialogStep nothing{DialogAction::Pick, {}, {}, {}};
  for (const char* id : {kCameraId, kScannerId}) {
    SCOPED_TRACE(id);
    for (const auto& step : {cancel, nothing}) {
      winsim::setDialogScript(id, {step});
      LocalRef<jobject> device(env_, id == kCameraId ? newCamera() : newScanner());
      transfer(device.get(), handleOf(id), true);
      EXPECT_TRUE(deliveries(device.get()).empty());
    }
    LocalRef<jobject> device(env_, id == kCameraId ? newCamera() : newScanner());
    for (const char* method : {"IWiaItem::EnumChildItems", "IEnumWiaItem::Next"}) {
      winsim::injectFault({method, S_FALSE, 0, ""});
      transfer(device.get(), handleOf(id), false);
      winsim::clearFaults();
    }
    EXPECT_TRUE(deliveries(device.get()).empty());
  }
  EXPECT_TRUE(winsim::journal("IWiaDataTransfer::idtGetData").empty());
  close();

  auto empty = deviceSet(1, DeviceKind::Camera);
  empty[0].pictures.clear();
  winsim::setDevices(empty);
  open();
  LocalRef<jobject> camera(env_, newCamera());
  transfer(camera.get(), handleOf(empty[0].id), false);
  EXPECT_TRUE(deliveries(camera.get()).empty());
  close();
  expectCensusUnchanged();
}

// A failing dialog, child list or fetch is reported with its code from the device's source,
// after the items that arrived before it; a picture's own failure stays the first.
TEST_F(Operations, FailuresOfTheDialogOrTheItemListAreReported) {
  open();
  const struct {
    const char* deviceId;
    const char* source;
    bool dialog;
    winsim::Fault fault;
    const char* statement;
    size_t delivered;
  } cases[] = {
      {kCameraId, kCameraSource, true, {}, "// camera: dialog failed", 0},
      {kCameraId, kCameraSource, false, {"IWiaItem::EnumChildItems", WIA_ERROR_BUSY, 0, ""},
       "// camera: no picture list", 0},
      {kCameraId, kCameraSource, false, {"IEnumWiaItem::Next", WIA_ERROR_OFFLINE, 2, ""},
       "// camera: next picture not fetched", 1},
      {kScannerId, kScannerSource, true, {}, "// scanner: dialog failed", 0},
      {kScannerId, kScannerSource, false, {"IWiaItem::EnumChildItems", WIA_ERROR_BUSY, 0, ""},
       "// scanner: no item list", 0},
      {kScannerId, kScannerSource, false, {"IEnumWiaItem::Next", WIA_ERROR_OFFLINE, 1, ""},
       "// scanner: first item not fetched", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    winsim::setDialogScript(c.deviceId, {{DialogAction::Fail, {}, WIA_ERROR_PAPER_JAM, {}}});
    if (!c.fault.method.empty()) winsim::injectFault(c.fault);
    LocalRef<jobject> device(env_, c.deviceId == kCameraId ? newCamera() : newScanner());
    const JavaException e = transferThrown(device.get(), handleOf(c.deviceId), c.dialog);
    winsim::clearFaults();
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, c.fault.method.empty() ? WIA_ERROR_PAPER_JAM : c.fault.result);
    EXPECT_EQ(e.file, reportingFile(std::string(c.source).substr(std::string(c.source).rfind('/') + 1)));
    EXPECT_EQ(e.line, lineOf(c.source, c.statement));
    EXPECT_EQ(deliveries(device.get()).size(), c.delivered);
  }

  winsim::injectFault({"IWiaDataTransfer::idtGetData", WIA_ERROR_PAPER_JAM, 1, ""});
  winsim::injectFault({"IEnumWiaItem::Next", WIA_ERROR_OFFLINE, 3, ""});
  LocalRef<jobject> camera(env_, newCamera());
  const JavaException e = transferThrown(camera.get(), handleOf(kCameraId), false);
  EXPECT_EQ(e.code, WIA_ERROR_PAPER_JAM) << e.describe();
  ASSERT_EQ(e.suppressed.size(), 1u) << e.describe();
  EXPECT_EQ(e.suppressed[0].code, WIA_ERROR_OFFLINE);
  EXPECT_EQ(deliveries(camera.get()).size(), 1u);
  close();
  expectCensusUnchanged();
}

TEST_F(Operations, UnresolvableHandleIsReportedByTheOperation) {
  LocalRef<jobject> camera(env_, newCamera());
  JavaException e = transferThrown(camera.get(), 0x7FFF0000, false);
  ASSERT_TRUE(e.isVestaro) << e.describe();
  EXPECT_EQ(e.code, E_INVALIDARG);
  EXPECT_EQ(e.file, reportingFile("WIACamera.cpp"));
  EXPECT_EQ(e.line, lineOf(kCameraSource, "LOOK_UP_HANDLE("));
  LocalRef<jobject> scanner(env_, newScanner());
  e = transferThrown(scanner.get(), 0x7FFF0000, true);
  ASSERT_TRUE(e.isVestaro) << e.describe();
  EXPECT_EQ(e.file, reportingFile("WIAScanner.cpp"));
  EXPECT_EQ(e.line, lineOf(kScannerSource, "LOOK_UP_HANDLE("));
  EXPECT_TRUE(winsim::journal("IWiaItem::DeviceDlg").empty());
  expectCensusUnchanged();
}

// The second picture fails: the first and third arrive, and the failure is pending at the
// end with a later one (the third's throwing callback) attached to it.
TEST_F(Operations, CameraGoesOnAfterAFailedPictureAndKeepsEveryFailure) {
  open();
  winsim::injectFault({"IWiaDataTransfer::idtGetData", WIA_ERROR_PAPER_JAM, 0,
                       winsim::fullItemName(kCameraId, "IMG_0002")});
  LocalRef<jobject> camera(env_, newCamera());
  throwFromCallback(camera.get(), 2, "java/lang/IllegalStateException", "third refused");
  JavaException e = transferThrown(camera.get(), handleOf(kCameraId), false);
  ASSERT_TRUE(e.isVestaro) << e.describe();
  EXPECT_EQ(e.code, WIA_ERROR_PAPER_JAM);
  EXPECT_EQ(e.file, reportingFile("WIAUtils.cpp"));
  EXPECT_EQ(e.line, lineOf(kUtilsSource, "// transfer: data not written"));
  ASSERT_EQ(e.suppressed.size(), 1u) << e.describe();
  EXPECT_EQ(e.suppressed[0].message, "third refused");
  EXPECT_EQ(deliveries(camera.get()).size(), 2u);
  EXPECT_EQ(transferredItems(), (std::vector<std::string>{"IMG_0001", "IMG_0003"}));
  close();
  expectCensusUnchanged();
}

// Many pictures in one call: local references stay bounded (the VM's checks flag a frame
// that outgrows its capacity), for delivered pictures and for failed ones alike.
TEST_F(Operations, ManyPicturesInOneCallKeepTheLocalFrameSmall) {
  auto cameras = deviceSet(2, DeviceKind::Camera);
  cameras[0].pictures.clear();
  cameras[0].generatedPictures = 100000;
  cameras[0].generatedWidth = cameras[0].generatedHeight = 1;
  cameras[1].pictures.clear();
  cameras[1].generatedPictures = 1000;
  winsim::setDevices(cameras);
  winsim::setJournalEnabled(false);
  open();
  LocalRef<jobject> camera(env_, newCamera());
  transfer(camera.get(), handleOf(cameras[0].id), false);
  EXPECT_EQ(deliveries(camera.get()).size(), 100000u);

  winsim::injectFault({"IWiaDataTransfer::idtGetData", WIA_ERROR_BUSY, 0, ""});
  JavaException e = transferThrown(camera.get(), handleOf(cameras[1].id), false);
  EXPECT_EQ(e.code, WIA_ERROR_BUSY);
  EXPECT_EQ(e.suppressed.size(), 999u);
  close();
  expectCensusUnchanged();
}

TEST_F(Operations, ScannerDialogTransfersOnlyTheFirstItemWithTheDialogsSettings) {
  winsim::DeviceSpec device = deviceSet(1, DeviceKind::Scanner)[0];
  device.jpegFiles = false;
  device.dialog = {{DialogAction::Pick, {"Flatbed", "Flatbed", "Flatbed"}, {}, {{WIA_IPS_XRES, 75}}}};
  winsim::setDevices({device});
  open();
  LocalRef<jobject> scanner(env_, newScanner());
  setScan(scanner.get(), -8, 600, 0, 0, 10, 10);  // not used with the dialog
  copyInto(scanner.get(), copies_);
  transfer(scanner.get(), handleOf(device.id), true);
  const std::vector<Delivery> got = deliveries(scanner.get());
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(scanWrites(device.id).empty()) << "no scan property with the dialog";
  EXPECT_EQ(bmpInfo(got[0].copy).dotsPerInch, 75);
  close();
  expectCensusUnchanged();  // the two items not transferred and the array given back
}

// The scan properties as the device received them: resolution (even -1, which the device
// refuses while the scan goes on), the bitDepth row's data type and depth, then the area
// fields that are set, packed, with 0 counting as set.
TEST_F(Operations, ScanPropertiesAsTheDeviceReceivedThem) {
  const jlong handle = openScanner(true);
  const struct {
    jint bitDepth, resolution, x, y, width, height;
    int dataType, depth;
    std::vector<std::string> area;
  } cases[] = {
      {1, 100, -1, -1, -1, -1, 0, 1, {}},    {-1, 100, -1, -1, -1, -1, 0, 1, {}},
      {8, 100, -1, -1, -1, -1, 3, 24, {}},   {16, 100, -1, -1, -1, -1, 3, 48, {}},
      {-8, 100, -1, -1, -1, -1, 2, 8, {}},   {-16, 100, -1, -1, -1, -1, 2, 16, {}},
      {0, 100, -1, -1, -1, -1, 3, 8, {}},    {2, 100, -1, -1, -1, -1, 3, 8, {}},
      {24, 100, -1, -1, -1, -1, 3, 8, {}},   {32, 100, -1, -1, -1, -1, 3, 8, {}},
      {-24, 100, -1, -1, -1, -1, 3, 8, {}},
      {8, 200, -1, 100, -1, 200, 3, 24, {"6150=I4:100", "6152=I4:200"}},
      {8, 200, 0, -1, -1, -1, 3, 24, {"6149=I4:0"}},
      {8, -1, 10, 20, 30, 40, 3, 24, {"6149=I4:10", "6150=I4:20", "6151=I4:30", "6152=I4:40"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bitDepth) + " at " + std::to_string(c.resolution));
    winsim::clearJournal();
    LocalRef<jobject> scanner(env_, newScanner());
    setScan(scanner.get(), c.bitDepth, c.resolution, c.x, c.y, c.width, c.height);
    transfer(scanner.get(), handle | kUpperBits, false);
    EXPECT_EQ(deliveries(scanner.get()).size(), 1u);
    std::vector<std::string> expected = {
        "6147=I4:" + std::to_string(c.resolution), "6148=I4:" + std::to_string(c.resolution),
        "4103=I4:" + std::to_string(c.dataType), "4104=I4:" + std::to_string(c.depth)};
    expected.insert(expected.end(), c.area.begin(), c.area.end());
    EXPECT_EQ(scanWrites("{TEST}\\0000"), expected);
  }
  close();
  expectCensusUnchanged();
}

// The files show the resolution, extent and colour mode that the device accepted.
TEST_F(Operations, ScannedImagesMatchTheAcceptedSettings) {
  const struct {
    jint bitDepth, resolution, width, height;
    ImageInfo expected;
  } cases[] = {
      {1, 100, 300, 200, {300, 200, 1, 100}},
      {-8, 150, 120, 90, {120, 90, 8, 150}},
      {8, 75, 64, 48, {64, 48, 24, 75}},
      {8, 50, -1, -1, {425, 584, 24, 50}},  // the whole bed: 8.5 by 11.693 inches
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bitDepth) + " at " + std::to_string(c.resolution));
    const jlong handle = openScanner();  // a fresh device: the area starts as the bed
    LocalRef<jobject> scanner(env_, newScanner());
    copyInto(scanner.get(), copies_);
    setScan(scanner.get(), c.bitDepth, c.resolution, 0, 0, c.width, c.height);
    transfer(scanner.get(), handle, false);
    const std::vector<Delivery> got = deliveries(scanner.get());
    close();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].extension, "bmp");
    const ImageInfo info = bmpInfo(got[0].copy);
    EXPECT_EQ(info.width, c.expected.width);
    EXPECT_EQ(info.height, c.expected.height);
    EXPECT_EQ(info.bitsPerPixel, c.expected.bitsPerPixel);
    EXPECT_EQ(info.dotsPerInch, c.expected.dotsPerInch);
  }
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
