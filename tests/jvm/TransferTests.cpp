// The item transfer routine, seen through a camera and a scanner of the virtual devices: the
// format negotiation, extra properties, the file's short life, failures, the property
// listing and the diagnostic lines.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "DeviceHost.h"

namespace jvmtest {
namespace {

using winsim::DeviceKind;

const char* const kJpegPair = "4106=CLSID:{B96B3CAE-0728-11D3-9D7B-0000F81EF32E} 4108=I4:2";
const char* const kBmpPair = "4106=CLSID:{B96B3CAB-0728-11D3-9D7B-0000F81EF32E} 4108=I4:2";

class ItemTransfer : public DeviceTest {
 protected:
  // Opens one camera (one picture) or scanner, shaped by `shape`; returns its handle.
  jlong openOne(DeviceKind kind, void (*shape)(winsim::DeviceSpec&) = nullptr) {
    auto devices = deviceSet(1, kind);
    if (shape) shape(devices[0]);
    winsim::setDevices(devices);
    item_ = winsim::fullItemName(devices[0].id, kind == DeviceKind::Camera ? "IMG_0001" : "Flatbed");
    open();
    return opened_.at(0).handle;
  }
  std::vector<winsim::JournalEntry> writes() const {
    return journalOf("IWiaPropertyStorage::WriteMultiple", item_);
  }

  std::string item_;
};

// JPEG first, else BMP; the file exists during the callback only, and its path reaches the
// host as WIA wrote it, characters outside ASCII included.
TEST_F(ItemTransfer, JpegElseBmpIntoAFileThatLivesOnlyDuringTheCallback) {
  const std::string folder = std::filesystem::temp_directory_path() /
                             ("vestaro-\u00e4\u65e5-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const char* tmp = std::getenv("TMPDIR");
  const std::string savedTmp = tmp ? tmp : "";
  setenv("TMPDIR", folder.c_str(), 1);
  for (bool jpeg : {true, false}) {
    SCOPED_TRACE(jpeg ? "jpeg" : "bmp");
    winsim::clearJournal();
    void (*refuseJpeg)(winsim::DeviceSpec&) = [](winsim::DeviceSpec& d) { d.jpegFiles = false; };
    const jlong handle = openOne(DeviceKind::Camera, jpeg ? nullptr : refuseJpeg);
    LocalRef<jobject> camera(env_, newCamera());
    transfer(camera.get(), handle, false);
    const std::vector<Delivery> got = deliveries(camera.get());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].extension, jpeg ? "jpg" : "bmp");
    EXPECT_EQ(got[0].path.rfind(folder + "/", 0), 0u) << got[0].path;
    EXPECT_TRUE(got[0].existed);
    EXPECT_GT(got[0].size, 0);
    EXPECT_FALSE(std::filesystem::exists(got[0].path)) << "deleted right after the callback";
    const auto pairWrites = writes();
    ASSERT_EQ(pairWrites.size(), jpeg ? 1u : 2u) << "format and medium in one write, no extra";
    EXPECT_EQ(pairWrites[0].detail, kJpegPair);
    EXPECT_EQ(pairWrites.back().detail, jpeg ? kJpegPair : kBmpPair);
    close();
  }
  tmp ? setenv("TMPDIR", savedTmp.c_str(), 1) : unsetenv("TMPDIR");
  std::filesystem::remove_all(folder);
  EXPECT_TRUE(winsim::journal("IWiaPropertyStorage::Enum").empty()) << "no listing without debug";
  EXPECT_EQ(takeErr(), "");
  expectCensusUnchanged();
}

// Reported failures name WIAUtils and the failing step; nothing later runs (no callback, no
// extra property after a refused pair), and everything taken is given back.
TEST_F(ItemTransfer, FailuresAreReportedAndGiveBackWhatTheyTook) {
  const struct {
    winsim::Fault fault;
    const char* statement;
    size_t writes;  // the pair's, then the scanner's four settings
  } cases[] = {
      {{"IWiaItem::QueryInterface", E_NOINTERFACE, 0, ""}, "// transfer: no property storage", 0},
      {{"IWiaPropertyStorage::WriteMultiple", WIA_ERROR_BUSY, 0, ""}, "// transfer: neither JPEG nor BMP", 2},
      {{"IWiaPropertyStorage::QueryInterface", E_OUTOFMEMORY, 0, ""}, "// transfer: no data transfer", 5},
      {{"IWiaDataTransfer::idtGetData", WIA_ERROR_PAPER_JAM, 0, ""}, "// transfer: data not written", 5},
  };
  const jlong handle = openOne(DeviceKind::Scanner);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    winsim::clearJournal();
    winsim::Fault fault = c.fault;
    fault.target = item_;
    winsim::injectFault(fault);
    LocalRef<jobject> scanner(env_, newScanner());
    setScan(scanner.get(), 8, 150, -1, -1, -1, -1);
    JavaException e = transferThrown(scanner.get(), handle, false);
    winsim::clearFaults();
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, c.fault.result);
    EXPECT_EQ(e.file, reportingFile("WIAUtils.cpp"));
    EXPECT_EQ(e.line, lineOf(kUtilsSource, c.statement));
    EXPECT_TRUE(deliveries(scanner.get()).empty());
    EXPECT_EQ(writes().size(), c.writes);
  }
  close();
  expectCensusUnchanged();
}

