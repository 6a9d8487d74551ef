// The item transfer routine, seen through a camera and a scanner of the virtual devices: the
// format negotiation, extra properties, the file's short life, failures, the property
// listing and the diagnostic lines.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "DeviceHost.h"

namespace jvmtest {
namespace {

using winsim::DeviceKind;

const char* const kJpegPair = "4106=CLSID:{B96B3CAE-0728-11D3-9D7B-0000F81EF32E} 4108=I4:2";
const char* const kBmpPair = "4106=CLSID:{B96B3CAB-0728-11D3-9D7B-0000F81EF32E} 4108=I4:2";

bool exists(const std::string& path) { return std::filesystem::exists(path); }

// A camera with one picture, or a scanner, opened through the manager.
class ItemTransfer : public DeviceTest {
 protected:
  // Opens one device of `kind`, shaped by `shape`; returns its handle.
  template <typename Shape>
  jlong openOne(DeviceKind kind, Shape shape) {
    auto devices = deviceSet(1, kind);
    shape(devices[0]);
    winsim::setDevices(devices);
    deviceId_ = devices[0].id;
    kindOpened_ = kind;
    open();
    return handleOf(deviceId_);
  }
  jlong openOne(DeviceKind kind) {
    return openOne(kind, [](winsim::DeviceSpec&) {});
  }
  std::string itemName() const {
    return winsim::fullItemName(deviceId_, kindOpened_ == DeviceKind::Camera ? "IMG_0001" : "Flatbed");
  }
  std::vector<winsim::JournalEntry> writes() const {
    return journalOf("IWiaPropertyStorage::WriteMultiple", itemName());
  }

  std::string deviceId_;
  DeviceKind kindOpened_ = DeviceKind::Camera;
};

TEST_F(ItemTransfer, JpegFileLivesOnlyDuringTheCallback) {
  // The path reaches the host as WIA wrote it, characters outside ASCII included.
  const std::string folder = std::filesystem::temp_directory_path() /
                             ("vestaro-\u00e4\u65e5-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string savedTmp = oldTmp ? oldTmp : "";
  setenv("TMPDIR", folder.c_str(), 1);

  const jlong handle = openOne(DeviceKind::Camera);
  LocalRef<jobject> camera(env_, newCamera());
  transfer(camera.get(), handle, false);
  oldTmp ? setenv("TMPDIR", savedTmp.c_str(), 1) : unsetenv("TMPDIR");

  const std::vector<Delivery> got = deliveries(camera.get());
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].extension, "jpg");
  EXPECT_EQ(got[0].path.rfind(folder + "/", 0), 0u) << got[0].path;
  EXPECT_TRUE(got[0].existed);
  EXPECT_GT(got[0].size, 0);
  EXPECT_FALSE(exists(got[0].path)) << "deleted right after the callback";
  std::filesystem::remove_all(folder);

  const auto pairWrites = writes();
  ASSERT_EQ(pairWrites.size(), 1u) << "format and medium in one write, no extra property";
  EXPECT_EQ(pairWrites[0].detail, kJpegPair);
  EXPECT_TRUE(winsim::journal("IWiaPropertyStorage::Enum").empty()) << "no listing without debug";
  EXPECT_EQ(takeErr(), "");
  close();
  expectCensusUnchanged();
}

TEST_F(ItemTransfer, BmpWhenTheDeviceRefusesJpeg) {
  const jlong handle = openOne(DeviceKind::Camera, [](winsim::DeviceSpec& d) { d.jpegFiles = false; });
  LocalRef<jobject> camera(env_, newCamera());
  transfer(camera.get(), handle, false);
  const std::vector<Delivery> got = deliveries(camera.get());
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].extension, "bmp");
  const auto pairWrites = writes();
  ASSERT_EQ(pairWrites.size(), 2u);
  EXPECT_EQ(pairWrites[0].detail, kJpegPair);
  EXPECT_NE(pairWrites[0].result, S_OK);
  EXPECT_EQ(pairWrites[1].detail, kBmpPair);
  close();
  expectCensusUnchanged();
}

