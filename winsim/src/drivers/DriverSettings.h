// The settings of the drivers on Linux: how long a driver call may take, and which
// folders are served as cameras.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace winsim::drivers {

// Time limits of driver calls (DriverThread). A poll's calls (initialising, listing,
// opening and closing devices, reading and writing settings) get `poll`; a transfer's
// (starting a scan, each read of it, listing and fetching a camera's files) get `transfer`,
// since a lamp may warm up in sane_start and a large file takes long, and a fetch that
// reports progress starts its limit again.
struct DriverLimits {
  std::chrono::milliseconds poll{10000};
  std::chrono::milliseconds transfer{120000};
};

// The defaults, with the poll limit from VESTARO_DRIVER_TIMEOUT (seconds, a positive whole
// number up to 3600) when it is set and valid.
DriverLimits driverLimitsFromEnvironment();

// The folders of a folder-camera setting, "DIR[:DIR...]": empty entries dropped, each made
// absolute and normal (no "." or "..", no trailing slash), each once, in the setting's order.
std::vector<std::string> folderList(const std::string& setting);

// The folders served as cameras: the system property vestaro.folderCameras when the host
// passes one (`property`), else the environment's VESTARO_FOLDER_CAMERAS.
std::vector<std::string> folderCameras(const std::optional<std::string>& property);

}  // namespace winsim::drivers