// The host's exception stands, and the file and interfaces are given back all the same.
TEST_F(ItemTransfer, ThrowingCallbackLeavesItsExceptionAndNoFile) {
  const jlong handle = openOne(DeviceKind::Camera);
  LocalRef<jobject> camera(env_, newCamera());
  throwFromCallback(camera.get(), 0, "java/lang/IllegalStateException", "host failed");
  JavaException e = transferThrown(camera.get(), handle, false);
  EXPECT_EQ(e.className, "java.lang.IllegalStateException") << e.describe();
  EXPECT_EQ(e.message, "host failed");
  const std::vector<Delivery> got = deliveries(camera.get());
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].existed);
  EXPECT_FALSE(std::filesystem::exists(got[0].path));
  close();
  expectCensusUnchanged();
}

class ItemTransferDebug : public ItemTransfer {
 protected:
  LoadSettings loadSettings() const override { return debugProductSettings(); }
};

// With Manager.debug on at load: one line for a refused extra, later ones still written;
// then the listing, between the extras and the data transfer.
TEST_F(ItemTransferDebug, RefusedExtraAndTheListingAreReported) {
  const jlong handle = openOne(DeviceKind::Scanner);
  winsim::overrideRead({item_, WIA_IPA_DEPTH, S_OK, true, winsim::PropertyValue::i4(24)});
  winsim::overrideRead({item_, WIA_IPS_THRESHOLD, S_OK, true, winsim::PropertyValue::of(VT_UI4, 9)});
  winsim::overrideRead({item_, WIA_IPA_PLANAR, S_OK, true, winsim::PropertyValue::vector(VT_UI1, {1, 2})});
  winsim::overrideRead({item_, WIA_IPS_CONTRAST, WIA_ERROR_OFFLINE, true, {}});
  winsim::overrideRead({item_, WIA_IPS_BRIGHTNESS, S_OK, true, winsim::PropertyValue::missing()});
  LocalRef<jobject> scanner(env_, newScanner());
  setScan(scanner.get(), 8, 150, 99999, -1, 200, -1);  // x is far off the bed
  transfer(scanner.get(), handle, false);
  ASSERT_EQ(deliveries(scanner.get()).size(), 1u);

  const std::vector<std::string> lines = takeErrLines();
  EXPECT_EQ(linesStartingWith(lines, "Failed"),
            std::vector<std::string>{"Failed to set property[4] 6149 to 99999"});
  const auto all = writes();
  ASSERT_EQ(all.size(), 7u);
  EXPECT_EQ(all[6].detail, "6151=I4:200");
  EXPECT_EQ(all[6].result, S_OK) << "a later property is still written";

  // The journal's order: extras, the listing, the data transfer.
  std::vector<std::string> methods;
  for (const auto& entry : winsim::journal()) methods.push_back(entry.target == item_ ? entry.method : "");
  auto first = [&](const char* method) { return std::find(methods.begin(), methods.end(), method) - methods.begin(); };
  auto last = [&](const char* method) { return methods.rend() - std::find(methods.rbegin(), methods.rend(), method) - 1; };
  EXPECT_LT(last("IWiaPropertyStorage::WriteMultiple"), first("IWiaPropertyStorage::Enum"));
  EXPECT_LT(first("IWiaPropertyStorage::Enum"), last("IWiaPropertyStorage::ReadMultiple"));
  EXPECT_LT(last("IWiaPropertyStorage::ReadMultiple"), first("IWiaDataTransfer::idtGetData"));

  ASSERT_GE(lines.size(), 3u);
  const size_t heading = std::find(lines.begin(), lines.end(), "Item property storage:") - lines.begin();
  ASSERT_LT(heading, lines.size());
  EXPECT_EQ(lines[heading - 1], "") << "an empty line before the heading";
  auto lineFor = [&](PROPID id) {
    const auto found = linesStartingWith(lines, "  " + std::to_string(id) + " - ");
    return found.empty() ? std::string("<none>") : found[0];
  };
  EXPECT_EQ(lineFor(WIA_IPA_ITEM_NAME), "  4098 - Item Name - \"Flatbed\"");
  EXPECT_EQ(lineFor(WIA_IPA_DEPTH), "  4104 - Bits Per Pixel - 0x18 (24)");
  EXPECT_EQ(lineFor(WIA_IPS_THRESHOLD), "  6159 - Threshold - <UI4>");
  EXPECT_EQ(lineFor(WIA_IPA_PLANAR), "  4111 - Planar - <unknown>");
  EXPECT_EQ(lineFor(WIA_IPS_CONTRAST), "  6155 - Contrast - ERROR");
  EXPECT_EQ(lineFor(WIA_IPS_BRIGHTNESS), "  6154 - Brightness - <EMPTY>") << "read with S_OK";
  close();
  expectCensusUnchanged();  // every value and name the listing read given back
}

}  // namespace
}  // namespace jvmtest
