// The settings of the service on Linux: which drivers serve devices, how long a driver
// call may take, and which folders are served as cameras. Each is a Java system property
// that the host hands to libwinsim.so when it loads it (storeSetting), else the
// environment variable beside it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace winsim::drivers {

// The settings' property names.
constexpr const char* kDriversSetting = "vestaro.drivers";              // VESTARO_DRIVERS
constexpr const char* kFolderCamerasSetting = "vestaro.folderCameras";  // VESTARO_FOLDER_CAMERAS
constexpr const char* kDriverTimeoutSetting = "vestaro.driverTimeout";  // VESTARO_DRIVER_TIMEOUT

// The environment variable of a property: its words in capitals joined by '_'
// ("vestaro.folderCameras" gives "VESTARO_FOLDER_CAMERAS").
std::string environmentNameOf(const std::string& property);

// The one way the service reads a setting: the value the host stored for `property`, else
// the environment's variable of it, else nothing.
std::optional<std::string> setting(const std::string& property);
// Keeps the host's value of `property` (its JNI_OnLoad, from the Java system properties);
// it wins over the environment from then on.
void storeSetting(const std::string& property, const std::string& value);
// Forgets what the host stored (tests).
void clearStoredSettings();

// Time limits of driver calls (DriverThread). A poll's calls (initialising, listing,
// opening and closing devices, reading and writing settings) get `poll`; a transfer's
// (starting a scan, each read of it, listing and fetching a camera's files) get `transfer`,
// since a lamp may warm up in sane_start and a large file takes long, and a fetch that
// reports progress starts its limit again.
struct DriverLimits {
  std::chrono::milliseconds poll{10000};
  std::chrono::milliseconds transfer{120000};
};

// The defaults, with the poll limit from vestaro.driverTimeout (seconds, a positive whole
// number up to 3600) when it is set and valid.
DriverLimits driverLimitsFromSettings();

// The folders of a folder-camera setting, "DIR[:DIR...]": empty entries dropped, each made
// absolute and normal (no "." or "..", no trailing slash), each once, in the setting's order.
std::vector<std::string> folderList(const std::string& setting);

// The folders served as cameras: vestaro.folderCameras.
std::vector<std::string> folderCameras();

// Which drivers serve devices: vestaro.drivers, a comma-separated subset of "virtual",
// "sane" and "gphoto2" (spaces around names ignored); all three when it is not set.
struct DriverSelection {
  bool virtualDevices = true;
  bool sane = true;
  bool gphoto2 = true;
  std::vector<std::string> unknown;  // names the setting gives that are none of these
};
DriverSelection driverSelection();

}  // namespace winsim::drivers
