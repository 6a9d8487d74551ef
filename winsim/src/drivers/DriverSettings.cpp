#include "DriverSettings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace winsim::drivers {

DriverLimits driverLimitsFromEnvironment() {
  DriverLimits limits;
  const char* value = std::getenv("VESTARO_DRIVER_TIMEOUT");
  if (!value || !*value) return limits;
  char* end = nullptr;
  long seconds = std::strtol(value, &end, 10);
  if (*end == '\0' && seconds > 0 && seconds <= 3600) limits.poll = std::chrono::seconds(seconds);
  return limits;
}

std::vector<std::string> folderList(const std::string& setting) {
  std::vector<std::string> folders;
  size_t start = 0;
  while (start <= setting.size()) {
    size_t end = setting.find(':', start);
    if (end == std::string::npos) end = setting.size();
    std::string entry = setting.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(entry, error);
    if (error) continue;
    std::string normal = path.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    if (std::find(folders.begin(), folders.end(), normal) == folders.end())
      folders.push_back(normal);
  }
  return folders;
}

std::vector<std::string> folderCameras(const std::optional<std::string>& property) {
  if (property) return folderList(*property);
  const char* environment = std::getenv("VESTARO_FOLDER_CAMERAS");
  return environment ? folderList(environment) : std::vector<std::string>{};
}

}  // namespace winsim::drivers
