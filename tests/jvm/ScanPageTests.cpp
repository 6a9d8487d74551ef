// Batches of pages through WIAScanner._scanPages on the virtual scanner: the feeder to the end
// of its paper or to a page count, duplex order, an empty feeder, a jam, cancels in and
// between pages, progress, a throwing scanProgress, refused writes, page sizes, the flatbed,
// the exact calls the device receives, and handles and arguments that are wrong.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "DeviceHost.h"

namespace jvmtest {
namespace {

using winsim::DeviceKind;

constexpr jint kCompleted = 0, kCancelled = 1, kFeederEmpty = 2;
const std::vector<jint> kSmallPages = {WIA_IPS_XRES, 50, WIA_IPS_YRES, 50};

// The root writes of a feeder batch: the selection, then the device's own page count.
std::vector<jint> feederWrites(jint select, jint pages = ALL_PAGES) {
  return {WIA_DPS_DOCUMENT_HANDLING_SELECT, select, WIA_DPS_PAGES, pages};
}

// Each transfer's side as the device fed it ("2 back", "2 front cancelled"), or "empty" and
// "jammed" for a transfer that found no paper or a jam.
std::vector<std::string> fedSides() {
  std::vector<std::string> sides;
  for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) {
    const std::string& d = entry.detail;
    if (d.find("feeder=empty") != std::string::npos) {
      sides.push_back("empty");
    } else if (d.find("feeder=jammed") != std::string::npos) {
      sides.push_back("jammed");
    } else if (const size_t at = d.find("sheet="); at != std::string::npos) {
      const size_t end = d.find(" file=", at);
      sides.push_back(d.substr(at + 6, end == std::string::npos ? std::string::npos : end - at - 6));
    } else {
      sides.push_back("flatbed");
    }
  }
  return sides;
}

class ScanPages : public DeviceTest {
 protected:
  // Opens one scanner, with a feeder of `sheets` unless `feeder` is false; its handle.
  jlong openScanner(unsigned sheets, bool duplex = false, unsigned jamAt = 0, bool feeder = true) {
    scanner_ = deviceSet(1, DeviceKind::Scanner)[0];
    if (feeder) scanner_.feeder = winsim::FeederSpec{sheets, duplex, jamAt};
    winsim::setDevices({scanner_});
    open();
    return handleOf(scanner_.id);
  }
  ScanOutcome scan(jobject scanner, const std::vector<jint>& rootWrites, jint maxPages = 0) {
    winsim::clearJournal();
    return scanPages(scanner, handleOf(scanner_.id), rootWrites, kSmallPages, maxPages);
  }
  // Each page arrived as a file that existed during its callback and is gone now.
  static void expectPagesGone(const std::vector<Delivery>& pages) {
    for (const Delivery& page : pages) {
      EXPECT_TRUE(page.existed) << page.path;
      EXPECT_EQ(page.extension, "jpg");
      EXPECT_FALSE(std::filesystem::exists(page.path)) << page.path;
    }
  }
  // The file of the `n`-th transfer (0-based) as the device named it, "" for none.
  static std::string fileOfTransfer(size_t n) {
    const std::string detail = winsim::journal("IWiaDataTransfer::idtGetData").at(n).detail;
    const size_t at = detail.find("file=");
    return at == std::string::npos ? "" : detail.substr(at + 5);
  }

