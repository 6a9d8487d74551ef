// The natives over the drivers of real devices in a real VM: SANE's test backend scanned
// through _poll and _transfer, its forced statuses as the exceptions' codes and texts, and a
// folder of JPEG files as a camera whose pictures arrive byte for byte under their names.
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "../winsim/drivers/PictureFolder.h"
#include "../winsim/drivers/SaneConfiguration.h"
#include "DeviceHost.h"

namespace jvmtest {
namespace {

namespace fs = std::filesystem;
using drivertest::contentsOf;
using drivertest::PictureFolder;

constexpr const char* kTest0 = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:test:0";

// A JPEG's frame: its size and components, from its SOF marker.
struct JpegFrame {
  int width = 0, height = 0, components = 0;
};
JpegFrame frameOf(const std::string& bytes) {
  JpegFrame frame;
  size_t at = 2;
  while (at + 9 < bytes.size() && static_cast<unsigned char>(bytes[at]) == 0xFF) {
    const auto marker = static_cast<unsigned char>(bytes[at + 1]);
    const size_t length = static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]);
    if (marker >= 0xC0 && marker <= 0xC3) {
      frame.height = static_cast<unsigned char>(bytes[at + 5]) << 8 | static_cast<unsigned char>(bytes[at + 6]);
      frame.width = static_cast<unsigned char>(bytes[at + 7]) << 8 | static_cast<unsigned char>(bytes[at + 8]);
      frame.components = static_cast<unsigned char>(bytes[at + 9]);
      break;
    }
    at += 2 + length;
  }
  return frame;
}

// The drivers of real devices on, SANE with a private configuration of its test backend;
// each test's devices start afresh.
class RealDrivers : public DeviceTest {
 protected:
  void SetUp() override {
    saneFolder_ = drivertest::usePrivateSaneConfiguration();
    ASSERT_FALSE(saneFolder_.empty());
    setenv("VESTARO_DRIVERS", "sane,gphoto2", 1);
    configure("Default");
    DeviceTest::SetUp();
  }
  void TearDown() override {
    DeviceTest::TearDown();
    winsim::restartDrivers();
    setenv("VESTARO_DRIVERS", "virtual", 1);
    unsetenv("VESTARO_FOLDER_CAMERAS");
    std::error_code ignored;
    fs::remove_all(saneFolder_, ignored);
  }
  // The test backend's colour pattern, and sane_read answering `status`.
  void configure(const std::string& status) {
    std::ofstream(saneFolder_ / "test.conf") << "test-picture \"Color pattern\"\nread-status-code \"" << status
                                             << "\"\n";
    winsim::restartDrivers();  // SANE reads it as it starts
  }
  const Offer* offered(const std::string& id) {
    for (const Offer& offer : opened_) {
      if (offer.id == id) return &offer;
    }
    ADD_FAILURE() << "no device " << id << " was offered";
    return nullptr;
  }

  fs::path saneFolder_;
};

TEST_F(RealDrivers, ASaneScannerIsOfferedAndScansAPageWithTheHostsSettings) {
  open();
  const Offer* scanner = offered(kTest0);
  ASSERT_TRUE(scanner);
  EXPECT_EQ(scanner->name, "Noname frontend-tester");
  EXPECT_EQ(scanner->type >> 16, StiDeviceTypeScanner);
  PictureFolder copies;
  LocalRef<jobject> host(env_, newScanner());
  setScan(host.get(), -8, 100, 0, 0, 200, 120);  // grey, 100 dpi, 200 x 120 pixels
  copyInto(host.get(), copies.root.string());
  transfer(host.get(), scanner->handle, false);
  const std::vector<Delivery> got = deliveries(host.get());
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].extension, "jpg");
  EXPECT_TRUE(got[0].existed);
  EXPECT_FALSE(fs::exists(got[0].path)) << "deleted right after the callback";
  const JpegFrame frame = frameOf(contentsOf(got[0].copy));
  EXPECT_EQ(frame.width, 200);
  EXPECT_EQ(frame.height, 118);  // 30 mm: the area's whole millimetres
  EXPECT_EQ(frame.components, 1);
  close();
  EXPECT_EQ(takeErr(), "");
  expectCensusUnchanged();
}

// Each status as its WIA code is the service tests' (SaneService); here the texts the host sees.
TEST_F(RealDrivers, AStatusTheScannerAnswersIsTheExceptionsCodeAndText) {
  const struct {
    const char* status;
    jint code;
    const char* text;
  } statuses[] = {
      {"SANE_STATUS_JAMMED", jint(0x80210002), "Paper is jammed in the scanner's document feeder."},
      {"SANE_STATUS_COVER_OPEN", jint(0x80210008),
       "An unspecified error has occurred with the WIA device that requires user intervention."},
      {"SANE_STATUS_ACCESS_DENIED", jint(0x80070005), "Access is denied.\r\n"},
  };
  for (const auto& s : statuses) {
    SCOPED_TRACE(s.status);
    configure(s.status);
    open();
    const Offer* scanner = offered(kTest0);
    ASSERT_TRUE(scanner);
    LocalRef<jobject> host(env_, newScanner());
    setScan(host.get(), 8, 50, 0, 0, 50, 50);
    const JavaException thrown = transferThrown(host.get(), scanner->handle, false);
    EXPECT_TRUE(thrown.isVestaro);
    EXPECT_EQ(thrown.code, s.code);
    EXPECT_EQ(thrown.message, s.text);
    EXPECT_TRUE(deliveries(host.get()).empty());
    close();
  }
  expectCensusUnchanged();
}

