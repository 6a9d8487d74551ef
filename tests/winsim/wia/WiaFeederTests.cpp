// The scanner's document feeder as a WIA 1.0 driver serves it: the document handling
// properties of the root with their valid values, refused writes, batches that end with
// WIA_ERROR_PAPER_EMPTY, duplex order, jams, page sizes as the scan area, and the paper that
// belongs to the device across sessions.
#include <regex>

#include "WiaTestSupport.h"

namespace wiatest {
namespace {

using FeederTest = WiaTest;

const std::string kFeederId = "feeder\\0000";

winsim::DeviceSpec feederScanner(unsigned sheets, bool duplex = false, unsigned jamAt = 0) {
  winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
  scanner.id = kFeederId;
  scanner.feeder = winsim::FeederSpec{sheets, duplex, jamAt};
  return scanner;
}

// One session of a scanner: its root and its scan item, set up for JPEG files at 50 dpi.
struct Session {
  Ptr<IWiaItem> root;
  Ptr<IWiaPropertyStorage> device;
  Ptr<IWiaItem> item;
  Ptr<IWiaPropertyStorage> scan;

  explicit Session(const std::string& id)
      : root(openDevice(id)), device(storageOf(root.get())), item(childAt(root.get(), 0)), scan(storageOf(item.get())) {
    EXPECT_EQ(S_OK, writeFormat(scan.get(), WiaImgFmt_JPEG));
    EXPECT_EQ(S_OK, writeLong(scan.get(), WIA_IPS_XRES, 50));
    EXPECT_EQ(S_OK, writeLong(scan.get(), WIA_IPS_YRES, 50));
  }
  HRESULT select(LONG documentHandling, LONG pages = ALL_PAGES) {
    HRESULT hr = writeLong(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, documentHandling);
    if (SUCCEEDED(hr) && (documentHandling & FEEDER)) hr = writeLong(device.get(), WIA_DPS_PAGES, pages);
    return hr;
  }
  LONG status() { return readLong(device.get(), WIA_DPS_DOCUMENT_HANDLING_STATUS); }
};

// What each idtGetData took from the feeder, in order: "1 front", "2 back", "empty", "jammed",
// or "" for a flatbed scan.
std::vector<std::string> fedSides() {
  static const std::regex fed("sheet=([0-9]+ (front|back))|feeder=(empty|jammed)");
  std::vector<std::string> sides;
  for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) {
    std::smatch match;
    sides.push_back(!std::regex_search(entry.detail, match, fed) ? ""
                    : match[1].matched                          ? match[1].str()
                                                                : match[3].str());
  }
  return sides;
}

TEST_F(FeederTest, TheRootDeclaresTheFeederWithItsValidValues) {
  winsim::setDevices({winsim::defaultDevices()[0], feederScanner(3, true)});
  Session flatbedOnly(kScannerId);
  EXPECT_EQ(FLAT, readLong(flatbedOnly.device.get(), WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES));
  EXPECT_EQ(FLAT_READY, flatbedOnly.status());
  EXPECT_EQ(8500, readLong(flatbedOnly.device.get(), WIA_DPS_HORIZONTAL_BED_SIZE));
  EXPECT_EQ(11693, readLong(flatbedOnly.device.get(), WIA_DPS_VERTICAL_BED_SIZE));
  ULONG flags = 0;
  EXPECT_EQ((std::vector<LONG>{FLATBED, FLATBED}),
            validValues(flatbedOnly.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, &flags));
  EXPECT_EQ(static_cast<ULONG>(WIA_PROP_RW | WIA_PROP_FLAG), flags);
  for (PROPID absent : {WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, WIA_DPS_PAGES, WIA_DPS_PAGE_SIZE}) {
    PROPVARIANT value;
    EXPECT_EQ(S_FALSE, read(flatbedOnly.device.get(), absent, &value)) << absent;
  }

  Session duplex(kFeederId);
  EXPECT_EQ(FLAT | FEED | DETECT_FEED | DUP, readLong(duplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES));
  EXPECT_EQ(FLATBED, readLong(duplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT));
  EXPECT_EQ(FLAT_READY | FEED_READY, duplex.status());
  EXPECT_EQ(8500, readLong(duplex.device.get(), WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE));
  EXPECT_EQ(14000, readLong(duplex.device.get(), WIA_DPS_VERTICAL_SHEET_FEED_SIZE));
  EXPECT_EQ(1, readLong(duplex.device.get(), WIA_DPS_PAGES));
  EXPECT_EQ(WIA_PAGE_A4, readLong(duplex.device.get(), WIA_DPS_PAGE_SIZE));
  const struct {
    PROPID id;
    ULONG flags;
    std::vector<LONG> valid;
  } declared[] = {
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, WIA_PROP_RW | WIA_PROP_FLAG,
       {FLATBED, FLATBED | FEEDER | DUPLEX | FRONT_FIRST | BACK_FIRST}},
      {WIA_DPS_PAGES, WIA_PROP_RW | WIA_PROP_RANGE, {0, 1, 2 * static_cast<LONG>(winsim::kFeederCapacity), 1}},
      {WIA_DPS_PAGE_SIZE, WIA_PROP_RW | WIA_PROP_LIST, {3, WIA_PAGE_A4, WIA_PAGE_A4, WIA_PAGE_LETTER, WIA_PAGE_CUSTOM}},
      {WIA_DPS_PAGE_WIDTH, WIA_PROP_RW | WIA_PROP_RANGE, {1000, 8267, 8500, 1}},
      {WIA_DPS_PAGE_HEIGHT, WIA_PROP_RW | WIA_PROP_RANGE, {1000, 11692, 14000, 1}},
      {WIA_DPS_DOCUMENT_HANDLING_STATUS, WIA_PROP_READ | WIA_PROP_NONE, {}},
      {WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES, WIA_PROP_READ | WIA_PROP_NONE, {}},
      {WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, WIA_PROP_READ | WIA_PROP_NONE, {}},
  };
  for (const auto& d : declared) {
    EXPECT_EQ(d.valid, validValues(duplex.device.get(), d.id, &flags)) << d.id;
    EXPECT_EQ(d.flags, flags) << d.id;
  }
  EXPECT_EQ("Pages", [&] {
    PROPID id = WIA_DPS_PAGES;
    LPOLESTR name = nullptr;
    EXPECT_EQ(S_OK, duplex.device->ReadPropertyNames(1, &id, &name));
    std::string text = name ? winsim::toUtf8(name) : "";
    CoTaskMemFree(name);
    return text;
  }());

