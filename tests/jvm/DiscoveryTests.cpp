// The device manager and discovery: what the host's add receives, which devices are passed
// over, the failures reported, and the lifetime of handles.
#include "DeviceHost.h"

namespace jvmtest {
namespace {

using winsim::DeviceKind;
using winsim::PropertyValue;

constexpr jlong kUpperBits = jlong(0x5A5A0000) << 32;

class Discovery : public DeviceTest {
 protected:
  void expectReported(const JavaException& e, HRESULT code, const char* source, const char* statement) {
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, code) << e.describe();
    const std::string path(source);
    EXPECT_EQ(e.file, reportingFile(path.substr(path.rfind('/') + 1)));
    EXPECT_EQ(e.line, lineOf(source, statement));
  }
};

TEST_F(Discovery, DevicesAreOfferedInOrderWithNameHandleTypeAndId) {
  winsim::setDevices({});
  EXPECT_TRUE(open().empty());
  close();

  auto devices = deviceSet(3, DeviceKind::Scanner);
  devices[1].kind = DeviceKind::Camera;
  devices[1].subtype = 7;
  devices[1].name = "Kam\u00e9ra \u65e5\u672c";
  devices[2].info = {{WIA_DIP_DEV_NAME, PropertyValue::bstr(std::string("A\0B", 3))}};
  winsim::setDevices(devices);
  const std::vector<Offer> offered = open();
  ASSERT_EQ(offered.size(), 3u);
  EXPECT_EQ(offered[0].name, "Scanner 0");
  EXPECT_EQ(offered[0].id, "{TEST}\\0000");
  EXPECT_EQ(offered[0].type, StiDeviceTypeScanner << 16);
  EXPECT_EQ(offered[1].name, "Kam\u00e9ra \u65e5\u672c");
  EXPECT_EQ(offered[1].type, (StiDeviceTypeDigitalCamera << 16) | 7);
  EXPECT_EQ(offered[2].name, std::string("A\0B", 3)) << "an embedded zero survives";
  EXPECT_EQ(offered[2].id, "{TEST}\\0002");
  for (const Offer& offer : offered) {
    EXPECT_NE(offer.handle, 0);
    EXPECT_EQ(offer.handle >> 32, 0) << "a handle made here has zero upper bits";
  }
  // The host holds the manager and the three root items; giving the handles back frees them.
  EXPECT_EQ(winsim::census().comObjects, censusAtStart_.comObjects + 1 + 3);
  close();
  expectCensusUnchanged();
}

// A record that cannot be read or has other types is a failure of its device: the others are
// offered, then the first such failure is reported with the later ones attached, each named
// as far as its record names it (a host that holds the device must not take it for gone). A
// read that returns S_FALSE still counts.
TEST_F(Discovery, UnreadableOrMistypedRecordsAreReportedAfterEveryOtherDevice) {
  auto devices = deviceSet(6, DeviceKind::Scanner);
  devices[0].info = {{WIA_DIP_DEV_NAME, PropertyValue::missing()}};
  devices[1].info = {{WIA_DIP_DEV_NAME, PropertyValue::i4(12)}};
  devices[3].info = {{WIA_DIP_DEV_TYPE, PropertyValue::of(VT_UI4, 0x10000)}};
  winsim::setDevices(devices);
  winsim::overrideRead({devices[2].id, WIA_DIP_DEV_NAME, S_FALSE, false, {}});
  winsim::overrideRead({devices[4].id, WIA_DIP_DEV_ID, WIA_ERROR_DEVICE_COMMUNICATION, true, {}});
  managerHandle_ = initialize();
  const JavaException e = pollThrown(managerHandle_);
  opened_ = offers();
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0].id, devices[2].id);
  EXPECT_EQ(opened_[1].id, devices[5].id);
  EXPECT_EQ(winsim::journal("IWiaDevMgr::CreateDevice").size(), 2u);

  // The first failure, then those attached to it; a name that was missing or a number names none.
  const char* const kMistyped = "// poll: device record of other types";
  const struct {
    HRESULT code;
    const char* statement;
    std::optional<std::string> name, id;
  } reported[] = {
      {WIA_ERROR_INVALID_DRIVER_RESPONSE, kMistyped, std::nullopt, devices[0].id},
      {WIA_ERROR_INVALID_DRIVER_RESPONSE, kMistyped, std::nullopt, devices[1].id},
      {WIA_ERROR_INVALID_DRIVER_RESPONSE, kMistyped, "Scanner 3", devices[3].id},
      {WIA_ERROR_DEVICE_COMMUNICATION, "// poll: device record not read", std::nullopt, std::nullopt},
  };
  ASSERT_EQ(e.suppressed.size(), 3u) << e.describe();
  for (size_t i = 0; i < 4; ++i) {
    const JavaException& failure = i == 0 ? e : e.suppressed[i - 1];
    expectReported(failure, reported[i].code, kManagerSource, reported[i].statement);
    EXPECT_EQ(failure.deviceName, reported[i].name) << i;
    EXPECT_EQ(failure.deviceId, reported[i].id) << i;
  }
  EXPECT_EQ(takeErr(), "");
  close();
  expectCensusUnchanged();
}

