// A listing that hangs, as a network scanner's sane_get_devices can: the strict fake SANE
// library (FakeSane.cpp), since SANE's own test backend always answers at once.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sane/SaneBackend.h"
#include "sane/SaneDevice.h"

namespace winsim::drivers {
namespace {

struct FakeSane {
  void* handle = dlopen(FAKE_SANE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  void (*hangNextListing)(int) = reinterpret_cast<void (*)(int)>(dlsym(handle, "fake_sane_hang_next_listing"));
  int (*calls)() = reinterpret_cast<int (*)()>(dlsym(handle, "fake_sane_calls"));
  ~FakeSane() { dlclose(handle); }
};

TEST(SaneListingTimeLimit, AHangingListingFailsAsBusyAndLaterCallsFailAtOnceUntilItReturns) {
  FakeSane fake;
  ASSERT_TRUE(fake.hangNextListing && fake.calls) << dlerror();
  SaneBackendOptions options;
  options.library = FAKE_SANE_LIBRARY;
  options.limits.poll = std::chrono::milliseconds(100);
  SaneBackend backend(options);
  ASSERT_TRUE(backend.available()) << backend.unavailableReason();

  fake.hangNextListing(1500);
  std::vector<SaneDeviceInfo> devices;
  DriverStatus hung = backend.listDevices(&devices);
  EXPECT_EQ(hung.code, WIA_ERROR_BUSY);
  EXPECT_EQ(hung.text, "SANE did not return from sane_get_devices within 100 ms; its calls fail until it does");
  EXPECT_TRUE(devices.empty());

  // The library stays with the hung call: nothing else enters it (the fake would abort).
  int callsWhileHeld = fake.calls();
  DriverStatus held = backend.listDevices(&devices);
  EXPECT_EQ(held.code, WIA_ERROR_BUSY);
  EXPECT_EQ(held.text, "SANE is still in sane_get_devices, past its time limit");
  std::unique_ptr<SaneDevice> device;
  EXPECT_EQ(backend.open("fake:0", &device).code, WIA_ERROR_BUSY);
  EXPECT_EQ(fake.calls(), callsWhileHeld);

  DriverStatus listed = held;
  for (int i = 0; i < 300 && !listed.ok(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    listed = backend.listDevices(&devices);
  }
  ASSERT_TRUE(listed.ok()) << listed.text;
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, "fake:0");
}

TEST(SaneListingTimeLimit, ABackendLeftWhileItsListingHangsLetsTheThreadFinishAndExitOnItsOwn) {
  FakeSane fake;
  SaneBackendOptions options;
  options.library = FAKE_SANE_LIBRARY;
  options.limits.poll = std::chrono::milliseconds(100);
  int before = fake.calls();
  {
    SaneBackend backend(options);
    ASSERT_TRUE(backend.available()) << backend.unavailableReason();
    fake.hangNextListing(500);
    std::vector<SaneDeviceInfo> devices;
    EXPECT_EQ(backend.listDevices(&devices).code, WIA_ERROR_BUSY);
  }
  // sane_init, the hung sane_get_devices, and sane_exit once it has returned.
  for (int i = 0; i < 300 && fake.calls() < before + 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(fake.calls(), before + 3);
}

}  // namespace
}  // namespace winsim::drivers
