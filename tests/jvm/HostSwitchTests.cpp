// The recording host switched as the benchmarks use it: a manager that keeps no record of
// its offers and a device that keeps only its files' total size. Both must still see every
// callback, or the benchmarks would time other work than the library does for a host.
#include "DeviceHost.h"

namespace jvmtest {
namespace {

using HostSwitches = DeviceTest;

// The benchmark takes its device from lastHandle: the handle of the latest offer, whether
// the offers are kept or not.
TEST_F(HostSwitches, ManagerWithoutRecordsStillKeepsTheLatestHandle) {
  winsim::setDevices(deviceSet(2, winsim::DeviceKind::Scanner));
  const std::vector<Offer> recorded = open();
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(lastHandle(), recorded[1].handle);
  close();

  winsim::setDevices(deviceSet(1, winsim::DeviceKind::Scanner, "{OTHER}"));
  keepNoOffers();
  managerHandle_ = initialize();
  poll(managerHandle_);
  EXPECT_EQ(offers().size(), 2u) << "only the offers made before the switch";
  const jlong taken = lastHandle();

  // The handle is live: a transfer through it reaches the device.
  LocalRef<jobject> scanner(env_, newScanner());
  transfer(scanner.get(), taken, false);
  EXPECT_EQ(deliveries(scanner.get()).size(), 1u);
  releaseDevice(taken);
  releaseManager(managerHandle_);
  managerHandle_ = 0;
  expectCensusUnchanged();
}

// Totals only: no record, but every file's size read during its callback, summed.
TEST_F(HostSwitches, DeviceKeepingTotalsOnlyAddsUpEveryFile) {
  auto devices = deviceSet(1, winsim::DeviceKind::Camera);
  winsim::PictureSpec larger = devices[0].pictures.at(0);
  larger.name = "IMG_0002";
  larger.width = 320;
  larger.height = 240;
  devices[0].pictures.push_back(larger);
  winsim::setDevices(devices);
  const jlong handle = open().at(0).handle;

  LocalRef<jobject> recording(env_, newCamera());
  transfer(recording.get(), handle, false);
  const std::vector<Delivery> recorded = deliveries(recording.get());
  ASSERT_EQ(recorded.size(), 2u);
  ASSERT_NE(recorded[0].size, recorded[1].size);

  LocalRef<jobject> totalling(env_, newCamera());
  keepTotalsOnly(totalling.get());
  transfer(totalling.get(), handle, false);
  EXPECT_TRUE(deliveries(totalling.get()).empty());
  EXPECT_EQ(totalBytes(totalling.get()), recorded[0].size + recorded[1].size);
  close();
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
