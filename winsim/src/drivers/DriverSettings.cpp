#include "DriverSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

namespace winsim::drivers {
namespace {

struct Stored {
  std::mutex lock;
  std::map<std::string, std::string> values;
};

Stored& stored() {
  static Stored* instance = new Stored;  // never destroyed: drivers' threads may outlive statics
  return *instance;
}

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string environmentNameOf(const std::string& property) {
  std::string name;
  for (size_t i = 0; i < property.size(); ++i) {
    const auto c = static_cast<unsigned char>(property[i]);
    if (c == '.') {
      name += '_';
    } else {
      if (std::isupper(c) && i > 0 && std::islower(static_cast<unsigned char>(property[i - 1]))) name += '_';
      name += static_cast<char>(std::toupper(c));
    }
  }
  return name;
}

std::optional<std::string> setting(const std::string& property) {
  {
    Stored& s = stored();
    std::lock_guard<std::mutex> guard(s.lock);
    auto found = s.values.find(property);
    if (found != s.values.end()) return found->second;
  }
  const char* value = std::getenv(environmentNameOf(property).c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

void storeSetting(const std::string& property, const std::string& value) {
  Stored& s = stored();
  std::lock_guard<std::mutex> guard(s.lock);
  s.values[property] = value;
}

void clearStoredSettings() {
  Stored& s = stored();
  std::lock_guard<std::mutex> guard(s.lock);
  s.values.clear();
}

DriverLimits driverLimitsFromSettings() {
  DriverLimits limits;
  std::optional<std::string> value = setting(kDriverTimeoutSetting);
  if (!value || value->empty()) return limits;
  char* end = nullptr;
  long seconds = std::strtol(value->c_str(), &end, 10);
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

std::vector<std::string> folderCameras() {
  std::optional<std::string> value = setting(kFolderCamerasSetting);
  return value ? folderList(*value) : std::vector<std::string>{};
}

DriverSelection driverSelection() {
  std::optional<std::string> value = setting(kDriversSetting);
  if (!value) return DriverSelection{};
  DriverSelection selection{false, false, false, {}};
  size_t start = 0;
  while (start <= value->size()) {
    size_t end = value->find(',', start);
    if (end == std::string::npos) end = value->size();
    const std::string name = trimmed(value->substr(start, end - start));
    start = end + 1;
    if (name == "virtual") selection.virtualDevices = true;
    if (name == "sane") selection.sane = true;
    if (name == "gphoto2") selection.gphoto2 = true;
    if (name != "virtual" && name != "sane" && name != "gphoto2" && !name.empty()) selection.unknown.push_back(name);
  }
  return selection;
}

}  // namespace winsim::drivers
