// The SANE backend against SANE's own test backend (enabled by SaneTestMain.cpp): listing,
// the options' model, settings read back, every mode and depth, frames and progress,
// cancel, the feeder, every status read-return-value forces, and time limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "DriverText.h"
#include "SaneTestScanner.h"

namespace winsim::drivers {
namespace {

bool allSamples(const SaneRaster& raster, uint8_t value) {
  return !raster.samples.empty() &&
         std::all_of(raster.samples.begin(), raster.samples.end(), [&](uint8_t s) { return s == value; });
}

TEST(SaneBackend, ListsTheTestBackendsTwoDevicesUnderTheSameNamesEveryTime) {
  SaneBackend backend;
  ASSERT_TRUE(backend.available()) << backend.unavailableReason();
  std::vector<SaneDeviceInfo> first, second;
  ASSERT_TRUE(backend.listDevices(&first).ok());
  ASSERT_TRUE(backend.listDevices(&second).ok());
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].name, "test:0");
  EXPECT_EQ(first[1].name, "test:1");
  EXPECT_EQ(first[0].vendor, "Noname");
  EXPECT_EQ(first[0].model, "frontend-tester");
  EXPECT_EQ(first[0].type, "virtual device");
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].name, second[i].name);
}

TEST(SaneBackend, ALibraryThatIsMissingOrLacksAFunctionMeansNoDevicesAndSaysWhy) {
  SaneBackendOptions missing;
  missing.library = "libsane-not-installed.so.1";
  SaneBackend none(missing);
  EXPECT_FALSE(none.available());
  EXPECT_NE(none.unavailableReason().find("libsane-not-installed.so.1"), std::string::npos)
      << none.unavailableReason();
  std::vector<SaneDeviceInfo> devices{{"stale", "", "", ""}};
  EXPECT_TRUE(none.listDevices(&devices).ok());
  EXPECT_TRUE(devices.empty());
  std::unique_ptr<SaneDevice> device;
  EXPECT_EQ(none.open("test:0", &device).code, WIA_ERROR_OFFLINE);
  EXPECT_FALSE(device);

  SaneBackendOptions wrong;
  wrong.library = "libm.so.6";
  SaneBackend notSane(wrong);
  EXPECT_FALSE(notSane.available());
  EXPECT_NE(notSane.unavailableReason().find("sane_init"), std::string::npos) << notSane.unavailableReason();
}

TEST(SaneBackend, OpeningADeviceThatIsNotThereFails) {
  SaneBackend backend;
  std::unique_ptr<SaneDevice> device;
  DriverStatus opened = backend.open("test:7", &device);
  EXPECT_TRUE(FAILED(opened.code));
  EXPECT_EQ(opened.call, "sane_open");
  EXPECT_FALSE(device);
}

TEST(SaneModel, TheTestBackendsOptionsGiveResolutionsDataTypesBedAreaAndSources) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  const SaneScannerModel& model = scanner.device->model();
  EXPECT_EQ(model.resolution.option, "resolution");
  EXPECT_FALSE(model.resolution.list);
  EXPECT_EQ(model.resolution.min, 1);
  EXPECT_EQ(model.resolution.max, 1200);
  EXPECT_EQ(model.resolution.step, 1);

  // Gray and Color, each at depths 1, 8 and 16.
  std::vector<std::pair<LONG, LONG>> types;
  for (const SaneDataType& type : model.dataTypes) types.emplace_back(type.dataType, type.bitsPerPixel);
  std::vector<std::pair<LONG, LONG>> expected = {
      {WIA_DATA_THRESHOLD, 1}, {WIA_DATA_GRAYSCALE, 8}, {WIA_DATA_GRAYSCALE, 16},
      {WIA_DATA_COLOR_THRESHOLD, 3}, {WIA_DATA_COLOR, 24}, {WIA_DATA_COLOR, 48}};
  EXPECT_EQ(types, expected);
  ASSERT_TRUE(model.currentDataType);
  EXPECT_EQ(model.currentDataType->dataType, WIA_DATA_GRAYSCALE);
  EXPECT_EQ(model.currentDataType->bitsPerPixel, 8);

  // A bed of 200 mm each way; the default area of 80 x 100 mm.
  ASSERT_TRUE(model.area.present);
  EXPECT_EQ(model.area.bedWidthThousandths(), 7874);
  EXPECT_EQ(model.area.bedHeightThousandths(), 7874);
  EXPECT_EQ(pixelAreaOf(model.area, 100), (PixelArea{0, 0, 315, 394}));

  ASSERT_EQ(model.sources.size(), 2u);
  EXPECT_EQ(model.sources[0].handling, FLATBED);
  EXPECT_EQ(model.sources[1].handling, FEEDER);
  EXPECT_EQ(model.documentHandlingCapabilities(), FLATBED | FEEDER);
  EXPECT_EQ(model.currentDocumentHandling(), FLATBED);
}