  // A simplex feeder offers no duplexer, and a feeder too narrow for A4 no A4 page.
  winsim::DeviceSpec narrow = feederScanner(0);
  narrow.feeder->sheetWidth = 8300;
  narrow.feeder->sheetHeight = 11000;
  winsim::setDevices({narrow});
  Session simplex(kFeederId);
  EXPECT_EQ(FLAT | FEED | DETECT_FEED, readLong(simplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES));
  EXPECT_EQ(FLAT_READY, simplex.status());  // an empty feeder is not ready
  EXPECT_EQ((std::vector<LONG>{FLATBED, FLATBED | FEEDER}),
            validValues(simplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, &flags));
  EXPECT_EQ((std::vector<LONG>{1, WIA_PAGE_CUSTOM, WIA_PAGE_CUSTOM}),
            validValues(simplex.device.get(), WIA_DPS_PAGE_SIZE, &flags));
  EXPECT_EQ(8300, readLong(simplex.device.get(), WIA_DPS_PAGE_WIDTH));  // the page is the whole sheet
}

TEST_F(FeederTest, WrongDocumentHandlingWritesAreRefusedAndChangeNothing) {
  winsim::setDevices({winsim::defaultDevices()[0], feederScanner(3)});
  Session flatbedOnly(kScannerId);
  EXPECT_EQ(E_INVALIDARG, writeLong(flatbedOnly.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER));
  EXPECT_EQ(E_INVALIDARG, writeLong(flatbedOnly.device.get(), WIA_DPS_PAGES, 1));  // no such property
  EXPECT_EQ(S_OK, writeLong(flatbedOnly.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FLATBED));

  Session simplex(kFeederId);
  const struct {
    PROPID id;
    LONG value;
    HRESULT expected;
  } cases[] = {
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | FLATBED, E_INVALIDARG},  // one source at a time
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, 0, E_INVALIDARG},
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX, E_INVALIDARG},  // no duplexer
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | FRONT_FIRST, E_INVALIDARG},
      {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | AUTO_ADVANCE, E_INVALIDARG},
      {WIA_DPS_PAGES, -1, E_INVALIDARG},
      {WIA_DPS_PAGES, static_cast<LONG>(winsim::kFeederCapacity) + 1, E_INVALIDARG},
      {WIA_DPS_PAGE_SIZE, 3, E_INVALIDARG},  // US Legal is a WIA 2.0 size: a custom page here
      {WIA_DPS_PAGE_WIDTH, 8501, E_INVALIDARG},  // wider than the feeder takes
      {WIA_DPS_PAGE_HEIGHT, 999, E_INVALIDARG},
      {WIA_DPS_DOCUMENT_HANDLING_STATUS, 0, E_ACCESSDENIED},
      {WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES, FEED, E_ACCESSDENIED},
      {WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, 9000, E_ACCESSDENIED},
  };
  for (const auto& c : cases) {
    const LONG before = readLong(simplex.device.get(), c.id);
    EXPECT_EQ(c.expected, writeLong(simplex.device.get(), c.id, c.value)) << c.id << " = " << c.value;
    EXPECT_EQ(before, readLong(simplex.device.get(), c.id)) << c.id;
  }
  EXPECT_EQ(425, readLong(simplex.scan.get(), WIA_IPS_XEXTENT)) << "the bed at 50 dpi: no source change";

  winsim::setDevices({feederScanner(3, true)});
  Session duplex(kFeederId);
  for (LONG select : {FLATBED | DUPLEX, FEEDER | DUPLEX | FRONT_FIRST | BACK_FIRST, FEEDER | BACK_FIRST}) {
    EXPECT_EQ(E_INVALIDARG, writeLong(duplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, select)) << select;
  }
  for (LONG select : {FEEDER | DUPLEX, FEEDER | DUPLEX | FRONT_FIRST, FEEDER | DUPLEX | BACK_FIRST, FEEDER}) {
    EXPECT_EQ(S_OK, writeLong(duplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, select)) << select;
    EXPECT_EQ(select, readLong(duplex.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT));
  }
}