TEST_F(RealDrivers, ASaneFeederBatchThroughScanPagesRunsToTheEmptyFeederWithProgressAndCancel) {
  open();
  const Offer* scanner = offered(kTest0);
  ASSERT_TRUE(scanner);
  LocalRef<jobject> host(env_, newScanner());
  std::vector<jint> capabilities;
  ASSERT_FALSE(capabilitiesThrown(host.get(), scanner->handle, &capabilities).thrown);
  ASSERT_GE(capabilities.size(), 16u);
  EXPECT_EQ(capabilities[0], FLAT | FEED);  // the source option's flatbed and feeder
  EXPECT_EQ(capabilities[2], FLATBED);
  EXPECT_EQ(capabilities[4], 7874);  // 200 mm
  EXPECT_EQ(capabilities[9], 150);
  EXPECT_EQ(std::vector<jint>(capabilities.begin() + 10, capabilities.begin() + 16),
            (std::vector<jint>{1, 4, 1, 150, 1200, 1}));

  const std::vector<jint> feeder = {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER, WIA_DPS_PAGES, ALL_PAGES};
  const std::vector<jint> small = {WIA_IPS_XRES, 50, WIA_IPS_XEXTENT, 60, WIA_IPS_YEXTENT, 40};
  const ScanOutcome batch = scanPages(host.get(), scanner->handle, feeder, small, 0);
  ASSERT_FALSE(batch.thrown.thrown) << batch.thrown.message;
  EXPECT_EQ(batch.outcome, 0) << "completed: the test backend's feeder is empty after 10 pages";
  const std::vector<Delivery> pages = deliveries(host.get());
  ASSERT_EQ(pages.size(), 10u);
  for (const Delivery& page : pages) {
    EXPECT_TRUE(page.existed);
    EXPECT_EQ(page.extension, "jpg");
    EXPECT_FALSE(fs::exists(page.path));
  }
  std::vector<jint> finished;  // the pages whose progress reached 100
  for (const Progress& p : progress(host.get())) {
    if (p.percent == 100 && (finished.empty() || finished.back() != p.page)) finished.push_back(p.page);
  }
  EXPECT_EQ(finished, (std::vector<jint>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

  // A batch of a count, and one the host cancels in its second page.
  LocalRef<jobject> counted(env_, newScanner());
  EXPECT_EQ(scanPages(counted.get(), scanner->handle, feeder, small, 3).outcome, 0);
  EXPECT_EQ(deliveries(counted.get()).size(), 3u);
  LocalRef<jobject> cancelling(env_, newScanner());
  cancelAt(cancelling.get(), 2, 1);
  EXPECT_EQ(scanPages(cancelling.get(), scanner->handle, feeder, small, 0).outcome, 1);
  EXPECT_EQ(deliveries(cancelling.get()).size(), 1u);
  // The flatbed: one page.
  LocalRef<jobject> flatbed(env_, newScanner());
  EXPECT_EQ(scanPages(flatbed.get(), scanner->handle, {WIA_DPS_DOCUMENT_HANDLING_SELECT, FLATBED}, small, 0).outcome, 0);
  EXPECT_EQ(deliveries(flatbed.get()).size(), 1u);
  close();
  EXPECT_EQ(takeErr(), "");
  expectCensusUnchanged();
}

TEST_F(RealDrivers, AFolderCamerasPicturesArriveByteForByteInOrderUnderTheirNames) {
  PictureFolder pictures;
  pictures.add("b.jpg", 40, 30, 10);
  pictures.add("a.jpg", 30, 40, 20);
  pictures.add("sub/c.JPG", 50, 20, 30);
  setenv("VESTARO_FOLDER_CAMERAS", pictures.root.c_str(), 1);
  open();
  const Offer* camera = offered("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\gphoto2:disk:" + pictures.root.string());
  ASSERT_TRUE(camera);
  EXPECT_EQ(camera->type >> 16, StiDeviceTypeDigitalCamera);
  PictureFolder copies;
  LocalRef<jobject> host(env_, newCamera());
  copyInto(host.get(), copies.root.string());
  transfer(host.get(), camera->handle, false);
  const std::vector<Delivery> got = deliveries(host.get());
  const std::vector<std::string> files = {"a.jpg", "b.jpg", "sub/c.JPG"};
  ASSERT_EQ(got.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    EXPECT_EQ(fs::path(got[i].path).filename(), fs::path(files[i]).filename());
    EXPECT_EQ(got[i].extension, "jpg");
    EXPECT_EQ(contentsOf(got[i].copy), contentsOf(pictures.root / files[i]));
    EXPECT_FALSE(fs::exists(fs::path(got[i].path).parent_path())) << "its folder went with it";
  }
  close();
  EXPECT_EQ(takeErr(), "");
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