TEST(SaneSettings, WritesReadBackWhatTheBackendTook) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  SaneDevice& device = *scanner.device;
  double resolution = 0;
  ASSERT_TRUE(device.setResolution(150.4, &resolution).ok());
  EXPECT_EQ(resolution, 150);  // the range's step is one dpi
  EXPECT_EQ(device.model().resolution.current, 150);

  // The area's options step in whole millimetres: the pixels asked for are rounded to them.
  PixelArea taken;
  ASSERT_TRUE(device.setArea(PixelArea{31, 62, 301, 449}, 150, &taken).ok());
  const SaneArea& area = device.model().area;
  EXPECT_EQ(area.left, 5);     // 5.25 mm
  EXPECT_EQ(area.top, 10);     // 10.50 mm
  EXPECT_EQ(area.right, 56);   // 56.22 mm
  EXPECT_EQ(area.bottom, 87);  // 86.53 mm
  EXPECT_EQ(taken, pixelAreaOf(area, 150));

  // Moving the area past its old far edge.
  ASSERT_TRUE(device.setArea(PixelArea{600, 600, 150, 150}, 150, &taken).ok());
  EXPECT_EQ(taken, (PixelArea{602, 602, 148, 148}));

  ASSERT_TRUE(device.setDocumentHandling(FEEDER).ok());
  EXPECT_EQ(device.model().currentSource, "Automatic Document Feeder");
  EXPECT_EQ(device.setDocumentHandling(FEEDER | DUPLEX).code, E_INVALIDARG);

  // A mode with options of its own: three-pass becomes active in colour.
  const SaneOption* threePass = findSaneOption(device.options(), "three-pass");
  ASSERT_TRUE(threePass);
  EXPECT_FALSE(threePass->active());
  ASSERT_TRUE(device.setDataType(device.model().dataTypes[4]).ok());  // Color, 8 bits
  threePass = findSaneOption(device.options(), "three-pass");
  EXPECT_TRUE(threePass->active());

  EXPECT_EQ(device.setNumber("no-such-option", 1).code, E_INVALIDARG);
  EXPECT_EQ(device.setText("three-pass-order", "XYZ").code, E_INVALIDARG);
}

TEST(SaneScan, EveryModeAndDepthGivesEightBitSamplesOfTheRightPolarity) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  scanner.smallPage(50, 20);  // 39 x 39 pixels
  std::vector<SaneDataType> types = scanner.device->model().dataTypes;
  for (const SaneDataType& type : types) {
    SCOPED_TRACE(type.mode + " " + std::to_string(type.depth));
    ASSERT_TRUE(scanner.device->setDataType(type).ok());
    for (const char* picture : {"Solid white", "Solid black"}) {
      scanner.set("test-picture", picture);
      SaneRaster page;
      DriverStatus scanned = scanner.device->scanPage(&page);
      ASSERT_TRUE(scanned.ok()) << scanned.text;
      EXPECT_EQ(page.width, 39);
      EXPECT_EQ(page.height, 39);
      EXPECT_EQ(page.channels, type.mode == "Color" ? 3 : 1);
      EXPECT_TRUE(allSamples(page, picture[6] == 'w' ? 255 : 0)) << picture;
    }
  }
}

TEST(SaneScan, AThreePassPageEqualsTheSinglePassPage) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  scanner.smallPage(75, 30);
  scanner.set("test-picture", "Color pattern");
  for (int depth : {8, 16}) {
    ASSERT_TRUE(scanner.device->setDataType(*dataTypeOf("Color", depth)).ok());
    scanner.set("three-pass", 0.0);
    SaneRaster single;
    ASSERT_TRUE(scanner.device->scanPage(&single).ok());
    scanner.set("three-pass", 1.0);
    scanner.set("three-pass-order", "GBR");
    SaneRaster threePass;
    std::vector<uint64_t> expected;
    DriverStatus scanned = scanner.device->scanPage(&threePass, [&](uint64_t, uint64_t total) {
      expected.push_back(total);
      return true;
    });
    ASSERT_TRUE(scanned.ok()) << scanned.text;
    EXPECT_EQ(threePass.channels, 3);
    EXPECT_EQ(threePass.width, single.width);
    EXPECT_EQ(threePass.height, single.height);
    EXPECT_TRUE(threePass.samples == single.samples) << "depth " << depth;
    // Three frames of one sample a pixel, announced with the first.
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(expected.front(), 3ull * single.width * single.height * (depth / 8));
  }
}