// The page in the feeder is the glass of a feeder scan: choosing the feeder or another page
// makes the scan area the whole page at the item's resolution, and its ranges follow it.
TEST_F(FeederTest, ThePageSizeBecomesTheScanAreaInTheFeeder) {
  winsim::setDevices({feederScanner(10)});
  Session scanner(kFeederId);
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_XRES, 100));
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_YRES, 100));
  EXPECT_EQ(850, readLong(scanner.scan.get(), WIA_IPS_XEXTENT));  // the bed
  ASSERT_EQ(S_OK, scanner.select(FEEDER));
  auto area = [&] {
    return std::vector<LONG>{readLong(scanner.scan.get(), WIA_IPS_XPOS), readLong(scanner.scan.get(), WIA_IPS_YPOS),
                             readLong(scanner.scan.get(), WIA_IPS_XEXTENT),
                             readLong(scanner.scan.get(), WIA_IPS_YEXTENT)};
  };
  EXPECT_EQ((std::vector<LONG>{0, 0, 826, 1169}), area());  // A4
  ULONG flags = 0;
  EXPECT_EQ(826, validValues(scanner.scan.get(), WIA_IPS_XEXTENT, &flags)[WIA_RANGE_MAX]);
  EXPECT_EQ(E_INVALIDARG, writeLong(scanner.scan.get(), WIA_IPS_XEXTENT, 827));

  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_SIZE, WIA_PAGE_LETTER));
  EXPECT_EQ((std::vector<LONG>{0, 0, 850, 1100}), area());
  // A5 and Legal are custom pages in WIA 1.0.
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_WIDTH, 5826));
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_HEIGHT, 8267));
  EXPECT_EQ(WIA_PAGE_CUSTOM, readLong(scanner.device.get(), WIA_DPS_PAGE_SIZE));
  EXPECT_EQ((std::vector<LONG>{0, 0, 582, 826}), area());
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_XRES, 200));  // the area stays on the page
  EXPECT_EQ((std::vector<LONG>{0, 0, 1164, 826}), area());
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_YRES, 200));
  Decoded page;
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), &page));
  EXPECT_EQ(1164, page.width);
  EXPECT_EQ(1652, page.height);
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_HEIGHT, 14000));
  EXPECT_EQ((std::vector<LONG>{0, 0, 1165, 2800}), area());  // the whole new page
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_SIZE, WIA_PAGE_A4));
  EXPECT_EQ(8267, readLong(scanner.device.get(), WIA_DPS_PAGE_WIDTH));

  // Back on the flatbed the glass is the bed again; a page chosen meanwhile waits for the feeder.
  ASSERT_EQ(S_OK, scanner.select(FLATBED));
  EXPECT_EQ((std::vector<LONG>{0, 0, 1700, 2338}), area());
  ASSERT_EQ(S_OK, writeLong(scanner.device.get(), WIA_DPS_PAGE_SIZE, WIA_PAGE_LETTER));
  EXPECT_EQ((std::vector<LONG>{0, 0, 1700, 2338}), area());
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), &page));
  EXPECT_EQ(2338, page.height);
  EXPECT_EQ(9u, winsim::feederState(kFeederId).sheetsLeft) << "only the feeder scan took a sheet";
}