  winsim::DeviceSpec scanner_;
};

// Nothing to acquire, an empty feeder, is an outcome of its own, not a failure.
TEST_F(ScanPages, TheFeederDeliversEveryPageInOrderUntilItsPaperRunsOut) {
  const struct {
    unsigned sheets;
    jint outcome;
    std::vector<std::string> sides;
  } cases[] = {{3, kCompleted, {"1 front", "2 front", "3 front", "empty"}}, {0, kFeederEmpty, {"empty"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.sheets) + " sheets");
    openScanner(c.sheets);
    LocalRef<jobject> scanner(env_, newScanner());
    const ScanOutcome result = scan(scanner.get(), feederWrites(FEEDER));
    ASSERT_FALSE(result.thrown.thrown) << result.thrown.describe();
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(fedSides(), c.sides);
    const std::vector<Delivery> pages = deliveries(scanner.get());
    ASSERT_EQ(pages.size(), c.sheets);
    expectPagesGone(pages);
    for (size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(pages[i].path, fileOfTransfer(i)) << "in the order they came";
    close();
  }
  expectCensusUnchanged();
}

// The root's writes one at a time before anything else, the selection read back, the item's
// format pair and settings, then one transfer per page, each with the library's callback.
TEST_F(ScanPages, TheDeviceReceivesExactlyTheseCalls) {
  openScanner(1);
  LocalRef<jobject> scanner(env_, newScanner());
  ASSERT_EQ(scan(scanner.get(), feederWrites(FEEDER)).outcome, kCompleted);
  const std::string root = winsim::fullItemName(scanner_.id, "");
  const std::string item = winsim::fullItemName(scanner_.id, "Flatbed");
  std::vector<std::string> calls;
  for (const auto& e : winsim::journal()) {
    if (e.method == "IWiaDataCallback::BandedDataCallback") {
      if (calls.back() != "messages") calls.push_back("messages");
      continue;
    }
    std::string detail = e.detail.substr(0, e.detail.find(" file="));
    if (detail.rfind("cookie=", 0) == 0) detail = detail.substr(detail.find(' ') + 1);
    calls.push_back(e.method + (e.target == root ? " root " : e.target == item ? " item " : " ") + detail);
  }
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "IWiaItem::QueryInterface root iid={4DB1AD10-3391-11D2-9A33-00C04FA36145}",
                       "IGlobalInterfaceTable::GetInterfaceFromGlobal iid={4DB1AD10-3391-11D2-9A33-00C04FA36145}",
                       "IWiaItem::EnumChildItems root ",
                       "IEnumWiaItem::Next item celt=1",
                       "IWiaItem::QueryInterface root iid={98B5E8A0-29CC-491A-AAC0-E6DB4FDCCEB6}",
                       "IWiaPropertyStorage::WriteMultiple root 3088=I4:1",
                       "IWiaPropertyStorage::WriteMultiple root 3096=I4:0",
                       "IWiaPropertyStorage::ReadMultiple root 3088",
                       "IWiaItem::QueryInterface item iid={98B5E8A0-29CC-491A-AAC0-E6DB4FDCCEB6}",
                       "IWiaPropertyStorage::WriteMultiple item 4106=CLSID:{B96B3CAE-0728-11D3-9D7B-0000F81EF32E} 4108=I4:2",
                       "IWiaPropertyStorage::WriteMultiple item 6147=I4:50",
                       "IWiaPropertyStorage::WriteMultiple item 6148=I4:50",
                       "IWiaPropertyStorage::QueryInterface item iid={A6CEF998-A5B0-11D2-A08F-00C04F72DC3C}",
                       "messages",
                       "IWiaDataTransfer::idtGetData item tymed=2 callback=yes sheet=1 front",
                       "IWiaDataTransfer::idtGetData item tymed=2 callback=yes feeder=empty",
                   }));
  close();
  expectCensusUnchanged();
}

// The batch stops at the caller's count without another transfer, or where the device's own
// WIA_DPS_PAGES ends it; the flatbed gives one page whatever the count.
TEST_F(ScanPages, APageCountStopsTheBatchAndTheFlatbedGivesOnePage) {
  openScanner(5);
  LocalRef<jobject> counted(env_, newScanner());
  EXPECT_EQ(scan(counted.get(), feederWrites(FEEDER), 2).outcome, kCompleted);
  EXPECT_EQ(fedSides(), (std::vector<std::string>{"1 front", "2 front"}));
  EXPECT_EQ(winsim::feederState(scanner_.id).sheetsLeft, 3u);
  LocalRef<jobject> deviceCounted(env_, newScanner());
  EXPECT_EQ(scan(deviceCounted.get(), feederWrites(FEEDER, 2), 0).outcome, kCompleted);
  EXPECT_EQ(fedSides(), (std::vector<std::string>{"3 front", "4 front", "empty"}));
  for (jint maxPages : {0, 1, 3}) {
    LocalRef<jobject> flatbed(env_, newScanner());
    EXPECT_EQ(scan(flatbed.get(), {WIA_DPS_DOCUMENT_HANDLING_SELECT, FLATBED}, maxPages).outcome, kCompleted);
    EXPECT_EQ(fedSides(), std::vector<std::string>{"flatbed"}) << maxPages;
    EXPECT_EQ(deliveries(flatbed.get()).size(), 1u);
  }
  EXPECT_EQ(deliveries(counted.get()).size(), 2u);
  EXPECT_EQ(deliveries(deviceCounted.get()).size(), 2u);
  close();
  expectCensusUnchanged();
}