TEST(SaneScan, ProgressCountsEveryByteAgainstTheBytesTheFrameAnnounced) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  scanner.smallPage(150, 100);  // 590 x 590 pixels of grey, sent in pieces of 64 KiB 60 ms apart
  scanner.set("read-limit", 1.0);
  scanner.set("read-limit-size", 1000.0);
  scanner.set("read-delay", 1.0);
  scanner.set("read-delay-duration", 60000.0);
  std::vector<std::pair<uint64_t, uint64_t>> reports;
  SaneRaster page;
  ASSERT_TRUE(scanner.device->scanPage(&page, [&](uint64_t read, uint64_t expected) {
    reports.emplace_back(read, expected);
    return true;
  }).ok());
  ASSERT_GE(reports.size(), 5u);
  for (size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i].first, reports[i - 1].first);
  EXPECT_EQ(reports.back().first, 590u * 590u);
  for (const auto& report : reports) EXPECT_EQ(report.second, 590u * 590u);
  EXPECT_EQ(page.height, 590);
}

TEST(SaneScan, AHandScannerPageOfUnknownLengthGetsTheLinesItSent) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  scanner.smallPage(50, 40);
  scanner.set("hand-scanner", 1.0);
  SaneRaster page;
  uint64_t announced = 1;
  ASSERT_TRUE(scanner.device->scanPage(&page, [&](uint64_t, uint64_t expected) {
    announced = expected;
    return true;
  }).ok());
  EXPECT_EQ(announced, 0u);
  EXPECT_EQ(page.width, 216);  // its fixed width of 11 cm at 50 dpi, which the backend truncates
  EXPECT_GT(page.height, 0);
  EXPECT_EQ(page.samples.size(), static_cast<size_t>(page.width) * page.height);
}

// A slow scan of some 1.4 MB, which the backend sends in pieces 50 ms apart, read 1000 bytes
// at a time.
void slowReads(TestScanner& scanner) {
  scanner.smallPage(300, 100);
  scanner.set("read-limit", 1.0);
  scanner.set("read-limit-size", 1000.0);
  scanner.set("read-delay", 1.0);
  scanner.set("read-delay-duration", 50000.0);
}

TEST(SaneCancel, CancelFromAnotherThreadStopsAPageMidFrameAndTheDeviceScansAgain) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  slowReads(scanner);
  std::atomic<uint64_t> read{0};
  uint64_t expected = 0;
  std::thread canceller([&] {
    while (read == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    scanner.device->cancel();
  });
  SaneRaster page;
  DriverStatus scanned = scanner.device->scanPage(&page, [&](uint64_t bytes, uint64_t total) {
    read = bytes;
    expected = total;
    return true;
  });
  canceller.join();
  EXPECT_EQ(scanned.code, S_FALSE);
  EXPECT_LT(read, expected);
  EXPECT_TRUE(page.samples.empty());

  scanner.set("read-delay", 0.0);
  ASSERT_TRUE(scanner.device->scanPage(&page).ok());
  EXPECT_EQ(page.height, millimetresToPixels(100, 300));
}

TEST(SaneCancel, AProgressCallbackThatRefusesCancelsThePage) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  slowReads(scanner);
  int reports = 0;
  SaneRaster page;
  DriverStatus scanned = scanner.device->scanPage(&page, [&](uint64_t, uint64_t) { return ++reports < 3; });
  EXPECT_EQ(scanned.code, S_FALSE);
  EXPECT_EQ(reports, 3);
  scanner.device->cancel();  // no page being read: nothing happens
}

TEST(SaneFeeder, TheTestFeederGivesTenPagesThenIsEmpty) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  scanner.smallPage(50, 10);
  ASSERT_TRUE(scanner.device->setDocumentHandling(FEEDER).ok());
  int received = 0;
  int pages = 0;
  DriverStatus batch = scanner.device->scanFeeder(
      [&](SaneRaster&& page) {
        EXPECT_EQ(page.width, 19);  // 10 mm at 50 dpi, truncated by the backend
        ++received;
        return true;
      },
      {}, &pages);
  ASSERT_TRUE(batch.ok()) << batch.text;
  EXPECT_EQ(pages, 10);
  EXPECT_EQ(received, 10);

  // Page by page, as the service's transfers go: the eleventh finds the feeder empty.
  SaneRaster page;
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(scanner.device->scanPage(&page, {}, PageEnd::KeepBatch).ok()) << i;
  DriverStatus empty = scanner.device->scanPage(&page, {}, PageEnd::KeepBatch);
  EXPECT_EQ(empty.code, WIA_ERROR_PAPER_EMPTY);
  EXPECT_EQ(empty.text, "Document feeder out of documents");
  EXPECT_EQ(empty.call, "sane_start");
}

