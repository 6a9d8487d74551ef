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
  void expectReported(const JavaException& e, HRESULT code, const char* source,
                      const char* statement) {
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, code) << e.describe();
    const std::string path(source);
    EXPECT_EQ(e.file, reportingFile(path.substr(path.rfind('/') + 1)));
    EXPECT_EQ(e.line, lineOf(source, statement));
  }
};

TEST_F(Discovery, NoDeviceMeansNoOffer) {
  winsim::setDevices({});
  const jlong handle = initialize();
  EXPECT_NE(handle, 0);
  EXPECT_EQ(handle >> 32, 0) << "a handle made here has zero upper bits";
  poll(handle);
  EXPECT_TRUE(offers().empty());
  releaseManager(handle);
  expectCensusUnchanged();
}

TEST_F(Discovery, DevicesAreOfferedInOrderWithNameHandleTypeAndId) {
  auto devices = deviceSet(3, DeviceKind::Scanner);
  devices[1].kind = DeviceKind::Camera;
  devices[1].subtype = 7;
  devices[1].name = "Kam\u00e9ra \u65e5\u672c";  // as UTF-8
  // An embedded zero character survives the way to the host.
  devices[2].info = {{WIA_DIP_DEV_NAME, PropertyValue::bstr(std::string("A\0B", 3))}};
  winsim::setDevices(devices);

  const std::vector<Offer> offered = open();
  ASSERT_EQ(offered.size(), 3u);
  EXPECT_EQ(offered[0].name, "Scanner 0");
  EXPECT_EQ(offered[0].id, "{TEST}\\0000");
  EXPECT_EQ(offered[0].type, StiDeviceTypeScanner << 16);
  EXPECT_EQ(offered[1].name, "Kam\u00e9ra \u65e5\u672c");
  EXPECT_EQ(offered[1].type, (StiDeviceTypeDigitalCamera << 16) | 7);
  EXPECT_EQ(offered[2].name, std::string("A\0B", 3));
  EXPECT_EQ(offered[2].id, "{TEST}\\0002");
  for (const Offer& offer : offered) {
    EXPECT_NE(offer.handle, 0);
    EXPECT_EQ(offer.handle >> 32, 0);
  }
  EXPECT_NE(offered[0].handle, offered[1].handle);
  // The host holds the three root items; giving the handles back frees them.
  EXPECT_EQ(winsim::census().comObjects, censusAtStart_.comObjects + 1 + 3);
  close();
  expectCensusUnchanged();
}

// A record that cannot be read or has other types skips only its own device, silently.
TEST_F(Discovery, UnreadableOrMistypedRecordsSkipOnlyTheirDevice) {
  auto devices = deviceSet(6, DeviceKind::Scanner);
  devices[0].info = {{WIA_DIP_DEV_NAME, PropertyValue::missing()}};
  devices[1].info = {{WIA_DIP_DEV_NAME, PropertyValue::i4(12)}};
  devices[3].info = {{WIA_DIP_DEV_TYPE, PropertyValue::of(VT_UI4, 0x10000)}};
  winsim::setDevices(devices);
  // Device 2's read succeeds with S_FALSE, which still counts as a read; device 4's fails.
  winsim::ReadOverride partial;
  partial.target = devices[2].id;
  partial.propid = WIA_DIP_DEV_NAME;
  partial.status = S_FALSE;
  partial.replaceValue = false;
  winsim::overrideRead(partial);
  winsim::ReadOverride failing;
  failing.target = devices[4].id;
  failing.propid = WIA_DIP_DEV_ID;
  failing.status = WIA_ERROR_DEVICE_COMMUNICATION;
  winsim::overrideRead(failing);

  const std::vector<Offer> offered = open();
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0].id, devices[2].id);
  EXPECT_EQ(offered[1].id, devices[5].id);
  EXPECT_EQ(takeErr(), "") << "nothing is reported or printed";
  EXPECT_EQ(winsim::journal("IWiaDevMgr::CreateDevice").size(), 2u);
  close();
  expectCensusUnchanged();
}

