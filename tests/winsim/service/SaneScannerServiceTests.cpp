// SANE's own test backend as WIA scanners of the service, through the WIA interfaces: the
// devices after the virtual set with IDs that stay, the properties and valid values from its
// options, writes, a page per mode and depth, the area, feeder batches, progress, cancel and
// every status its read-return-value forces, each as its WIA code.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ServiceTestSupport.h"

namespace servicetest {
namespace {

using namespace wiatest;

using SaneService = ServiceTest;

// A session of test:0 and its scan item, set for files of `format`.
struct TestScanner {
  ComPtr<IWiaItem> root;
  ComPtr<IWiaItem> item;
  ComPtr<IWiaPropertyStorage> rootProperties;
  ComPtr<IWiaPropertyStorage> properties;

  explicit TestScanner(const GUID& format = WiaImgFmt_JPEG, const char* id = kTest0) {
    root = openDevice(id);
    if (!root) return;
    item = childAt(root.get(), 0);
    rootProperties = storageOf(root.get());
    properties = storageOf(item.get());
    EXPECT_EQ(S_OK, writeFormat(properties.get(), format));
  }
  void set(PROPID id, LONG value) { EXPECT_EQ(S_OK, writeLong(properties.get(), id, value)) << "property " << id; }
  void setRoot(PROPID id, LONG value) { EXPECT_EQ(S_OK, writeLong(rootProperties.get(), id, value)) << "property " << id; }
  // A page at `dpi` of the area's first `width` x `height` pixels.
  void small(LONG dpi, LONG width, LONG height) {
    set(WIA_IPS_XRES, dpi);
    set(WIA_IPS_XPOS, 0);
    set(WIA_IPS_YPOS, 0);
    set(WIA_IPS_XEXTENT, width);
    set(WIA_IPS_YEXTENT, height);
  }
};

TEST_F(SaneService, ItsScannersComeAfterTheVirtualDevicesWithTheSameIdsAtEveryPoll) {
  useDrivers("virtual,sane");
  const std::vector<std::string> expected = {kScannerId, kCameraId, kTest0, kTest1};
  HRESULT end = S_OK;
  EXPECT_EQ(listedIds(&end), expected);
  EXPECT_EQ(end, S_FALSE);
  EXPECT_EQ(listedIds(), expected);
  useDrivers("sane");
  EXPECT_EQ(listedIds(), (std::vector<std::string>{kTest0, kTest1}));

  ComPtr<IEnumWIA_DEV_INFO> devices;
  ASSERT_EQ(S_OK, manager()->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()));
  ComPtr<IWiaPropertyStorage> info;
  ASSERT_EQ(S_OK, devices->Next(1, info.put(), nullptr));
  EXPECT_EQ(readText(info.get(), WIA_DIP_DEV_NAME), "Noname frontend-tester");
  EXPECT_EQ(readText(info.get(), WIA_DIP_VEND_DESC), "Noname");
  EXPECT_EQ(readText(info.get(), WIA_DIP_DEV_DESC), "virtual device");
  EXPECT_EQ(readText(info.get(), WIA_DIP_PORT_NAME), "test:0");
  EXPECT_EQ(readLong(info.get(), WIA_DIP_DEV_TYPE) >> 16, StiDeviceTypeScanner);