TEST_F(Discovery, ManagerFailuresAreReportedAndKeepNothing) {
  jlong handle = -1;
  winsim::injectFault({"CoCreateInstance", REGDB_E_CLASSNOTREG, 0, ""});
  expectReported(initializeThrown(&handle), REGDB_E_CLASSNOTREG, kManagerSource, "// initialize: no manager");
  EXPECT_EQ(handle, 0);
  winsim::clearFaults();
  winsim::injectFault({"IGlobalInterfaceTable::RegisterInterfaceInGlobal", E_OUTOFMEMORY, 0, ""});
  expectReported(initializeThrown(&handle), E_OUTOFMEMORY, kManagerSource, "// initialize: manager not registered");
  EXPECT_EQ(handle, 0);
  winsim::clearFaults();
  // A registration that took place but answered S_FALSE is revoked before the report.
  winsim::injectFault({"IGlobalInterfaceTable::RegisterInterfaceInGlobal", S_FALSE, 0, ""});
  expectReported(initializeThrown(&handle), S_FALSE, kManagerSource, "// initialize: manager not registered");
  EXPECT_EQ(handle, 0);
  winsim::clearFaults();
  EXPECT_EQ(winsim::journal("IGlobalInterfaceTable::RevokeInterfaceFromGlobal").size(), 1u);
  expectCensusUnchanged();  // the created manager was given back

  handle = initialize();
  // Any result but S_OK from the listing counts as a failure; a failing Next is reported after
  // the devices before it, an S_FALSE from Next ends the list quietly.
  for (HRESULT code : {WIA_ERROR_OFFLINE, S_FALSE}) {
    winsim::injectFault({"IWiaDevMgr::EnumDeviceInfo", code, 0, ""});
    expectReported(pollThrown(handle), code, kManagerSource, "// poll: no device list");
    winsim::clearFaults();
  }
  winsim::injectFault({"IEnumWIA_DEV_INFO::Next", E_FAIL, 2, ""});
  const JavaException listing = pollThrown(handle);
  expectReported(listing, E_FAIL, kManagerSource, "// poll: next device not fetched");
  EXPECT_EQ(listing.deviceName, std::nullopt) << "a failure of the list names no device";
  EXPECT_EQ(offers().size(), 1u);
  winsim::clearFaults();
  winsim::injectFault({"IEnumWIA_DEV_INFO::Next", S_FALSE, 2, ""});
  EXPECT_FALSE(pollThrown(handle).thrown);
  winsim::clearFaults();
  EXPECT_EQ(offers().size(), 2u) << "the device known already is offered again";
  releaseDevice(offers()[0].handle);
  releaseDevice(offers()[1].handle);
  releaseManager(handle);
  expectCensusUnchanged();
}

