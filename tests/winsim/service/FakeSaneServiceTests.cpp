// The service over a SANE whose listing hangs, as a network scanner's can, or answers a status
// of no meaning SANE defines: the strict fake SANE (drivers/FakeSane.cpp) as the libsane.so.1
// that this program finds first (LD_LIBRARY_PATH). A poll waits no longer than its limit,
// lists what the others have, and reports the listing's failure after them; an unmapped
// status has a code of its own whose text is SANE's.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sane/sane.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "../wia/WiaTestSupport.h"

namespace {

using namespace wiatest;
using Clock = std::chrono::steady_clock;

const std::string kFake = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:fake:0";

// The fake the service loads: the same library, found by the same name.
struct FakeSane {
  void* handle = dlopen("libsane.so.1", RTLD_NOW | RTLD_LOCAL);
  void (*hangNextListing)(int) = reinterpret_cast<void (*)(int)>(dlsym(handle, "fake_sane_hang_next_listing"));
  void (*failNextListing)(int) = reinterpret_cast<void (*)(int)>(dlsym(handle, "fake_sane_fail_next_listing"));
  ~FakeSane() { dlclose(handle); }
};

class FakeSaneService : public WiaTest {
 protected:
  void SetUp() override {
    setenv("VESTARO_DRIVERS", "virtual,sane", 1);
    setenv("VESTARO_DRIVER_TIMEOUT", "1", 1);
    winsim::restartDrivers();
    WiaTest::SetUp();
    ASSERT_TRUE(fake_.hangNextListing && fake_.failNextListing) << "not the fake SANE: " << dlerror();
  }
  void TearDown() override {
    WiaTest::TearDown();
    unsetenv("VESTARO_DRIVER_TIMEOUT");
  }

  // One poll's device IDs, how its Next ended and how long it took.
  std::vector<std::string> poll(HRESULT* end, double* seconds) {
    const Clock::time_point start = Clock::now();
    std::vector<std::string> ids;
    ComPtr<IEnumWIA_DEV_INFO> devices;
    EXPECT_EQ(S_OK, manager()->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()));
    for (;;) {
      ComPtr<IWiaPropertyStorage> info;
      ULONG fetched = 0;
      *end = devices->Next(1, info.put(), &fetched);
      if (*end != S_OK) break;
      ids.push_back(readText(info.get(), WIA_DIP_DEV_ID));
    }
    *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return ids;
  }

  FakeSane fake_;
};

TEST_F(FakeSaneService, AHangingListingHoldsAPollNoLongerThanItsLimit) {
  HRESULT end = S_OK;
  double seconds = 0;
  EXPECT_EQ(poll(&end, &seconds), (std::vector<std::string>{kScannerId, kCameraId, kFake}));
  EXPECT_EQ(end, S_FALSE);

  fake_.hangNextListing(4000);
  EXPECT_EQ(poll(&end, &seconds), (std::vector<std::string>{kScannerId, kCameraId}));
  EXPECT_EQ(end, WIA_ERROR_BUSY);
  EXPECT_LT(seconds, 2.5) << "the poll limit is 1 s";
  // While the listing is held, the next poll does not wait for it.
  EXPECT_EQ(poll(&end, &seconds), (std::vector<std::string>{kScannerId, kCameraId}));
  EXPECT_EQ(end, WIA_ERROR_BUSY);
  EXPECT_LT(seconds, 0.5);

  // Once it returns, SANE lists again; its device that cannot be opened is offline.
  std::vector<std::string> ids;
  for (int i = 0; i < 100 && end != S_FALSE; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ids = poll(&end, &seconds);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{kScannerId, kCameraId, kFake}));
  ComPtr<IWiaItem> root;
  EXPECT_EQ(createDevice(kFake, &root), WIA_ERROR_OFFLINE);
}

TEST_F(FakeSaneService, AStatusWithNoWiaMeaningHasACodeOfItsOwnWithSanesText) {
  const struct {
    int status;
    HRESULT code;
    const char* text;
  } unmapped[] = {
      {SANE_STATUS_EOF, HRESULT(0x80045A05u), "Fake status\r\n"},  // sane_strstatus's words
      {99, HRESULT(0x80045A63u), "SANE status 99\r\n"},           // no status SANE defines
  };
  for (const auto& u : unmapped) {
    fake_.failNextListing(u.status);
    HRESULT end = S_OK;
    double seconds = 0;
    EXPECT_EQ(poll(&end, &seconds), (std::vector<std::string>{kScannerId, kCameraId}));
    EXPECT_EQ(end, u.code);
    LPWSTR text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                                        static_cast<DWORD>(end), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(winsim::toUtf8(std::u16string(text, length)), u.text);
    LocalFree(text);
  }
}

}  // namespace
