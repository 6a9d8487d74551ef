// The drivers' settings: the host's property before the environment, folders served as
// cameras, the poll's time limit and the drivers that serve devices.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>

#include "DriverSettings.h"

namespace winsim::drivers {
namespace {

// Each test starts without the settings (the test presets set VESTARO_DRIVERS) and leaves
// the environment as it found it.
class DriverSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
  }
  void TearDown() override {
    clearStoredSettings();
    for (size_t i = 0; i < std::size(kNames); ++i) {
      saved_[i] ? setenv(kNames[i], saved_[i]->c_str(), 1) : unsetenv(kNames[i]);
    }
  }

 private:
  static constexpr const char* kNames[] = {"VESTARO_FOLDER_CAMERAS", "VESTARO_DRIVER_TIMEOUT", "VESTARO_DRIVERS"};
  std::vector<std::optional<std::string>> saved_;
};

TEST_F(DriverSettings, AFolderSettingListsEachFolderOnceAbsoluteAndNormal) {
  std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(folderList("/photos/:/scans/./2024/../2025::relative:/photos"),
            (std::vector<std::string>{"/photos", "/scans/2025", here + "/relative"}));
  EXPECT_TRUE(folderList("").empty());
  EXPECT_TRUE(folderList(":::").empty());
  EXPECT_EQ(folderList("/"), (std::vector<std::string>{"/"}));
}

TEST_F(DriverSettings, TheHostsPropertyComesBeforeTheEnvironment) {
  EXPECT_EQ(environmentNameOf(kFolderCamerasSetting), "VESTARO_FOLDER_CAMERAS");
  EXPECT_EQ(environmentNameOf(kDriverTimeoutSetting), "VESTARO_DRIVER_TIMEOUT");
  EXPECT_EQ(environmentNameOf(kDriversSetting), "VESTARO_DRIVERS");
  setenv("VESTARO_FOLDER_CAMERAS", "/from/environment", 1);
  EXPECT_EQ(folderCameras(), (std::vector<std::string>{"/from/environment"}));
  storeSetting(kFolderCamerasSetting, "/from/property");
  EXPECT_EQ(folderCameras(), (std::vector<std::string>{"/from/property"}));
  storeSetting(kFolderCamerasSetting, "");
  EXPECT_TRUE(folderCameras().empty());  // set, and empty: no folders
  clearStoredSettings();
  unsetenv("VESTARO_FOLDER_CAMERAS");
  EXPECT_TRUE(folderCameras().empty());
  EXPECT_FALSE(setting(kFolderCamerasSetting).has_value());
}

TEST_F(DriverSettings, ThePollLimitIsAWholeNumberOfSeconds) {
  EXPECT_EQ(driverLimitsFromSettings().poll, std::chrono::seconds(10));
  EXPECT_EQ(driverLimitsFromSettings().transfer, std::chrono::seconds(120));
  setenv("VESTARO_DRIVER_TIMEOUT", "3", 1);
  EXPECT_EQ(driverLimitsFromSettings().poll, std::chrono::seconds(3));
  for (const char* wrong : {"0", "-4", "2.5", "ten", "3601", ""}) {
    setenv("VESTARO_DRIVER_TIMEOUT", wrong, 1);
    EXPECT_EQ(driverLimitsFromSettings().poll, std::chrono::seconds(10)) << wrong;
  }
  storeSetting(kDriverTimeoutSetting, "7");
  EXPECT_EQ(driverLimitsFromSettings().poll, std::chrono::seconds(7));
}

TEST_F(DriverSettings, TheDriversSettingNamesTheDriversThatServeDevices) {
  DriverSelection all = driverSelection();
  EXPECT_TRUE(all.virtualDevices && all.sane && all.gphoto2);
  setenv("VESTARO_DRIVERS", " sane , gphoto2", 1);
  DriverSelection real = driverSelection();
  EXPECT_FALSE(real.virtualDevices);
  EXPECT_TRUE(real.sane && real.gphoto2);
  EXPECT_TRUE(real.unknown.empty());
  setenv("VESTARO_DRIVERS", "virtual,twain", 1);
  DriverSelection odd = driverSelection();
  EXPECT_TRUE(odd.virtualDevices);
  EXPECT_FALSE(odd.sane || odd.gphoto2);
  EXPECT_EQ(odd.unknown, (std::vector<std::string>{"twain"}));
  setenv("VESTARO_DRIVERS", "", 1);  // set and empty: no driver at all
  DriverSelection none = driverSelection();
  EXPECT_FALSE(none.virtualDevices || none.sane || none.gphoto2);
}

}  // namespace
}  // namespace winsim::drivers