// A device that cannot be opened or registered does not hide the others: the poll offers
// every other device and then reports the first failure, later ones attached to it. The one
// that failed is given back, a registration that answered a success code included.
TEST_F(Discovery, DeviceFailuresAreReportedAfterEveryOtherDevice) {
  const winsim::Fault kRegister{"IGlobalInterfaceTable::RegisterInterfaceInGlobal", E_OUTOFMEMORY, 2, ""};
  const struct {
    bool vanishes;
    winsim::Fault fault;
    HRESULT code;
    const char* statement;
  } cases[] = {
      {true, {}, WIA_S_NO_DEVICE_AVAILABLE, "// poll: device not created"},
      {false, kRegister, E_OUTOFMEMORY, "// poll: device not registered"},
      {false, {kRegister.method, S_FALSE, 2, ""}, S_FALSE, "// poll: device not registered"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    auto devices = deviceSet(4, DeviceKind::Scanner);
    devices[1].vanishes = c.vanishes;  // listed, gone when opened
    winsim::setDevices(devices);
    const size_t before = offers().size();
    managerHandle_ = initialize();
    if (!c.fault.method.empty()) winsim::injectFault(c.fault);
    winsim::injectFault({"IWiaDevMgr::CreateDevice", WIA_ERROR_OFFLINE, 0, devices[2].id});
    const JavaException e = pollThrown(managerHandle_);
    expectReported(e, c.code, kManagerSource, c.statement);
    EXPECT_EQ(e.deviceName, "Scanner 1");
    EXPECT_EQ(e.deviceId, devices[1].id);
    ASSERT_EQ(e.suppressed.size(), 1u) << e.describe();
    EXPECT_EQ(e.suppressed[0].code, WIA_ERROR_OFFLINE);
    EXPECT_EQ(e.suppressed[0].deviceName, "Scanner 2");
    EXPECT_EQ(e.suppressed[0].deviceId, devices[2].id);
    winsim::clearFaults();
    const std::vector<Offer> all = offers();
    opened_.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_EQ(opened_.size(), 2u);
    EXPECT_EQ(opened_[0].id, devices[0].id);
    EXPECT_EQ(opened_[1].id, devices[3].id);
    close();
  }
  expectCensusUnchanged();
}

// A host whose VestaroException has only the original members still gets every failure of a
// poll, code and position, with nothing else pending and no JNI warning.
class DiscoveryWithOriginalException : public Discovery {
 protected:
  LoadSettings loadSettings() const override { return otherHostSettings("product-original-exception", ORIGINAL_EXCEPTION_JAR); }
};

TEST_F(DiscoveryWithOriginalException, DeviceFailuresAreReportedWithoutTheDevicesFields) {
  auto devices = deviceSet(3, DeviceKind::Scanner);
  devices[0].vanishes = true;
  devices[1].info = {{WIA_DIP_DEV_TYPE, PropertyValue::bstr("scanner")}};
  winsim::setDevices(devices);
  managerHandle_ = initialize();
  const JavaException e = pollThrown(managerHandle_);
  expectReported(e, WIA_S_NO_DEVICE_AVAILABLE, kManagerSource, "// poll: device not created");
  EXPECT_EQ(e.deviceName, std::nullopt);
  ASSERT_EQ(e.suppressed.size(), 1u) << e.describe();
  EXPECT_EQ(e.suppressed[0].code, WIA_ERROR_INVALID_DRIVER_RESPONSE);
  opened_ = offers();
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].id, devices[2].id);
  close();
  expectCensusUnchanged();
}

// A device the host refuses, or whose add throws, is given back at once: its handle ends.
// A throwing add ends the poll at once, and the host sees its exception.
TEST_F(Discovery, DevicesTheHostDoesNotTakeAreGivenBack) {
  winsim::setDevices(deviceSet(3, DeviceKind::Scanner));
  setAccept(false);
  const jlong handle = initialize();
  poll(handle);
  const std::vector<Offer> refused = offers();
  ASSERT_EQ(refused.size(), 3u);
  expectReported(releaseDeviceThrown(refused[0].handle), E_INVALIDARG, kDeviceSource, "RELEASE_HANDLE(");

  throwFromAdd("java/lang/IllegalStateException");
  winsim::clearJournal();
  JavaException e = pollThrown(handle);
  EXPECT_EQ(e.className, "java.lang.IllegalStateException") << e.describe();
  EXPECT_EQ(e.message, "add refused");
  EXPECT_EQ(offers().size(), 4u);
  EXPECT_EQ(winsim::journal("IWiaDevMgr::CreateDevice").size(), 1u);
  releaseManager(handle);
  expectCensusUnchanged();
}

// The id and name strings are made once per device and manager and offered again while they
// stay the same: a renamed device, one that went away and came back under another name, and
// a second manager (alive after the first is released) are offered what the device says now.
TEST_F(Discovery, EachOfferCarriesTheDevicesCurrentNameAndId) {
  auto devices = deviceSet(2, DeviceKind::Scanner);
  winsim::setDevices(devices);
  setAccept(false);
  const jlong first = initialize();
  const jlong second = initialize();
  poll(first);
  poll(first);
  devices[1].name = "Renamed";
  winsim::setDevices(devices);
  poll(first);
  releaseManager(first);
  poll(second);
  winsim::setDevices({devices[0]});
  poll(second);
  devices[1].name = "Back";
  winsim::setDevices(devices);
  poll(second);
  releaseManager(second);

  std::vector<std::string> seen;
  for (const Offer& offer : offers()) seen.push_back(offer.id + " " + offer.name);
  const std::vector<std::string> expected = {
      "{TEST}\\0000 Scanner 0", "{TEST}\\0001 Scanner 1", "{TEST}\\0000 Scanner 0", "{TEST}\\0001 Scanner 1",
      "{TEST}\\0000 Scanner 0", "{TEST}\\0001 Renamed",   "{TEST}\\0000 Scanner 0", "{TEST}\\0001 Renamed",
      "{TEST}\\0000 Scanner 0", "{TEST}\\0000 Scanner 0", "{TEST}\\0001 Back"};
  EXPECT_EQ(seen, expected);
  expectCensusUnchanged();
}