// Reported failures: the exception names WIAUtils and the failing step; nothing later runs,
// and everything taken is given back.
TEST_F(ItemTransfer, FailuresAreReportedAndGiveBackWhatTheyTook) {
  struct Case {
    winsim::Fault fault;
    const char* statement;
    size_t pairWrites;
  };
  const Case cases[] = {
      {{"IWiaItem::QueryInterface", E_NOINTERFACE, 0, ""}, "// transfer: no property storage", 0},
      {{"IWiaPropertyStorage::WriteMultiple", WIA_ERROR_BUSY, 0, ""}, "// transfer: neither JPEG nor BMP", 2},
      {{"IWiaPropertyStorage::QueryInterface", E_OUTOFMEMORY, 0, ""}, "// transfer: no data transfer", 1},
      {{"IWiaDataTransfer::idtGetData", WIA_ERROR_PAPER_JAM, 0, ""}, "// transfer: data not written", 1},
  };
  const jlong handle = openOne(DeviceKind::Camera);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    winsim::clearJournal();
    winsim::Fault fault = c.fault;
    fault.target = itemName();
    winsim::injectFault(fault);
    LocalRef<jobject> camera(env_, newCamera());
    JavaException e = transferThrown(camera.get(), handle, false);
    winsim::clearFaults();
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, c.fault.result);
    EXPECT_EQ(e.file, reportingFile("WIAUtils.cpp"));
    EXPECT_EQ(e.line, lineOf(kUtilsSource, c.statement));
    EXPECT_TRUE(deliveries(camera.get()).empty());
    EXPECT_EQ(writes().size(), c.pairWrites);
  }
  close();
  expectCensusUnchanged();
}

TEST_F(ItemTransfer, DeviceWithNeitherFormatWritesNoExtraProperty) {
  const jlong handle = openOne(DeviceKind::Scanner, [](winsim::DeviceSpec& d) {
    d.jpegFiles = false;
    d.bmpFiles = false;
  });
  LocalRef<jobject> scanner(env_, newScanner());
  setScan(scanner.get(), 8, 300, 0, 0, 100, 100);
  JavaException e = transferThrown(scanner.get(), handle, false);
  const auto pairWrites = writes();
  ASSERT_EQ(pairWrites.size(), 2u) << "the pair twice, then nothing";
  ASSERT_TRUE(e.isVestaro) << e.describe();
  EXPECT_EQ(e.code, pairWrites[1].result) << "the second attempt's code";
  EXPECT_EQ(e.line, lineOf(kUtilsSource, "// transfer: neither JPEG nor BMP"));
  EXPECT_TRUE(deliveries(scanner.get()).empty());
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
  EXPECT_FALSE(exists(got[0].path));
  close();
  expectCensusUnchanged();
}

// With Manager.debug on at load: refused extra properties and the item's listing.
class ItemTransferDebug : public ItemTransfer {
 protected:
  LoadSettings loadSettings() const override { return debugProductSettings(); }
};

TEST_F(ItemTransferDebug, RefusedExtraIsPrintedOnceAndTheRestAreWritten) {
  const jlong handle = openOne(DeviceKind::Scanner);
  LocalRef<jobject> scanner(env_, newScanner());
  setScan(scanner.get(), 8, 150, 99999, -1, 200, -1);  // x is far off the bed
  transfer(scanner.get(), handle, false);
  ASSERT_EQ(deliveries(scanner.get()).size(), 1u);

  const std::vector<std::string> failed = linesStartingWith(takeErrLines(), "Failed");
  EXPECT_EQ(failed, std::vector<std::string>{"Failed to set property[4] 6149 to 99999"});
  const auto all = writes();
  ASSERT_EQ(all.size(), 7u);
  EXPECT_EQ(all[5].detail, "6149=I4:99999");
  EXPECT_NE(all[5].result, S_OK);
  EXPECT_EQ(all[6].detail, "6151=I4:200");
  EXPECT_EQ(all[6].result, S_OK) << "a later property is still written";
  close();
  expectCensusUnchanged();
}

