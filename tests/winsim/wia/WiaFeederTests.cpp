// The scanner's document feeder as a WIA 1.0 driver serves it: the root's document handling
// with its valid values and refused writes, the page as the scan area, batches that end with
// WIA_ERROR_PAPER_EMPTY, duplex order, jams, paper shared by sessions, page labels, JSON.
#include "WiaTestSupport.h"

namespace wiatest {
namespace {

using FeederTest = WiaTest;

const std::string kFeederId = "feeder\\0000";

void installFeeder(unsigned sheets, bool duplex = false, unsigned jamAt = 0) {
  winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
  scanner.id = kFeederId;
  scanner.feeder = winsim::FeederSpec{sheets, duplex, jamAt};
  winsim::setDevices({winsim::defaultDevices()[0], scanner});
}

// One session of a scanner: its root's storage and its scan item, for JPEG files at 50 dpi.
struct Session {
  ComPtr<IWiaItem> root = openDevice(kFeederId);
  ComPtr<IWiaPropertyStorage> device = storageOf(root.get());
  ComPtr<IWiaItem> item = childAt(root.get(), 0);
  ComPtr<IWiaPropertyStorage> scan = storageOf(item.get());

  Session() {
    EXPECT_EQ(S_OK, writeFormat(scan.get(), WiaImgFmt_JPEG));
    EXPECT_EQ(S_OK, writeLong(scan.get(), WIA_IPS_XRES, 50));
    EXPECT_EQ(S_OK, writeLong(scan.get(), WIA_IPS_YRES, 50));
  }
  void select(LONG documentHandling, LONG pages = ALL_PAGES) {
    EXPECT_EQ(S_OK, writeLong(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, documentHandling));
    EXPECT_EQ(S_OK, writeLong(device.get(), WIA_DPS_PAGES, pages));
  }
  LONG status() { return readLong(device.get(), WIA_DPS_DOCUMENT_HANDLING_STATUS); }
  void pages(int count) {
    for (int i = 0; i < count; ++i) transferPage(item.get());
  }
};

TEST_F(FeederTest, TheRootDeclaresItsDocumentHandlingAndRefusesWhatTheDeviceCannotDo) {
  installFeeder(3, true);
  auto flatbedOnly = storageOf(openDevice(kScannerId).get());
  EXPECT_EQ(FLAT, readLong(flatbedOnly.get(), WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES));
  EXPECT_EQ(E_INVALIDARG, writeLong(flatbedOnly.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER));

  Session duplex;
  EXPECT_EQ(FLAT | FEED | DETECT_FEED | DUP, readLong(duplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES));
  EXPECT_EQ(14000, readLong(duplex.device.get(), WIA_DPS_VERTICAL_SHEET_FEED_SIZE));
  const LONG most = 2 * static_cast<LONG>(winsim::kFeederCapacity);
  const struct {
    PROPID id;
    ULONG flags;
    std::vector<LONG> valid;
  } declared[] = {
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, WIA_PROP_RW | WIA_PROP_FLAG,
       {FLATBED, FLATBED | FEEDER | DUPLEX | FRONT_FIRST | BACK_FIRST}},
      {WIA_DPS_PAGES, WIA_PROP_RW | WIA_PROP_RANGE, {0, 1, most, 1}},
      {WIA_DPS_PAGE_SIZE, WIA_PROP_RW | WIA_PROP_LIST, {3, WIA_PAGE_A4, WIA_PAGE_A4, WIA_PAGE_LETTER, WIA_PAGE_CUSTOM}},
      {WIA_DPS_PAGE_WIDTH, WIA_PROP_RW | WIA_PROP_RANGE, {1000, 8267, 8500, 1}},
  };
  for (const auto& d : declared) {
    ULONG flags = 0;
    EXPECT_EQ(d.valid, validValues(duplex.device.get(), d.id, &flags)) << d.id;
    EXPECT_EQ(d.flags, flags) << d.id;
  }
  const struct {
    PROPID id;
    LONG value;
    HRESULT expected;
  } refused[] = {
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | FLATBED, E_INVALIDARG},  // one source at a time
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, FLATBED | DUPLEX, E_INVALIDARG},  // the duplexer is the feeder's
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | BACK_FIRST, E_INVALIDARG},  // an order needs DUPLEX
      {WIA_DPS_PAGES, most + 1, E_INVALIDARG},
      {WIA_DPS_PAGE_SIZE, 3, E_INVALIDARG},  // US Legal is a WIA 2.0 size: a custom page here
      {WIA_DPS_PAGE_WIDTH, 8501, E_INVALIDARG},  // wider than the feeder takes
      {WIA_DPS_DOCUMENT_HANDLING_STATUS, 0, E_ACCESSDENIED},
  };
  for (const auto& r : refused) {
    const LONG before = readLong(duplex.device.get(), r.id);
    EXPECT_EQ(r.expected, writeLong(duplex.device.get(), r.id, r.value)) << r.id << " = " << r.value;
    EXPECT_EQ(before, readLong(duplex.device.get(), r.id)) << r.id;
  }
  EXPECT_EQ(FLAT_READY | FEED_READY, duplex.status());
  duplex.select(FEEDER | DUPLEX | BACK_FIRST);
  EXPECT_EQ(FLAT_READY | FEED_READY | DUP_READY, duplex.status());
}