TEST_F(ScanPages, DuplexGivesTheFrontThenTheBackOfEachSheet) {
  openScanner(2, true);
  LocalRef<jobject> scanner(env_, newScanner());
  EXPECT_EQ(scan(scanner.get(), feederWrites(FEEDER | DUPLEX | FRONT_FIRST)).outcome, kCompleted);
  EXPECT_EQ(fedSides(), (std::vector<std::string>{"1 front", "1 back", "2 front", "2 back", "empty"}));
  expectPagesGone(deliveries(scanner.get()));
  EXPECT_EQ(deliveries(scanner.get()).size(), 4u);
  close();
  expectCensusUnchanged();
}

TEST_F(ScanPages, AJamDeliversThePagesBeforeItThenReportsIt) {
  openScanner(5, false, 3);
  LocalRef<jobject> scanner(env_, newScanner());
  const ScanOutcome result = scan(scanner.get(), feederWrites(FEEDER));
  ASSERT_TRUE(result.thrown.isVestaro) << result.thrown.describe();
  EXPECT_EQ(result.thrown.code, WIA_ERROR_PAPER_JAM);
  EXPECT_EQ(result.thrown.file, reportingFile("ScanBatch.cpp"));
  EXPECT_EQ(result.thrown.line, lineOf(kScanBatchSource, "// scan pages: page failed"));
  EXPECT_EQ(fedSides(), (std::vector<std::string>{"1 front", "2 front", "jammed"}));
  const std::vector<Delivery> pages = deliveries(scanner.get());
  EXPECT_EQ(pages.size(), 2u);
  expectPagesGone(pages);
  close();
  expectCensusUnchanged();
}

// A cancel in a page ends its transfer and deletes its file; one between pages (or before a
// driver's first message) ends the batch before the next transfer. Pages before it stay.
TEST_F(ScanPages, ACancelEndsTheBatchAndKeepsThePagesBeforeIt) {
  const struct {
    jint page, percent;
    std::vector<std::string> sides;
  } cases[] = {
      {2, 40, {"1 front", "2 front cancelled"}},
      {2, 0, {"1 front"}},
      {1, 100, {"1 front cancelled"}},  // the last message of the page still cancels it
  };
  for (const auto& c : cases) {
    openScanner(10);  // fresh paper: sheets are numbered from 1 again
    SCOPED_TRACE("cancel at page " + std::to_string(c.page) + ", " + std::to_string(c.percent) + " %");
    LocalRef<jobject> scanner(env_, newScanner());
    cancelAt(scanner.get(), c.page, c.percent);
    const ScanOutcome result = scan(scanner.get(), feederWrites(FEEDER));
    EXPECT_FALSE(result.thrown.thrown) << result.thrown.describe();
    EXPECT_EQ(result.outcome, kCancelled);
    EXPECT_EQ(fedSides(), c.sides);
    const std::vector<Delivery> pages = deliveries(scanner.get());
    EXPECT_EQ(pages.size(), static_cast<size_t>(c.page - 1));
    expectPagesGone(pages);
    if (c.percent > 0) {
      const std::string cancelledFile = fileOfTransfer(static_cast<size_t>(c.page - 1));
      EXPECT_FALSE(cancelledFile.empty());
      EXPECT_FALSE(std::filesystem::exists(cancelledFile)) << cancelledFile;
    }
    const Progress last = progress(scanner.get()).back();
    EXPECT_EQ(last.page, c.page) << "no question after the cancel";
    close();
  }
  expectCensusUnchanged();
}

// Each page asks at 0 before its transfer, then at every message of the driver, never
// going back, ending at 100; pages are counted from 1.
TEST_F(ScanPages, ProgressRisesOnEveryPageToOneHundred) {
  openScanner(2, true);
  LocalRef<jobject> scanner(env_, newScanner());
  ASSERT_EQ(scan(scanner.get(), feederWrites(FEEDER | DUPLEX | FRONT_FIRST), 3).outcome, kCompleted);
  const std::vector<Progress> calls = progress(scanner.get());
  const size_t messages = winsim::journal("IWiaDataCallback::BandedDataCallback").size();
  EXPECT_EQ(calls.size(), messages + 3) << "one question before each page, one per message";
  for (jint page = 1; page <= 3; ++page) {
    std::vector<jint> percents;
    for (const Progress& call : calls) {
      if (call.page == page) percents.push_back(call.percent);
    }
    SCOPED_TRACE("page " + std::to_string(page));
    ASSERT_GE(percents.size(), 4u);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
  }
  EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end(),
                             [](const Progress& a, const Progress& b) { return a.page < b.page; }));
  close();
  expectCensusUnchanged();
}