  // Item names follow the part of the ID after its last backslash.
  TestScanner scanner;
  ASSERT_TRUE(scanner.item);
  EXPECT_EQ(readText(scanner.properties.get(), WIA_IPA_FULL_ITEM_NAME), "sane:test:0\\Root\\Flatbed");
}

TEST_F(SaneService, ItsOptionsAreThePropertiesAndTheirValidValues) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.item);
  IWiaPropertyStorage* root = scanner.rootProperties.get();
  IWiaPropertyStorage* item = scanner.properties.get();
  const LONG bed = 7874;  // the area's 200 mm
  EXPECT_EQ(readLong(root, WIA_DPS_HORIZONTAL_BED_SIZE), bed);
  EXPECT_EQ(readLong(root, WIA_DPS_VERTICAL_BED_SIZE), bed);
  // Its source option names the flatbed and a feeder; SANE cannot say whether paper is loaded.
  EXPECT_EQ(readLong(root, WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES), FLAT | FEED);
  EXPECT_EQ(readLong(root, WIA_DPS_DOCUMENT_HANDLING_STATUS), FLAT_READY | FEED_READY);
  EXPECT_EQ(readLong(root, WIA_DPS_DOCUMENT_HANDLING_SELECT), FLATBED);
  EXPECT_EQ(readLong(root, WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE), bed);
  ULONG flags = 0;
  EXPECT_EQ(validValues(root, WIA_DPS_DOCUMENT_HANDLING_SELECT, &flags), (std::vector<LONG>{FLATBED, FLATBED | FEEDER}));
  EXPECT_EQ(writeLong(root, WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX), E_INVALIDARG);

  // Resolution: the option's range in whole dpi, from the usual 150.
  EXPECT_EQ(validValues(item, WIA_IPS_XRES, &flags), (std::vector<LONG>{1, 150, 1200, 1}));
  EXPECT_EQ(flags, WIA_PROP_RW | WIA_PROP_RANGE);
  EXPECT_EQ(readLong(item, WIA_IPS_XRES), 150);
  EXPECT_EQ(readLong(item, WIA_IPS_XEXTENT), bed * 150 / 1000);
  // Modes Gray and Color at depths 1, 8 and 16: threshold, greyscale and colour.
  EXPECT_EQ(validValues(item, WIA_IPA_DATATYPE, &flags),
            (std::vector<LONG>{3, WIA_DATA_COLOR, WIA_DATA_THRESHOLD, WIA_DATA_GRAYSCALE, WIA_DATA_COLOR}));
  EXPECT_EQ(validValues(item, WIA_IPA_DEPTH, &flags), (std::vector<LONG>{2, 24, 24, 48}));
  scanner.set(WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE);
  EXPECT_EQ(readLong(item, WIA_IPA_DEPTH), 8);
  EXPECT_EQ(validValues(item, WIA_IPA_DEPTH, &flags), (std::vector<LONG>{2, 8, 8, 16}));
  scanner.set(WIA_IPA_DATATYPE, WIA_DATA_THRESHOLD);
  EXPECT_EQ(readLong(item, WIA_IPA_DEPTH), 1);
  // The service writes the files: JPEG, or BMP.
  EXPECT_EQ(writeFormat(item, WiaImgFmt_BMP), S_OK);
  EXPECT_EQ(writeFormat(item, WiaImgFmt_PNG), E_INVALIDARG);
}

TEST_F(SaneService, WritesFollowTheOptionsOneResolutionForBothDirections) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.item);
  IWiaPropertyStorage* item = scanner.properties.get();
  scanner.set(WIA_IPS_XRES, 300);
  EXPECT_EQ(readLong(item, WIA_IPS_YRES), 300);
  EXPECT_EQ(readLong(item, WIA_IPS_YEXTENT), 7874 * 300 / 1000);
  scanner.set(WIA_IPS_YRES, 100);
  EXPECT_EQ(readLong(item, WIA_IPS_XRES), 100);
  EXPECT_EQ(writeLong(item, WIA_IPS_XRES, 1201), E_INVALIDARG);
  EXPECT_EQ(writeLong(item, WIA_IPS_XRES, 0), E_INVALIDARG);
  // Both in one write must agree.
  PROPSPEC specs[2] = {{PRSPEC_PROPID, {WIA_IPS_XRES}}, {PRSPEC_PROPID, {WIA_IPS_YRES}}};
  PROPVARIANT values[2];
  values[0].vt = values[1].vt = VT_I4;
  values[0].lVal = 200;
  values[1].lVal = 150;
  EXPECT_EQ(item->WriteMultiple(2, specs, values, WIA_IPA_FIRST), E_INVALIDARG);
  EXPECT_EQ(readLong(item, WIA_IPS_XRES), 100);
  // The area stays on the bed: 787 pixels at 100 dpi.
  EXPECT_EQ(writeLong(item, WIA_IPS_XPOS, 787), E_INVALIDARG);
  scanner.set(WIA_IPS_XPOS, 700);
  EXPECT_EQ(readLong(item, WIA_IPS_XEXTENT), 87);
  EXPECT_EQ(writeLong(item, WIA_IPS_XEXTENT, 88), E_INVALIDARG);
}