// A sheet-fed scanner (no flatbed) with a duplexer that scans the front first, and one
// resolution for both directions, as a SANE device can be.
TEST_F(FeederTest, ASheetFedScannerHasItsFeederSelectedAndOneResolution) {
  winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
  scanner.id = kFeederId;
  scanner.flatbed = false;
  scanner.linkedResolutions = true;
  scanner.feeder = winsim::FeederSpec{2, true};
  scanner.feeder->backFirst = false;
  winsim::setDevices({scanner});
  Session sheetFed;
  EXPECT_EQ(FEED | DETECT_FEED | DUP, readLong(sheetFed.device.get(), WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES));
  EXPECT_EQ(FEEDER, readLong(sheetFed.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT));
  EXPECT_EQ(FEED_READY, sheetFed.status());
  ULONG flags = 0;
  EXPECT_EQ((std::vector<LONG>{FEEDER, FEEDER | DUPLEX | FRONT_FIRST}),
            validValues(sheetFed.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, &flags));
  EXPECT_EQ(E_INVALIDARG, writeLong(sheetFed.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FLATBED));
  EXPECT_EQ(E_INVALIDARG, writeLong(sheetFed.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX | BACK_FIRST));
  EXPECT_EQ(8267 * 50 / 1000, readLong(sheetFed.scan.get(), WIA_IPS_XEXTENT)) << "the A4 page in the feeder";

  EXPECT_EQ(S_OK, writeLong(sheetFed.scan.get(), WIA_IPS_XRES, 100));
  EXPECT_EQ(100, readLong(sheetFed.scan.get(), WIA_IPS_YRES));
  sheetFed.select(FEEDER | DUPLEX | FRONT_FIRST);
  sheetFed.pages(5);
  EXPECT_EQ(fedSides(), (std::vector<std::string>{"1 front", "1 back", "2 front", "2 back", "empty"}));

  scanner.feeder.reset();
  EXPECT_THROW(winsim::setDevices({scanner}), std::invalid_argument) << "neither flatbed nor feeder";
}

// The page in the feeder is the glass of a feeder scan: a new source or page makes the scan
// area the whole of it at the item's resolution, and the area's ranges follow it.
TEST_F(FeederTest, ThePageInTheFeederIsTheScanArea) {
  installFeeder(10);
  Session scanner;
  auto extents = [&] {
    return std::vector<LONG>{readLong(scanner.scan.get(), WIA_IPS_XEXTENT), readLong(scanner.scan.get(), WIA_IPS_YEXTENT)};
  };
  scanner.select(FEEDER);
  EXPECT_EQ((std::vector<LONG>{413, 584}), extents());  // A4 at 50 dpi
  EXPECT_EQ(E_INVALIDARG, writeLong(scanner.scan.get(), WIA_IPS_XEXTENT, 414));
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_SIZE, WIA_PAGE_LETTER));
  EXPECT_EQ((std::vector<LONG>{425, 550}), extents());
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_WIDTH, 5826));  // A5, a custom page in WIA 1.0
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_HEIGHT, 8267));
  EXPECT_EQ(WIA_PAGE_CUSTOM, readLong(scanner.device.get(), WIA_DPS_PAGE_SIZE));
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_XRES, 100));  // the area stays on the page
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_YRES, 100));
  Decoded page;
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), &page));
  EXPECT_EQ((std::vector<LONG>{582, 826}), (std::vector<LONG>{page.width, page.height}));
  scanner.select(FLATBED);
  EXPECT_EQ((std::vector<LONG>{850, 1169}), extents());  // the bed at 100 dpi
}

// A batch ends with WIA_ERROR_PAPER_EMPTY and no file when the feeder is empty or when it has
// the WIA_DPS_PAGES it asked for; the next transfer begins another. The paper is the
// device's: sessions feed from one stack, and installing a set reloads it.
TEST_F(FeederTest, BatchesEndWithPaperEmptyAfterThePaperOrTheirPages) {
  installFeeder(5);
  Session first, second;
  first.select(FEEDER, 2);
  second.select(FEEDER);
  first.pages(6);
  EXPECT_EQ(FLAT_READY | FEED_READY, second.status());
  second.pages(2);
  EXPECT_EQ(FLAT_READY, second.status());
  winsim::loadFeeder(kFeederId, 1);  // numbered after the sheets fed
  second.pages(1);
  EXPECT_EQ((std::vector<std::string>{"1 front", "2 front", "empty", "3 front", "4 front", "empty", "5 front", "empty",
                                      "6 front"}),
            fedSides());
  for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) {
    EXPECT_EQ(entry.result != S_OK, journaledFile(entry).empty()) << entry.detail;
  }
  installFeeder(3);
  EXPECT_EQ(3u, winsim::feederState(kFeederId).sheetsLeft);
  EXPECT_THROW(winsim::loadFeeder(kFeederId, winsim::kFeederCapacity), std::invalid_argument);
  EXPECT_THROW(winsim::feederState(kScannerId), std::invalid_argument);  // it has no feeder
}