TEST_F(Discovery, DeviceThatCannotBeCreatedEndsThePollAfterTheOnesBefore) {
  auto devices = deviceSet(3, DeviceKind::Scanner);
  devices[1].vanishes = true;  // listed, gone when opened
  winsim::setDevices(devices);
  const jlong handle = initialize();
  JavaException e = pollThrown(handle);
  expectReported(e, WIA_S_NO_DEVICE_AVAILABLE, kManagerSource, "// poll: device not created");
  EXPECT_EQ(e.message, "No WIA device of the selected type is available.");
  opened_ = offers();
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].id, devices[0].id);
  managerHandle_ = handle;
  close();
  expectCensusUnchanged();
}

TEST_F(Discovery, DeviceThatCannotBeRegisteredEndsThePollAndIsGivenBack) {
  winsim::setDevices(deviceSet(3, DeviceKind::Scanner));
  const jlong handle = initialize();
  winsim::injectFault({"IGlobalInterfaceTable::RegisterInterfaceInGlobal", E_OUTOFMEMORY, 2, ""});
  JavaException e = pollThrown(handle);
  expectReported(e, E_OUTOFMEMORY, kManagerSource, "// poll: device not registered");
  opened_ = offers();
  ASSERT_EQ(opened_.size(), 1u);
  managerHandle_ = handle;
  close();
  expectCensusUnchanged();
}

TEST_F(Discovery, PollFailuresAreReported) {
  const jlong handle = initialize();
  winsim::injectFault({"IWiaDevMgr::EnumDeviceInfo", WIA_ERROR_OFFLINE, 0, ""});
  expectReported(pollThrown(handle), WIA_ERROR_OFFLINE, kManagerSource, "// poll: no device list");
  winsim::clearFaults();
  // Any result but S_OK from the listing counts as a failure.
  winsim::injectFault({"IWiaDevMgr::EnumDeviceInfo", S_FALSE, 0, ""});
  expectReported(pollThrown(handle), S_FALSE, kManagerSource, "// poll: no device list");
  winsim::clearFaults();
  // A failing Next ends the list silently.
  winsim::injectFault({"IEnumWIA_DEV_INFO::Next", E_FAIL, 2, ""});
  poll(handle);
  opened_ = offers();
  EXPECT_EQ(opened_.size(), 1u);
  managerHandle_ = handle;
  close();
  expectCensusUnchanged();
}

TEST_F(Discovery, InitializeFailuresReturnZeroAndKeepNothing) {
  winsim::injectFault({"CoCreateInstance", REGDB_E_CLASSNOTREG, 0, ""});
  jlong handle = -1;
  JavaException e = initializeThrown(&handle);
  expectReported(e, REGDB_E_CLASSNOTREG, kManagerSource, "// initialize: no manager");
  EXPECT_EQ(handle, 0);
  winsim::clearFaults();

  winsim::injectFault({"IGlobalInterfaceTable::RegisterInterfaceInGlobal", E_OUTOFMEMORY, 0, ""});
  handle = -1;
  e = initializeThrown(&handle);
  expectReported(e, E_OUTOFMEMORY, kManagerSource, "// initialize: manager not registered");
  EXPECT_EQ(handle, 0);
  expectCensusUnchanged();  // the created manager was given back
}

TEST_F(Discovery, RefusedDevicesAreGivenBackAtOnce) {
  winsim::setDevices(deviceSet(3, DeviceKind::Scanner));
  setAccept(false);
  const jlong handle = initialize();
  const winsim::Census afterInitialize = winsim::census();
  poll(handle);
  const std::vector<Offer> offered = offers();
  ASSERT_EQ(offered.size(), 3u);
  EXPECT_EQ(winsim::census(), afterInitialize) << winsim::describeLiveObjects();
  // Their handles ended with the refusal.
  expectReported(releaseDeviceThrown(offered[0].handle), E_INVALIDARG, kDeviceSource,
                 "RELEASE_HANDLE(");
  releaseManager(handle);
  expectCensusUnchanged();
}