struct Mode {
  LONG dataType, depth;
  int components;  // of the JPEG
  uint16_t bmpBits;
};

TEST_F(SaneService, AFlatbedPageInEveryModeAndDepthAsJpegAndAsBmp) {
  const Mode modes[] = {{WIA_DATA_COLOR, 24, 3, 24},   {WIA_DATA_COLOR, 48, 3, 24}, {WIA_DATA_GRAYSCALE, 8, 1, 8},
                        {WIA_DATA_GRAYSCALE, 16, 1, 8}, {WIA_DATA_THRESHOLD, 1, 1, 1}};
  for (const Mode& mode : modes) {
    SCOPED_TRACE("data type " + std::to_string(mode.dataType) + ", depth " + std::to_string(mode.depth));
    {
      TestScanner scanner(WiaImgFmt_JPEG);
      ASSERT_TRUE(scanner.item);
      scanner.set(WIA_IPA_DATATYPE, mode.dataType);
      scanner.set(WIA_IPA_DEPTH, mode.depth);
      scanner.small(100, 200, 120);
      Decoded image;
      ASSERT_EQ(transferPage(scanner.item.get(), &image), S_OK);
      EXPECT_EQ(image.components, mode.components);
      EXPECT_EQ(image.width, 200);
      EXPECT_EQ(image.height, 118);  // 30 mm, the area's millimetre steps
      EXPECT_EQ(image.xDensity, 100u);
      if (mode.dataType == WIA_DATA_THRESHOLD) {
        for (unsigned char sample : image.pixels) ASSERT_TRUE(sample < 32 || sample > 223) << int(sample);
      }
      unsigned distinct = 0;
      for (size_t i = 1; i < image.pixels.size(); ++i) distinct += image.pixels[i] != image.pixels[0];
      EXPECT_GT(distinct, 0u) << "the colour pattern is more than one colour";
    }
    TestScanner scanner(WiaImgFmt_BMP);
    scanner.set(WIA_IPA_DATATYPE, mode.dataType);
    scanner.set(WIA_IPA_DEPTH, mode.depth);
    scanner.small(100, 200, 120);
    STGMEDIUM medium;
    std::string path;
    ASSERT_EQ(transfer(scanner.item.get(), &medium, &path), S_OK);
    Bitmap bitmap;
    ASSERT_TRUE(readBitmap(path, &bitmap));
    EXPECT_EQ(bitmap.bitCount, mode.bmpBits);
    EXPECT_EQ(bitmap.width, 200);
    EXPECT_EQ(bitmap.height, 118);
    EXPECT_EQ(bitmap.fileSize, bitmap.actualSize);
    EXPECT_EQ(path.substr(path.size() - 4), ".bmp");
    ReleaseStgMedium(&medium);
  }
  EXPECT_TRUE(temporaryEntries("").empty()) << "every file was released";
}

TEST_F(SaneService, TheScanAreaInPixelsIsTheAreaOnTheBed) {
  struct Area {
    LONG dpi, x, y, width, height;
  };
  const Area areas[] = {{100, 0, 0, 787, 787},  // the whole bed
                        {100, 40, 80, 200, 100},
                        {200, 1000, 1400, 200, 150},
                        {50, 380, 10, 13, 383},
                        {300, 2300, 2300, 60, 60}};  // at the bed's far corner
  for (const Area& area : areas) {
    SCOPED_TRACE(std::to_string(area.width) + " x " + std::to_string(area.height) + " at " +
                 std::to_string(area.x) + ", " + std::to_string(area.y) + ", " + std::to_string(area.dpi) + " dpi");
    TestScanner scanner;
    ASSERT_TRUE(scanner.item);
    scanner.set(WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE);
    scanner.set(WIA_IPS_XRES, area.dpi);
    scanner.set(WIA_IPS_XPOS, area.x);
    scanner.set(WIA_IPS_YPOS, area.y);
    scanner.set(WIA_IPS_XEXTENT, area.width);
    scanner.set(WIA_IPS_YEXTENT, area.height);
    Decoded image;
    ASSERT_EQ(transferPage(scanner.item.get(), &image), S_OK);
    // The backend takes the area in whole millimetres: within one of them.
    const double millimetre = area.dpi / 25.4;
    EXPECT_NEAR(image.width, area.width, millimetre + 1);
    EXPECT_NEAR(image.height, area.height, millimetre + 1);
  }
}