// An exception from scanProgress cancels, in a page or before it, and is what the host sees;
// the pages before it stay delivered and the cancelled page's file is gone.
TEST_F(ScanPages, AThrowingScanProgressCancelsAndItsExceptionStands) {
  for (jint percent : {30, 0}) {
    openScanner(10);
    SCOPED_TRACE("throwing at " + std::to_string(percent) + " %");
    LocalRef<jobject> scanner(env_, newScanner());
    throwAt(scanner.get(), 2, percent, "java/lang/IllegalStateException", "progress failed");
    const ScanOutcome result = scan(scanner.get(), feederWrites(FEEDER));
    EXPECT_EQ(result.thrown.className, "java.lang.IllegalStateException") << result.thrown.describe();
    EXPECT_EQ(result.thrown.message, "progress failed");
    EXPECT_TRUE(result.thrown.suppressed.empty()) << result.thrown.describe();
    const std::vector<std::string> sides =
        percent == 0 ? std::vector<std::string>{"1 front"} : std::vector<std::string>{"1 front", "2 front cancelled"};
    EXPECT_EQ(fedSides(), sides);
    EXPECT_EQ(deliveries(scanner.get()).size(), 1u);
    expectPagesGone(deliveries(scanner.get()));
    close();
  }
  expectCensusUnchanged();
}

// A root write the device refuses is reported and nothing is scanned; a refused item write
// is only printed when debugging, and the page comes with the device's own value.
TEST_F(ScanPages, ARefusedRootWriteScansNothingAndARefusedItemWriteScansAllTheSame) {
  openScanner(0, false, 0, false);
  LocalRef<jobject> scanner(env_, newScanner());
  const ScanOutcome refused = scan(scanner.get(), {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER, WIA_DPS_PAGES, 1});
  ASSERT_TRUE(refused.thrown.isVestaro) << refused.thrown.describe();
  EXPECT_EQ(refused.thrown.code, E_INVALIDARG);
  EXPECT_EQ(refused.thrown.file, reportingFile("ScanBatch.cpp"));
  EXPECT_EQ(refused.thrown.line, lineOf(kScanBatchSource, "// scan pages: root write refused"));
  EXPECT_EQ(winsim::journal("IWiaPropertyStorage::WriteMultiple").size(), 1u) << "the rest is not written";
  EXPECT_TRUE(winsim::journal("IWiaDataTransfer::idtGetData").empty());

  winsim::clearJournal();
  const ScanOutcome scanned = scanPages(scanner.get(), handleOf(scanner_.id), {}, {WIA_IPS_XRES, 99999}, 0);
  EXPECT_FALSE(scanned.thrown.thrown) << scanned.thrown.describe();
  EXPECT_EQ(scanned.outcome, kCompleted);
  EXPECT_EQ(deliveries(scanner.get()).size(), 1u);
  EXPECT_EQ(takeErr(), "");
  close();
  expectCensusUnchanged();
}