TEST_F(FeederTest, ABatchFeedsEverySheetThenEndsWithPaperEmpty) {
  winsim::setDevices({feederScanner(3)});
  Session scanner(kFeederId);
  ASSERT_EQ(S_OK, scanner.select(FEEDER, ALL_PAGES));
  std::vector<LONG> statuses;
  for (int page = 0; page < 3; ++page) {
    statuses.push_back(scanner.status());
    EXPECT_EQ(S_OK, transferPage(scanner.item.get()));
  }
  statuses.push_back(scanner.status());
  EXPECT_EQ(WIA_ERROR_PAPER_EMPTY, transferPage(scanner.item.get()));
  EXPECT_EQ(WIA_ERROR_PAPER_EMPTY, transferPage(scanner.item.get()));
  const LONG ready = FLAT_READY | FEED_READY;
  EXPECT_EQ((std::vector<LONG>{ready, ready, ready, FLAT_READY}), statuses);
  EXPECT_EQ((std::vector<std::string>{"1 front", "2 front", "3 front", "empty", "empty"}), fedSides());
  const winsim::FeederState paper = winsim::feederState(kFeederId);
  EXPECT_EQ(0u, paper.sheetsLeft);
  EXPECT_EQ(3u, paper.sheetsFed);

  // More paper, and the next batch goes on numbering the sheets; the flatbed takes none.
  winsim::loadFeeder(kFeederId, 1);
  EXPECT_EQ(FLAT_READY | FEED_READY, scanner.status());
  ASSERT_EQ(S_OK, scanner.select(FLATBED));
  EXPECT_EQ(S_OK, transferPage(scanner.item.get()));
  ASSERT_EQ(S_OK, scanner.select(FEEDER));
  EXPECT_EQ(S_OK, transferPage(scanner.item.get()));
  EXPECT_EQ("", fedSides()[5]);
  EXPECT_EQ("4 front", fedSides()[6]);
  EXPECT_THROW(winsim::loadFeeder(kFeederId, winsim::kFeederCapacity + 1), std::invalid_argument);
  EXPECT_THROW(winsim::feederState(kScannerId), std::invalid_argument);  // not in the set
}

// WIA_DPS_PAGES ends a batch after that many pages with WIA_ERROR_PAPER_EMPTY, though paper
// is left; the next transfer begins another batch.
TEST_F(FeederTest, PagesEndsABatchAfterThatManyPages) {
  winsim::setDevices({feederScanner(5)});
  Session scanner(kFeederId);
  ASSERT_EQ(S_OK, scanner.select(FEEDER, 2));
  std::vector<HRESULT> results;
  for (int call = 0; call < 8; ++call) results.push_back(transferPage(scanner.item.get()));
  const HRESULT empty = WIA_ERROR_PAPER_EMPTY;
  EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK, empty, S_OK, S_OK, empty, S_OK, empty}), results);
  EXPECT_EQ((std::vector<std::string>{"1 front", "2 front", "empty", "3 front", "4 front", "empty", "5 front", "empty"}),
            fedSides());
}

TEST_F(FeederTest, DuplexDeliversBothSidesOfEachSheetInTheChosenOrder) {
  winsim::setDevices({feederScanner(4, true)});
  Session scanner(kFeederId);
  ASSERT_EQ(S_OK, scanner.select(FEEDER | DUPLEX, 3));
  EXPECT_EQ(FLAT_READY | FEED_READY | DUP_READY, scanner.status());
  for (int call = 0; call < 4; ++call) transferPage(scanner.item.get());
  // Three pages: the back of sheet 2 is not wanted, and the sheet leaves with the batch.
  EXPECT_EQ((std::vector<std::string>{"1 front", "1 back", "2 front", "empty"}), fedSides());
  EXPECT_FALSE(winsim::feederState(kFeederId).sideWaiting);

  winsim::clearJournal();
  ASSERT_EQ(S_OK, scanner.select(FEEDER | DUPLEX | BACK_FIRST));
  for (int call = 0; call < 5; ++call) transferPage(scanner.item.get());
  EXPECT_EQ((std::vector<std::string>{"3 back", "3 front", "4 back", "4 front", "empty"}), fedSides());
}