// Pages from the feeder as an application takes them: the scan item's transfers, one page
// each, until the feeder says it is empty.
std::vector<HRESULT> feederBatch(TestScanner& scanner, int most = 30) {
  std::vector<HRESULT> results;
  for (int i = 0; i < most; ++i) {
    Decoded image;
    results.push_back(transferPage(scanner.item.get(), &image));
    if (results.back() != S_OK) break;
    EXPECT_EQ(image.width, 98);  // 25 mm
  }
  return results;
}

TEST_F(SaneService, AFeederBatchEndsWithPaperEmptyAfterItsTenthPageOrItsPageCount) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.item);
  scanner.setRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER);
  scanner.setRoot(WIA_DPS_PAGES, 0);  // all the paper there is
  scanner.small(100, 100, 100);  // on the feeder's page, which the selection made the area
  std::vector<HRESULT> batch = feederBatch(scanner);
  ASSERT_EQ(batch.size(), 11u);
  EXPECT_EQ(batch.back(), WIA_ERROR_PAPER_EMPTY);
  EXPECT_EQ(systemText(WIA_ERROR_PAPER_EMPTY), "");  // WIA's own texts are not the system's

  // A batch of WIA_DPS_PAGES pages ends there, and the next one begins afresh.
  scanner.setRoot(WIA_DPS_PAGES, 3);
  batch = feederBatch(scanner);
  EXPECT_EQ(batch, (std::vector<HRESULT>{S_OK, S_OK, S_OK, WIA_ERROR_PAPER_EMPTY}));
  batch = feederBatch(scanner);
  EXPECT_EQ(batch, (std::vector<HRESULT>{S_OK, S_OK, S_OK, WIA_ERROR_PAPER_EMPTY}));

  // The flatbed again: a page, whatever the feeder did.
  scanner.setRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FLATBED);
  EXPECT_EQ(transferPage(scanner.item.get()), S_OK);
  EXPECT_EQ(transferPage(scanner.item.get()), S_OK);
}

TEST_F(SaneService, ProgressIsTheBytesReadOfThoseExpectedAndEndsWithTheFile) {
  // Data comes slowly, a little at a time, so that the page takes many reads.
  configureTestBackend({{"read-limit", "true"}, {"read-limit-size", "4096"}, {"read-delay", "true"},
                        {"read-delay-duration", "20000"}});
  TestScanner scanner;
  ASSERT_TRUE(scanner.item);
  scanner.set(WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE);
  scanner.small(100, 600, 200);  // 120,000 bytes
  ProgressRecorder progress;
  ASSERT_EQ(transferPage(scanner.item.get(), nullptr, &progress), S_OK);
  const auto& m = progress.messages;
  ASSERT_GE(m.size(), 5u);
  EXPECT_EQ(m.front().status, IT_STATUS_TRANSFER_FROM_DEVICE);
  EXPECT_EQ(m.front().percent, 0);
  for (size_t i = 1; i + 1 < m.size(); ++i) {
    EXPECT_EQ(m[i].status, IT_STATUS_TRANSFER_FROM_DEVICE);
    EXPECT_GT(m[i].percent, m[i - 1].percent) << "message " << i;
  }
  EXPECT_EQ(m[m.size() - 2].percent, 100);
  EXPECT_EQ(m.back().status, IT_STATUS_TRANSFER_TO_CLIENT);
  EXPECT_EQ(m.back().percent, 100);
}