// Handles resolve by their lower 32 bits; a handle released, never issued or of the other
// kind is reported with the table's code, never used.
TEST_F(Discovery, HandlesAreCheckedAndResolvedByTheirLowerBits) {
  winsim::setDevices(deviceSet(1, DeviceKind::Scanner));
  managerHandle_ = initialize();
  poll(managerHandle_ | kUpperBits);
  ASSERT_EQ(offers().size(), 1u);
  const jlong device = offers()[0].handle;

  expectReported(releaseManagerThrown(device), E_NOINTERFACE, kManagerSource, "RELEASE_HANDLE(");
  expectReported(releaseDeviceThrown(managerHandle_), E_NOINTERFACE, kDeviceSource, "RELEASE_HANDLE(");
  releaseDevice(device | kUpperBits);
  expectReported(releaseDeviceThrown(device), E_INVALIDARG, kDeviceSource, "RELEASE_HANDLE(");
  expectReported(releaseDeviceThrown(0x7FFF0000), E_INVALIDARG, kDeviceSource, "RELEASE_HANDLE(");
  releaseManager(managerHandle_ | kUpperBits);
  expectReported(pollThrown(managerHandle_), E_INVALIDARG, kManagerSource, "LOOK_UP_HANDLE(");
  expectReported(releaseManagerThrown(managerHandle_), E_INVALIDARG, kManagerSource, "RELEASE_HANDLE(");
  expectCensusUnchanged();
}

// A lookup that fails for another reason than an unknown cookie or the other kind still
// ends the registration (the host forgets its handle either way); the lookup's code is
// reported, a failing revocation attached to it.
TEST_F(Discovery, ReleasesRevokeWhateverElseTheLookupSays) {
  const char* const kLookUp = "IGlobalInterfaceTable::GetInterfaceFromGlobal";
  const char* const kRevoke = "IGlobalInterfaceTable::RevokeInterfaceFromGlobal";
  winsim::setDevices(deviceSet(1, DeviceKind::Scanner));
  for (HRESULT code : {E_OUTOFMEMORY, S_FALSE}) {
    managerHandle_ = initialize();
    poll(managerHandle_);
    const jlong device = offers().back().handle;
    winsim::injectFault({kLookUp, code, 0, ""});
    expectReported(releaseDeviceThrown(device), code, kDeviceSource, "RELEASE_HANDLE(");
    expectReported(releaseManagerThrown(managerHandle_), code, kManagerSource, "RELEASE_HANDLE(");
    winsim::clearFaults();
    expectReported(releaseDeviceThrown(device), E_INVALIDARG, kDeviceSource, "RELEASE_HANDLE(");
  }
  managerHandle_ = initialize();
  winsim::injectFault({kLookUp, E_UNEXPECTED, 0, ""});
  winsim::injectFault({kRevoke, E_ACCESSDENIED, 1, ""});
  const JavaException e = releaseManagerThrown(managerHandle_);
  expectReported(e, E_UNEXPECTED, kManagerSource, "RELEASE_HANDLE(");
  ASSERT_EQ(e.suppressed.size(), 1u) << e.describe();
  EXPECT_EQ(e.suppressed[0].code, E_ACCESSDENIED);
  winsim::clearFaults();
  close();  // the refused revocation left the registration; this release ends it
  expectCensusUnchanged();
}

// A host that polls again and again, taking only the devices it does not know yet, holds the
// same objects after the thousandth poll as after the first. A poll of 10,000 devices gives
// each device's strings back: the VM's checks flag a native frame that outgrows its capacity.
TEST_F(Discovery, PollsHoldNothingThatGrows) {
  winsim::setDevices(deviceSet(10, DeviceKind::Scanner));
  winsim::setJournalEnabled(false);
  open();
  const winsim::Census afterFirst = winsim::census();
  setAccept(false);
  for (int i = 1; i < 1000; ++i) poll(managerHandle_);
  EXPECT_EQ(offers().size(), 10000u);
  EXPECT_EQ(winsim::census(), afterFirst) << winsim::describeLiveObjects();

  winsim::setDevices(deviceSet(10000, DeviceKind::Scanner, "{MANY}"));
  poll(managerHandle_);
  EXPECT_EQ(offers().size(), 20000u);
  close();
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