TEST_F(FeederTest, AJamStopsTheFeederUntilTheSourceIsSelectedAgain) {
  winsim::setDevices({feederScanner(4, false, 3)});
  Session scanner(kFeederId);
  ASSERT_EQ(S_OK, scanner.select(FEEDER));
  EXPECT_EQ(S_OK, transferPage(scanner.item.get()));
  EXPECT_EQ(S_OK, transferPage(scanner.item.get()));
  EXPECT_EQ(WIA_ERROR_PAPER_JAM, transferPage(scanner.item.get()));
  EXPECT_EQ(FLAT_READY | PAPER_JAM, scanner.status());
  EXPECT_EQ(WIA_ERROR_PAPER_JAM, transferPage(scanner.item.get()));  // still stuck
  EXPECT_TRUE(winsim::feederState(kFeederId).jammed);

  // Choosing the source again is the user clearing the path: the jammed sheet is gone.
  ASSERT_EQ(S_OK, scanner.select(FEEDER));
  EXPECT_EQ(FLAT_READY | FEED_READY, scanner.status());
  EXPECT_EQ(S_OK, transferPage(scanner.item.get()));
  EXPECT_EQ(WIA_ERROR_PAPER_EMPTY, transferPage(scanner.item.get()));
  EXPECT_EQ((std::vector<std::string>{"1 front", "2 front", "jammed", "jammed", "4 front", "empty"}), fedSides());
  for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) {
    if (entry.result != S_OK) {
      EXPECT_EQ("", journaledFile(entry)) << "no file for " << entry.detail;
    }
  }
}

// The paper is the device's: every session feeds from one stack, and installing a device
// set loads the feeders afresh; a session made before it keeps the paper it had.
TEST_F(FeederTest, ThePaperBelongsToTheDeviceNotToTheSession) {
  winsim::setDevices({feederScanner(3)});
  Session first(kFeederId);
  Session second(kFeederId);
  ASSERT_EQ(S_OK, first.select(FEEDER));
  EXPECT_EQ(FLATBED, readLong(second.device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT));  // settings are not shared
  ASSERT_EQ(S_OK, second.select(FEEDER));
  EXPECT_EQ(S_OK, transferPage(first.item.get()));
  EXPECT_EQ(S_OK, transferPage(second.item.get()));
  EXPECT_EQ(S_OK, transferPage(first.item.get()));
  EXPECT_EQ((std::vector<std::string>{"1 front", "2 front", "3 front"}), fedSides());
  EXPECT_EQ(FLAT_READY, second.status());

  winsim::setDevices({feederScanner(3)});
  EXPECT_EQ(3u, winsim::feederState(kFeederId).sheetsLeft);
  EXPECT_EQ(WIA_ERROR_PAPER_EMPTY, transferPage(first.item.get()));
  Session fresh(kFeederId);
  ASSERT_EQ(S_OK, fresh.select(FEEDER));
  EXPECT_EQ(S_OK, transferPage(fresh.item.get()));
  EXPECT_EQ(2u, winsim::feederState(kFeederId).sheetsLeft);
}

// Each page of the feeder carries its sheet and side in capitals large enough to read at
// 75 dpi, in the white band at the top of the chart; the flatbed's chart has none.
TEST_F(FeederTest, FeederPagesShowTheirSheetAndSide) {
  winsim::setDevices({feederScanner(2, true)});
  Session scanner(kFeederId);
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_XRES, 75));
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPS_YRES, 75));
  ASSERT_EQ(S_OK, writeLong(scanner.scan.get(), WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE));
  Decoded flatbed;
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), &flatbed));
  ASSERT_EQ(S_OK, scanner.select(FEEDER | DUPLEX));
  std::vector<Decoded> pages(3);
  for (Decoded& page : pages) ASSERT_EQ(S_OK, transferPage(scanner.item.get(), &page));

  // The label's band: 150 to 650 thousandths of an inch down, right of the 800 margin.
  auto dark = [](const Decoded& image, int x, int y) { return image.pixels[static_cast<size_t>(y) * image.width + x] < 128; };
  auto inkIn = [&](const Decoded& image) {
    int ink = 0;
    for (int y = 150 * 75 / 1000; y < 650 * 75 / 1000; ++y) {
      for (int x = 800 * 75 / 1000; x < image.width - 800 * 75 / 1000; ++x) ink += dark(image, x, y);
    }
    return ink;
  };
  auto differing = [&](const Decoded& a, const Decoded& b) {
    int count = 0;
    for (int y = 0; y < 650 * 75 / 1000; ++y) {
      for (int x = 0; x < a.width; ++x) count += dark(a, x, y) != dark(b, x, y);
    }
    return count;
  };
  EXPECT_EQ(0, inkIn(flatbed));
  for (const Decoded& page : pages) EXPECT_GT(inkIn(page), 500);
  EXPECT_GT(differing(pages[0], pages[1]), 300) << "SHEET 1 FRONT and SHEET 1 BACK";
  EXPECT_GT(differing(pages[0], pages[2]), 50) << "SHEET 1 FRONT and SHEET 2 FRONT";
  // Below the label the pages are the same chart.
  EXPECT_EQ(pages[0].pixels.size(), pages[1].pixels.size());
  EXPECT_TRUE(std::equal(pages[0].pixels.begin() + 60 * pages[0].width, pages[0].pixels.end(),
                         pages[1].pixels.begin() + 60 * pages[1].width));
}