// The host's exception ends the poll at once and reaches the host; the device it did not
// take is given back.
TEST_F(Discovery, ThrowingAddEndsThePollWithItsException) {
  winsim::setDevices(deviceSet(3, DeviceKind::Scanner));
  throwFromAdd("java/lang/IllegalStateException");
  const jlong handle = initialize();
  JavaException e = pollThrown(handle);
  EXPECT_EQ(e.className, "java.lang.IllegalStateException") << e.describe();
  EXPECT_EQ(e.message, "add refused");
  EXPECT_TRUE(e.suppressed.empty());
  EXPECT_EQ(offers().size(), 1u);
  EXPECT_EQ(winsim::journal("IWiaDevMgr::CreateDevice").size(), 1u);
  releaseManager(handle);
  expectCensusUnchanged();
}

TEST_F(Discovery, HandlesResolveByTheirLowerBits) {
  winsim::setDevices(deviceSet(1, DeviceKind::Scanner));
  const jlong handle = initialize();
  poll(handle | kUpperBits);
  const std::vector<Offer> offered = offers();
  ASSERT_EQ(offered.size(), 1u);
  releaseDevice(offered[0].handle | kUpperBits);
  releaseManager(handle | kUpperBits);
  expectCensusUnchanged();
}

TEST_F(Discovery, ReleasedForeignAndUnknownHandlesAreReportedNeverUsed) {
  winsim::setDevices(deviceSet(1, DeviceKind::Scanner));
  const std::vector<Offer> offered = open();
  ASSERT_EQ(offered.size(), 1u);
  const jlong device = offered[0].handle;

  // A handle of the other kind is refused and stays registered.
  expectReported(releaseManagerThrown(device), E_NOINTERFACE, kManagerSource, "RELEASE_HANDLE(");
  expectReported(releaseDeviceThrown(managerHandle_), E_NOINTERFACE, kDeviceSource, "RELEASE_HANDLE(");
  // Released twice, or never issued.
  releaseDevice(device);
  expectReported(releaseDeviceThrown(device), E_INVALIDARG, kDeviceSource, "RELEASE_HANDLE(");
  expectReported(releaseDeviceThrown(0x7FFF0000), E_INVALIDARG, kDeviceSource, "RELEASE_HANDLE(");
  releaseManager(managerHandle_);
  expectReported(pollThrown(managerHandle_), E_INVALIDARG, kManagerSource, "LOOK_UP_HANDLE(");
  expectReported(releaseManagerThrown(managerHandle_), E_INVALIDARG, kManagerSource,
                 "RELEASE_HANDLE(");
  EXPECT_EQ(offers().size(), 1u);
  expectCensusUnchanged();
}

// A host that polls again and again, taking only the devices it does not know yet, holds the
// same objects after the thousandth poll as after the first.
TEST_F(Discovery, RepeatedPollsLeaveTheCensusFlat) {
  winsim::setDevices(deviceSet(10, DeviceKind::Scanner));
  winsim::setJournalEnabled(false);
  open();
  ASSERT_EQ(opened_.size(), 10u);
  const winsim::Census afterFirst = winsim::census();
  setAccept(false);
  for (int i = 1; i < 1000; ++i) poll(managerHandle_);
  EXPECT_EQ(offers().size(), 10000u);
  EXPECT_EQ(winsim::census(), afterFirst) << winsim::describeLiveObjects();
  close();
  expectCensusUnchanged();
}

// Each device's two strings are given back after add: the VM's checks would flag a native
// frame that outgrows its capacity.
TEST_F(Discovery, ManyDevicesInOnePollKeepTheLocalFrameSmall) {
  winsim::setDevices(deviceSet(10000, DeviceKind::Scanner));
  winsim::setJournalEnabled(false);
  setAccept(false);
  const jlong handle = initialize();
  poll(handle);
  EXPECT_EQ(offers().size(), 10000u);
  releaseManager(handle);
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