TEST_F(SaneService, ACallbackCancelsThePageWithSaneCancelAndNoFileIsLeft) {
  configureTestBackend({{"read-limit", "true"}, {"read-limit-size", "4096"}, {"read-delay", "true"},
                        {"read-delay-duration", "20000"}});
  for (HRESULT answer : {S_FALSE, E_FAIL}) {
    TestScanner scanner;
    ASSERT_TRUE(scanner.item);
    scanner.set(WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE);
    scanner.small(100, 600, 200);
    ProgressRecorder progress;
    progress.answerAtPercent = 1;
    progress.answer = answer;
    EXPECT_EQ(transferPage(scanner.item.get(), nullptr, &progress), answer);
    EXPECT_LT(progress.messages.back().percent, 100) << "no more after the cancel";
    EXPECT_TRUE(temporaryEntries("").empty());
    // The device scans on.
    EXPECT_EQ(transferPage(scanner.item.get()), S_OK);
  }
  // A feeder page cancelled ends its batch; the next page starts another.
  TestScanner scanner;
  scanner.setRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER);
  scanner.setRoot(WIA_DPS_PAGES, 0);
  scanner.small(100, 600, 200);
  EXPECT_EQ(transferPage(scanner.item.get()), S_OK);
  ProgressRecorder progress;
  progress.answerAtPercent = 1;
  progress.answer = S_FALSE;
  EXPECT_EQ(transferPage(scanner.item.get(), nullptr, &progress), S_FALSE);
  EXPECT_EQ(transferPage(scanner.item.get()), S_OK);
}

// A callback that writes the root's source selection at its second message, the first of the
// page's data, as an application that starts a new batch while a page comes in may.
struct SelectingCallback final : IWiaDataCallback {
  IWiaPropertyStorage* root = nullptr;
  HRESULT written = E_FAIL;
  int messages = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG, LONG, LONG, LONG, LONG, LONG, LONG, BYTE*) override {
    if (messages++ == 1) written = writeLong(root, WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER);
    return S_OK;
  }
};

TEST_F(SaneService, ABatchEndedFromTheProgressCallbackEndsAfterItsPage) {
  TestScanner scanner;
  ASSERT_TRUE(scanner.item);
  scanner.setRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER);
  scanner.setRoot(WIA_DPS_PAGES, 2);
  scanner.small(100, 100, 100);
  ASSERT_EQ(transferPage(scanner.item.get()), S_OK);
  SelectingCallback selecting;
  selecting.root = scanner.rootProperties.get();
  EXPECT_EQ(transferPage(scanner.item.get(), nullptr, &selecting), S_OK);
  EXPECT_EQ(selecting.written, S_OK);
  // That page is the first of the new batch of two.
  EXPECT_EQ(feederBatch(scanner), (std::vector<HRESULT>{S_OK, WIA_ERROR_PAPER_EMPTY}));
}

TEST_F(SaneService, EveryStatusTheBackendForcesIsItsWiaCode) {
  struct Forced {
    const char* status;
    HRESULT code;
  };
  const Forced forced[] = {
      {"SANE_STATUS_UNSUPPORTED", WIA_ERROR_INVALID_COMMAND},
      {"SANE_STATUS_CANCELLED", E_ABORT},
      {"SANE_STATUS_DEVICE_BUSY", WIA_ERROR_BUSY},
      {"SANE_STATUS_INVAL", E_INVALIDARG},
      {"SANE_STATUS_EOF", WIA_ERROR_INVALID_DRIVER_RESPONSE},  // a page of no line at all
      {"SANE_STATUS_JAMMED", WIA_ERROR_PAPER_JAM},
      {"SANE_STATUS_NO_DOCS", WIA_ERROR_PAPER_EMPTY},
      {"SANE_STATUS_COVER_OPEN", WIA_ERROR_USER_INTERVENTION},
      {"SANE_STATUS_IO_ERROR", WIA_ERROR_DEVICE_COMMUNICATION},
      {"SANE_STATUS_NO_MEM", E_OUTOFMEMORY},
      {"SANE_STATUS_ACCESS_DENIED", E_ACCESSDENIED},
  };
  for (const Forced& f : forced) {
    SCOPED_TRACE(f.status);
    configureTestBackend({{"read-status-code", std::string("\"") + f.status + "\""}});
    TestScanner scanner;
    ASSERT_TRUE(scanner.item);
    scanner.small(50, 50, 50);
    EXPECT_EQ(transferPage(scanner.item.get()), f.code);
    EXPECT_TRUE(temporaryEntries("").empty());
  }
  // The system's texts of the codes that are the system's.
  EXPECT_EQ(systemText(E_ABORT), "Operation aborted");
  EXPECT_EQ(systemText(E_ACCESSDENIED), "Access is denied.");
}

}  // namespace
}  // namespace servicetest
