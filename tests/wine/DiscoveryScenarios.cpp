// Discovery through the virtual manager registered in Wine's interface table.
#include "Scenario.h"

namespace wine {
namespace {

using Discovery = Scenario;

TEST_F(Discovery, OffersEveryDeviceWithNameTypeIdentifierAnd32BitHandle) {
  const jlong manager = discover();
  ASSERT_TRUE(nothingThrown());
  ASSERT_EQ(host->offers.size(), 2u);
  const auto devices = winsim::defaultDevices();
  for (size_t i = 0; i < 2; ++i) {
    const Offer& offer = host->offers[i];
    EXPECT_EQ(offer.id, devices[i].id);
    EXPECT_EQ(offer.name, devices[i].name);
    EXPECT_EQ(offer.type >> 16, i == 0 ? StiDeviceTypeScanner : StiDeviceTypeDigitalCamera);
    EXPECT_NE(offer.handle, 0);
    EXPECT_EQ(static_cast<uint64_t>(offer.handle) >> 32, 0u);
  }
  releaseAll(manager);
  EXPECT_TRUE(nothingThrown());
}

// A refused device is revoked at once: its cookie no longer resolves in the table.
TEST_F(Discovery, RefusedDevicesAreRevoked) {
  host->addAnswer = AddAnswer::Refuse;
  const jlong manager = discover();
  ASSERT_EQ(host->offers.size(), 2u);
  for (const Offer& offer : host->offers) {
    IUnknown* object = nullptr;
    EXPECT_EQ(table->GetInterfaceFromGlobal(static_cast<DWORD>(offer.handle), IID_IWiaItem,
                                            reinterpret_cast<void**>(&object)),
              E_INVALIDARG);
    if (object) object->Release();
  }
  releaseAll(manager);
}

TEST_F(Discovery, AThrowingAddStopsThePollWithItsException) {
  host->addAnswer = AddAnswer::Throw;
  const jlong manager = discover();
  EXPECT_EQ(host->offers.size(), 1u);
  Host::Thrown thrown;
  ASSERT_TRUE(host->takeThrown(&thrown));
  EXPECT_EQ(thrown.className, "java/lang/IllegalStateException");
  releaseAll(manager);
}

// A failure of the manager's calls comes out of the poll with the code, the source file as
// the host sees it and a line.
TEST_F(Discovery, FailuresOfTheManagerAreReportedFromThePoll) {
  for (const char* method : {"IWiaDevMgr::EnumDeviceInfo", "IWiaDevMgr::CreateDevice"}) {
    SCOPED_TRACE(method);
    winsim::clearFaults();
    winsim::injectFault({method, WIA_ERROR_OFFLINE, 0, ""});
    host->offers.clear();
    const jlong manager = discover();
    Host::Thrown thrown;
    ASSERT_TRUE(reportedFrom("WIAManager.cpp", WIA_ERROR_OFFLINE, &thrown));
    EXPECT_EQ(thrown.className, "kordin/vestaro/VestaroException");
    EXPECT_GT(thrown.line, 0);
    EXPECT_FALSE(thrown.message.empty());
    EXPECT_TRUE(host->offers.empty());
    releaseAll(manager);
  }
}

// A device that is listed but cannot be opened, or whose record cannot be read, is reported
// after the devices that can be: the exception names the device when its record did.
TEST_F(Discovery, DevicesThatCannotBeOfferedAreReportedByNameAfterTheOthers) {
  auto devices = winsim::defaultDevices();
  devices[0].vanishes = true;
  devices.push_back(devices[0]);
  devices[2].id = "{TEST}\\0002";
  devices[2].vanishes = false;
  winsim::setDevices(devices);
  winsim::injectFault({"IWiaPropertyStorage::ReadMultiple", E_FAIL, 1, cameraId()});
  const jlong manager = discover();
  Host::Thrown thrown;
  ASSERT_TRUE(reportedFrom("WIAManager.cpp", WIA_S_NO_DEVICE_AVAILABLE, &thrown));
  EXPECT_EQ(thrown.deviceName, devices[0].name);
  EXPECT_EQ(thrown.deviceId, scannerId());
  EXPECT_EQ(thrown.suppressed, std::vector<std::string>{"kordin/vestaro/VestaroException"});
  ASSERT_EQ(host->offers.size(), 1u);
  EXPECT_EQ(host->offers[0].id, devices[2].id);
  releaseAll(manager);
}

constexpr char kDeviceNameField[] = "VestaroException.deviceName";
using DiscoveryWithOriginalException = WithoutMember<kDeviceNameField>;

// A host VestaroException without the device fields loads and gets the failure all the same.
TEST_F(DiscoveryWithOriginalException, DeviceFailuresAreReportedWithoutTheFields) {
  ASSERT_EQ(library->onLoad(), JNI_VERSION_1_4);
  auto devices = winsim::defaultDevices();
  devices[1].vanishes = true;
  winsim::setDevices(devices);
  const jlong manager = discover();
  Host::Thrown thrown;
  ASSERT_TRUE(reportedFrom("WIAManager.cpp", WIA_S_NO_DEVICE_AVAILABLE, &thrown));
  EXPECT_EQ(thrown.deviceName, std::nullopt);
  EXPECT_EQ(host->offers.size(), 1u);
  releaseAll(manager);
}

}  // namespace
}  // namespace wine