TEST_F(ItemTransferDebug, ListingComesAfterTheExtrasAndBeforeTheData) {
  const jlong handle = openOne(DeviceKind::Scanner);
  // Forms the listing takes on a real storage: an integer, an unsigned, a vector, a failure.
  const std::string item = itemName();
  winsim::overrideRead({item, WIA_IPA_DEPTH, S_OK, true, winsim::PropertyValue::i4(24)});
  winsim::overrideRead({item, WIA_IPS_THRESHOLD, S_OK, true, winsim::PropertyValue::of(VT_UI4, 9)});
  winsim::overrideRead({item, WIA_IPA_PLANAR, S_OK, true, winsim::PropertyValue::vector(VT_UI1, {1, 2})});
  winsim::overrideRead({item, WIA_IPS_CONTRAST, WIA_ERROR_OFFLINE, true, {}});
  LocalRef<jobject> scanner(env_, newScanner());
  setScan(scanner.get(), 8, 150, -1, -1, -1, -1);
  transfer(scanner.get(), handle, false);
  ASSERT_EQ(deliveries(scanner.get()).size(), 1u);

  // The journal's order: extras, then the listing, then the data transfer.
  const std::vector<winsim::JournalEntry> all = winsim::journal();
  auto lastOf = [&](const std::string& method) {
    int found = -1;
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i].method == method && all[i].target == item) found = static_cast<int>(i);
    }
    return found;
  };
  auto firstOf = [&](const std::string& method) {
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i].method == method && all[i].target == item) return static_cast<int>(i);
    }
    return -1;
  };
  const int lastWrite = lastOf("IWiaPropertyStorage::WriteMultiple");
  const int firstEnum = firstOf("IWiaPropertyStorage::Enum");
  const int lastRead = lastOf("IWiaPropertyStorage::ReadMultiple");
  const int data = firstOf("IWiaDataTransfer::idtGetData");
  EXPECT_LT(lastWrite, firstEnum);
  EXPECT_LT(firstEnum, lastRead);
  EXPECT_LT(lastRead, data);

  const std::vector<std::string> lines = takeErrLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Item property storage:");
  auto lineFor = [&](PROPID id) {
    const std::string prefix = "  " + std::to_string(id) + " - ";
    for (const std::string& line : lines) {
      if (line.rfind(prefix, 0) == 0) return line;
    }
    return std::string("<no line for ") + std::to_string(id) + ">";
  };
  EXPECT_EQ(lineFor(WIA_IPA_ITEM_NAME), "  4098 - Item Name - \"Flatbed\"");
  EXPECT_EQ(lineFor(WIA_IPA_DEPTH), "  4104 - Bits Per Pixel - 0x18 (24)");
  EXPECT_EQ(lineFor(WIA_IPS_THRESHOLD), "  6159 - Threshold - <UI4>");
  EXPECT_EQ(lineFor(WIA_IPA_PLANAR), "  4111 - Planar - <unknown>");
  EXPECT_EQ(lineFor(WIA_IPS_CONTRAST), "  6155 - Contrast - ERROR");
  for (size_t i = 2; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind("  ", 0), 0u) << lines[i];
  close();
  expectCensusUnchanged();
}

// The listing over a storage made by the probe, which shows every form of line.
class Listing : public JvmTest {
 protected:
  LoadSettings loadSettings() const override {
    LoadSettings settings{"probe"};
    settings.library = kProbeLibrary;
    return settings;
  }
  jint dump(jint mode) {
    return callStatic<jint>(env_, "kordin/vestaro/testhost/ListingProbe", "dump", "(I)I", mode);
  }
};

TEST_F(Listing, EveryFormOfLineAndEverythingGivenBack) {
  EXPECT_EQ(dump(0), 0) << "the enumerator is released";
  const std::vector<std::string> expected = {
      "  4098 - Item Name - \"Bild \u00e4 \u65e5\u672c\"",
      "  4103 - Data Type - 0x18 (24)",
      "  4104 - Negative - 0xffffffff (-1)",
      "  4105 - Unsigned - <UI4>",
      "  4106 - Empty - <EMPTY>",
      "  4107 - Vector - <unknown>",
      "  4108 - Unreadable - ERROR",
      "  4109 - Partial - ERROR",
      "  4110 - (null) - <I2>",
  };
  EXPECT_EQ(takeErrLines(), expected);
  expectCensusUnchanged();  // names, strings and the vector freed
}

TEST_F(Listing, MissingEnumeratorOrFailingNextEndsQuietly) {
  EXPECT_EQ(dump(1), 0);
  EXPECT_TRUE(takeErrLines().empty());
  EXPECT_EQ(dump(2), 0);
  EXPECT_EQ(takeErrLines().size(), 2u);
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