// The root's page width and height make the feeder's page, and so the image, at the item's
// resolution.
TEST_F(ScanPages, TheRootsPageSizeIsTheScannedPage) {
  scanner_ = deviceSet(1, DeviceKind::Scanner)[0];
  scanner_.feeder = winsim::FeederSpec{2, false, 0};
  scanner_.jpegFiles = false;  // a BMP's header says its size in a fixed place
  winsim::setDevices({scanner_});
  open();
  const std::string copies = std::filesystem::temp_directory_path() / ("vestaro-pages-" + std::to_string(getpid()));
  std::filesystem::create_directories(copies);
  LocalRef<jobject> scanner(env_, newScanner());
  copyInto(scanner.get(), copies);
  std::vector<jint> rootWrites = feederWrites(FEEDER);
  rootWrites.insert(rootWrites.end(), {WIA_DPS_PAGE_WIDTH, 5826, WIA_DPS_PAGE_HEIGHT, 8267});  // A5
  const ScanOutcome result = scanPages(scanner.get(), handleOf(scanner_.id), rootWrites,
                                       {WIA_IPS_XRES, 100, WIA_IPS_YRES, 100}, 1);
  EXPECT_EQ(result.outcome, kCompleted) << result.thrown.describe();
  const std::vector<Delivery> pages = deliveries(scanner.get());
  ASSERT_EQ(pages.size(), 1u);
  std::ifstream in(pages[0].copy, std::ios::binary);
  std::string header(26, '\0');
  in.read(header.data(), 26);
  auto number = [&header](size_t at) {
    return int32_t(uint8_t(header[at]) | uint8_t(header[at + 1]) << 8 | uint8_t(header[at + 2]) << 16 |
                   uint32_t(uint8_t(header[at + 3])) << 24);
  };
  EXPECT_EQ(pages[0].extension, "bmp");
  EXPECT_EQ(number(18), 582);  // 5.826 inches at 100 dpi
  EXPECT_EQ(number(22), 826);
  std::filesystem::remove_all(copies);
  close();
  expectCensusUnchanged();
}

// A handle that resolves to nothing is reported by the lookup; a negative count or a write
// without its value before the device is touched. Nothing is delivered.
TEST_F(ScanPages, WrongHandlesAndArgumentsAreReported) {
  openScanner(3);
  const jlong released = handleOf(scanner_.id);
  const struct {
    jlong handle;
    std::vector<jint> rootWrites;
    jint maxPages;
    HRESULT code;
    const char* source;
    const char* statement;
  } cases[] = {
      {0x7FFF0000, feederWrites(FEEDER), 0, E_INVALIDARG, kScanItemSource, "LOOK_UP_HANDLE("},
      {released, feederWrites(FEEDER), -1, E_INVALIDARG, kScannerSource, "// scan pages: a negative page count"},
      {released, {WIA_DPS_DOCUMENT_HANDLING_SELECT}, 0, E_INVALIDARG, kScannerSource,
       "// scan pages: a property without its value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    LocalRef<jobject> scanner(env_, newScanner());
    const ScanOutcome result = scanPages(scanner.get(), c.handle, c.rootWrites, {}, c.maxPages);
    ASSERT_TRUE(result.thrown.isVestaro) << result.thrown.describe();
    EXPECT_EQ(result.thrown.code, c.code);
    EXPECT_EQ(result.thrown.file, reportingFile(std::filesystem::path(c.source).filename().string()));
    EXPECT_EQ(result.thrown.line, lineOf(c.source, c.statement));
    EXPECT_TRUE(deliveries(scanner.get()).empty());
  }
  EXPECT_EQ(winsim::feederState(scanner_.id).sheetsLeft, 3u);
  close();
  LocalRef<jobject> scanner(env_, newScanner());
  const ScanOutcome afterRelease = scanPages(scanner.get(), released, feederWrites(FEEDER), {}, 0);
  EXPECT_TRUE(afterRelease.thrown.isVestaro) << afterRelease.thrown.describe();
  EXPECT_EQ(afterRelease.thrown.line, lineOf(kScanItemSource, "LOOK_UP_HANDLE("));
  expectCensusUnchanged();
}

// A host whose WIAScanner has the natives but no scanProgress: its scans go on to the end,
// with the library's callback answering every message, and it cannot cancel.
class ScanPagesWithoutProgress : public ScanPages {
 protected:
  LoadSettings loadSettings() const override { return otherHostSettings("no-progress-host", NO_PROGRESS_HOST_JAR); }
};

TEST_F(ScanPagesWithoutProgress, ScanEveryPageAndCannotCancel) {
  openScanner(2, true);
  LocalRef<jobject> scanner(env_, newScanner());
  cancelAt(scanner.get(), 1, 0);  // the recording scanner's own method, which nothing calls
  const ScanOutcome result = scan(scanner.get(), feederWrites(FEEDER | DUPLEX | FRONT_FIRST));
  ASSERT_FALSE(result.thrown.thrown) << result.thrown.describe();
  EXPECT_EQ(result.outcome, kCompleted);
  EXPECT_EQ(deliveries(scanner.get()).size(), 4u);
  EXPECT_TRUE(progress(scanner.get()).empty());
  for (const auto& message : winsim::journal("IWiaDataCallback::BandedDataCallback")) EXPECT_EQ(message.result, S_OK);
  close();
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
