// The drivers' settings: folders served as cameras and the poll's time limit.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "DriverSettings.h"

namespace winsim::drivers {
namespace {

TEST(DriverSettings, AFolderSettingListsEachFolderOnceAbsoluteAndNormal) {
  std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(folderList("/photos/:/scans/./2024/../2025::relative:/photos"),
            (std::vector<std::string>{"/photos", "/scans/2025", here + "/relative"}));
  EXPECT_TRUE(folderList("").empty());
  EXPECT_TRUE(folderList(":::").empty());
  EXPECT_EQ(folderList("/"), (std::vector<std::string>{"/"}));
}

TEST(DriverSettings, TheHostsPropertyComesBeforeTheEnvironment) {
  setenv("VESTARO_FOLDER_CAMERAS", "/from/environment", 1);
  EXPECT_EQ(folderCameras(std::nullopt), (std::vector<std::string>{"/from/environment"}));
  EXPECT_EQ(folderCameras(std::string("/from/property")), (std::vector<std::string>{"/from/property"}));
  EXPECT_TRUE(folderCameras(std::string("")).empty());  // set, and empty: no folders
  unsetenv("VESTARO_FOLDER_CAMERAS");
  EXPECT_TRUE(folderCameras(std::nullopt).empty());
}

TEST(DriverSettings, ThePollLimitComesFromTheEnvironmentWhenItIsAWholeNumberOfSeconds) {
  unsetenv("VESTARO_DRIVER_TIMEOUT");
  EXPECT_EQ(driverLimitsFromEnvironment().poll, std::chrono::seconds(10));
  EXPECT_EQ(driverLimitsFromEnvironment().transfer, std::chrono::seconds(120));
  setenv("VESTARO_DRIVER_TIMEOUT", "3", 1);
  EXPECT_EQ(driverLimitsFromEnvironment().poll, std::chrono::seconds(3));
  for (const char* wrong : {"0", "-4", "2.5", "ten", "3601", ""}) {
    setenv("VESTARO_DRIVER_TIMEOUT", wrong, 1);
    EXPECT_EQ(driverLimitsFromEnvironment().poll, std::chrono::seconds(10)) << wrong;
  }
  unsetenv("VESTARO_DRIVER_TIMEOUT");
}

}  // namespace
}  // namespace winsim::drivers