TEST_F(FeederTest, FeedersComeFromJsonAndMistakesAreNamedByTheirPlace) {
  const std::vector<winsim::DeviceSpec> set = winsim::parseDevices(R"([
    {"kind": "scanner", "id": "adf", "transferMillis": 250,
     "feeder": {"sheets": 12, "duplex": true, "jamAt": 5, "sheetSize": {"width": 8267, "height": 11692}}},
    {"kind": "scanner", "id": "empty", "feeder": {}},
    {"kind": "scanner", "id": "flatbed"}])");
  ASSERT_EQ(3u, set.size());
  ASSERT_TRUE(set[0].feeder.has_value());
  EXPECT_EQ(12u, set[0].feeder->sheets);
  EXPECT_TRUE(set[0].feeder->duplex);
  EXPECT_EQ(5u, set[0].feeder->jamAt);
  EXPECT_EQ(8267, set[0].feeder->sheetWidth);
  EXPECT_EQ(11692, set[0].feeder->sheetHeight);
  EXPECT_EQ(250u, set[0].transferMillis);
  ASSERT_TRUE(set[1].feeder.has_value());
  EXPECT_EQ(0u, set[1].feeder->sheets);  // a feeder with no paper in it
  EXPECT_FALSE(set[1].feeder->duplex);
  EXPECT_FALSE(set[2].feeder.has_value());
  EXPECT_EQ(0u, set[2].transferMillis);
  winsim::setDevices(set);
  EXPECT_EQ(12u, winsim::feederState("adf").sheetsLeft);

  const struct {
    const char* device;
    std::string error;
  } mistakes[] = {
      {R"("feeder": {"sheets": -1})", "devices[0](x).feeder.sheets: must be between 0 and 100000"},
      {R"("feeder": {"trays": 2})", R"(devices[0](x).feeder: unknown key "trays")"},
      {R"("feeder": {"duplex": 1})", "devices[0](x).feeder.duplex: expected true or false"},
      {R"("feeder": {"sheetSize": {"depth": 1}})", R"(devices[0](x).feeder.sheetSize: unknown key "depth")"},
      {R"("feeder": true)", "devices[0](x).feeder: expected an object"},
      {R"("transferMillis": "slow")", "devices[0](x).transferMillis: expected an integer"},
  };
  for (const auto& m : mistakes) {
    EXPECT_EQ(m.error, refusalOf(std::string(R"([{"kind": "scanner", "id": "x", )") + m.device + "}]"));
  }
  // What the set as a whole cannot be is refused when it is installed.
  const struct {
    const char* device;
    const char* error;
  } impossible[] = {
      {R"("kind": "camera", "feeder": {})", "only a scanner has a document feeder"},
      {R"("kind": "scanner", "feeder": {"sheetSize": {"width": 999}})", "the feeder's sheets must be at least 1000"},
      {R"("kind": "scanner", "feeder": {"sheetSize": {"height": 60000}})", "at most 65500 pixels"},
  };
  for (const auto& i : impossible) {
    const std::string refusal = refusalOf(std::string(R"([{"id": "x", )") + i.device + "}]");
    EXPECT_NE(std::string::npos, refusal.find(i.error)) << i.device << ": " << refusal;
  }
  winsim::DeviceSpec overfull = feederScanner(winsim::kFeederCapacity + 1);
  EXPECT_THROW(winsim::setDevices({overfull}), std::invalid_argument);
}

}  // namespace
}  // namespace wiatest