struct ForcedStatus {
  const char* value;
  HRESULT code;
  const char* text;
};

class SaneForcedStatus : public testing::TestWithParam<ForcedStatus> {};

TEST_P(SaneForcedStatus, IsReportedWithItsCodeAndText) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.device);
  scanner.smallPage(50, 10);
  scanner.set("read-return-value", GetParam().value);
  SaneRaster page;
  DriverStatus scanned = scanner.device->scanPage(&page);
  EXPECT_EQ(scanned.code, GetParam().code) << scanned.text;
  EXPECT_EQ(scanned.text, GetParam().text);
  EXPECT_EQ(scanned.call, "sane_read");
  EXPECT_TRUE(page.samples.empty());

  // The device scans again once the status is no longer forced.
  scanner.set("read-return-value", "Default");
  EXPECT_TRUE(scanner.device->scanPage(&page).ok());
}

INSTANTIATE_TEST_SUITE_P(
    EveryStatus, SaneForcedStatus,
    testing::Values(
        ForcedStatus{"SANE_STATUS_UNSUPPORTED", WIA_ERROR_INVALID_COMMAND, "Operation not supported"},
        ForcedStatus{"SANE_STATUS_CANCELLED", E_ABORT, "Operation was canceled"},
        ForcedStatus{"SANE_STATUS_DEVICE_BUSY", WIA_ERROR_BUSY, "Device busy"},
        ForcedStatus{"SANE_STATUS_INVAL", E_INVALIDARG, "Invalid argument"},
        ForcedStatus{"SANE_STATUS_EOF", WIA_ERROR_INVALID_DRIVER_RESPONSE,
                     "the scanner ended a frame before its first whole line"},
        ForcedStatus{"SANE_STATUS_JAMMED", WIA_ERROR_PAPER_JAM, "Document feeder jammed"},
        ForcedStatus{"SANE_STATUS_NO_DOCS", WIA_ERROR_PAPER_EMPTY, "Document feeder out of documents"},
        ForcedStatus{"SANE_STATUS_COVER_OPEN", WIA_ERROR_USER_INTERVENTION, "Scanner cover is open"},
        ForcedStatus{"SANE_STATUS_IO_ERROR", WIA_ERROR_DEVICE_COMMUNICATION, "Error during device I/O"},
        ForcedStatus{"SANE_STATUS_NO_MEM", E_OUTOFMEMORY, "Out of memory"},
        ForcedStatus{"SANE_STATUS_ACCESS_DENIED", E_ACCESSDENIED, "Access to resource has been denied"}));

TEST(SaneTimeLimit, AReadPastItsLimitHoldsTheLibraryUntilItReturnsThenAllWorksAgain) {
  SaneBackendOptions options;
  options.limits.transfer = std::chrono::milliseconds(100);
  TestScanner scanner(options);
  ASSERT_TRUE(scanner.device);
  scanner.smallPage(100, 40);
  scanner.set("read-limit", 1.0);
  scanner.set("read-limit-size", 1.0);
  scanner.set("read-delay", 1.0);
  scanner.set("read-delay-duration", 200000.0);  // 200 ms a read, twice the limit

  SaneRaster page;
  DriverStatus scanned = scanner.device->scanPage(&page);
  EXPECT_EQ(scanned.code, WIA_ERROR_BUSY);
  EXPECT_NE(scanned.text.find("did not return from sane_read"), std::string::npos) << scanned.text;

  // While the read is still inside the library, calls fail at once; once it has returned
  // (within a second), they work again.
  std::vector<SaneDeviceInfo> devices;
  DriverStatus listed = scanner.backend.listDevices(&devices);
  bool failedWhileHeld = listed.code == WIA_ERROR_BUSY;
  for (int i = 0; i < 100 && !listed.ok(); ++i) {
    EXPECT_EQ(listed.code, WIA_ERROR_BUSY);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    listed = scanner.backend.listDevices(&devices);
  }
  EXPECT_TRUE(failedWhileHeld);
  ASSERT_TRUE(listed.ok()) << listed.text;
  EXPECT_EQ(devices.size(), 2u);
  scanner.set("read-delay", 0.0);
  scanner.set("read-limit", 0.0);
  DriverStatus again = scanner.device->scanPage(&page);
  EXPECT_TRUE(again.ok()) << again.text;
}

}  // namespace
}  // namespace winsim::drivers