TEST_F(FeederTest, DuplexGivesFrontThenBackAndAJamHoldsUntilTheSourceIsChosenAgain) {
  installFeeder(4, true, 4);
  Session scanner;
  scanner.select(FEEDER | DUPLEX, 3);
  scanner.pages(4);  // the batch wants three sides: sheet 2 leaves with its back unscanned
  scanner.select(FEEDER | DUPLEX | BACK_FIRST);
  scanner.pages(3);
  EXPECT_EQ(FLAT_READY | PAPER_JAM, scanner.status());
  scanner.select(FEEDER);  // the user clears the path: the jammed sheet is gone
  scanner.pages(1);
  EXPECT_EQ((std::vector<std::string>{"1 front", "1 back", "2 front", "empty", "3 back", "3 front", "jammed", "empty"}),
            fedSides());
}

// Each feeder page carries its sheet and side in capitals large enough to read at 75 dpi,
// in the white band above the colour bars; the flatbed's chart has none.
TEST_F(FeederTest, FeederPagesShowTheirSheetAndSide) {
  installFeeder(2, true);
  Session scanner;
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_XRES, 75));
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_YRES, 75));
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE));
  std::vector<Decoded> pages(4);
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), &pages[0]));
  scanner.select(FEEDER | DUPLEX);
  for (size_t i = 1; i < pages.size(); ++i) ASSERT_EQ(S_OK, transferPage(scanner.item.get(), &pages[i]));
  // Dark pixels in the label's band (150 to 650 thousandths down, right of the 800 margin),
  // or those that differ between two pages.
  auto dark = [](const Decoded& image, int x, int y) { return image.pixels[y * image.width + x] < 128; };
  auto count = [&](const Decoded& a, const Decoded* b) {
    int n = 0;
    for (int y = 11; y < 49; ++y) {
      for (int x = 60; x < a.width - 60; ++x) n += b ? dark(a, x, y) != dark(*b, x, y) : dark(a, x, y);
    }
    return n;
  };
  EXPECT_EQ(0, count(pages[0], nullptr));
  EXPECT_GT(count(pages[1], nullptr), 1000);
  EXPECT_GT(count(pages[1], &pages[2]), 300) << "SHEET 1 FRONT and SHEET 1 BACK";
  EXPECT_GT(count(pages[1], &pages[3]), 50) << "SHEET 1 FRONT and SHEET 2 FRONT";
  EXPECT_TRUE(std::equal(pages[1].pixels.begin() + 64 * pages[1].width, pages[1].pixels.end(),
                         pages[2].pixels.begin() + 64 * pages[2].width))
      << "below the label the pages are the same chart";
}

TEST_F(FeederTest, FeedersComeFromJsonAndMistakesAreNamed) {
  const std::vector<winsim::DeviceSpec> set = winsim::parseDevices(R"([
    {"kind": "scanner", "id": "adf", "transferMillis": 250,
     "feeder": {"sheets": 12, "duplex": true, "jamAt": 5, "sheetSize": {"width": 8267, "height": 11692}}},
    {"kind": "scanner", "id": "empty", "feeder": {}}, {"kind": "scanner", "id": "flatbed"}])");
  ASSERT_TRUE(set.size() == 3 && set[0].feeder && set[1].feeder && !set[2].feeder);
  const winsim::FeederSpec& f = *set[0].feeder;
  EXPECT_EQ((std::vector<long>{12, 1, 5, 8267, 11692, 250}),
            (std::vector<long>{static_cast<long>(f.sheets), f.duplex, static_cast<long>(f.jamAt), f.sheetWidth,
                               f.sheetHeight, static_cast<long>(set[0].transferMillis)}));
  EXPECT_EQ(0u, set[1].feeder->sheets);  // a feeder with no paper in it
  const std::pair<const char*, std::string> mistakes[] = {
      {R"("kind": "scanner", "feeder": {"sheets": -1})", "devices[0](x).feeder.sheets: must be between 0 and 100000"},
      {R"("kind": "scanner", "feeder": {"sheetSize": {"depth": 1}})",
       R"(devices[0](x).feeder.sheetSize: unknown key "depth")"},
      {R"("kind": "scanner", "transferMillis": "slow")", "devices[0](x).transferMillis: expected an integer"},
      {R"("kind": "scanner", "feeder": {"sheetSize": {"width": 999}})",
       "device \"x\": the feeder's sheets must be at least 1000 thousandths of an inch and at most 65500 pixels a "
       "side at the highest resolution"},
      {R"("kind": "camera", "feeder": {})", "device \"x\": only a scanner has a document feeder"},
  };
  for (const auto& [members, refusal] : mistakes) {
    EXPECT_EQ(refusal, refusalOf(std::string(R"([{"id": "x", )") + members + "}]"));
  }
}

}  // namespace
}  // namespace wiatest
