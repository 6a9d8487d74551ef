// The device set, dialog scripts and read overrides of the virtual WIA service, its
// registration with CoCreateInstance and its part in winsim::reset().
#include "Service.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "Feeder.h"
#include "Model.h"
#include "Objects.h"
#include "Platform.h"

namespace winsim {
namespace wia {
namespace {

struct Script {
  std::vector<DialogStep> steps;
  size_t next = 0;
};

struct State {
  std::mutex lock;
  bool installed = false;
  std::shared_ptr<const DeviceList> devices = std::make_shared<DeviceList>();
  std::map<std::string, Script> scripts;
  std::vector<ReadOverride> overrides;
  std::atomic<size_t> overrideCount{0};
};
State& state() {
  static State instance;
  return instance;
}

// The largest picture side, and the largest bed side at the highest resolution, in pixels.
constexpr LONG kMaxImagePixels = 65500;

void fail(const std::string& device, const std::string& problem) {
  throw std::invalid_argument("device \"" + device + "\": " + problem);
}

void checkFeeder(const DeviceSpec& d, const FeederSpec& feeder, LONG highestResolution) {
  if (feeder.sheets > kFeederCapacity || feeder.jamAt > kFeederCapacity) {
    fail(d.id, "a feeder holds at most " + std::to_string(kFeederCapacity) + " sheets");
  }
  for (LONG side : {feeder.sheetWidth, feeder.sheetHeight}) {
    if (side < kSmallestPage || static_cast<long long>(side) * highestResolution / 1000 > kMaxImagePixels) {
      fail(d.id, "the feeder's sheets must be at least " + std::to_string(kSmallestPage) +
                     " thousandths of an inch and at most " + std::to_string(kMaxImagePixels) +
                     " pixels a side at the highest resolution");
    }
  }
}

void check(const DeviceSpec& d) {
  if (d.id.empty()) fail(d.id, "empty ID");
  if (d.kind == DeviceKind::Scanner) {
    if (d.dataTypes.empty()) fail(d.id, "no data type");
    for (LONG type : d.dataTypes) {
      if (type != WIA_DATA_THRESHOLD && type != WIA_DATA_GRAYSCALE && type != WIA_DATA_COLOR) {
        fail(d.id, "unsupported data type " + std::to_string(type));
      }
    }
    LONG lowest = d.resolutionMin;
    if (d.resolutions.empty()) {
      if (d.resolutionMin < 1 || d.resolutionStep < 1 || d.resolutionNominal < d.resolutionMin ||
          d.resolutionNominal > d.resolutionMax ||
          (d.resolutionNominal - d.resolutionMin) % d.resolutionStep != 0) {
        fail(d.id, "the resolution range must hold its nominal value");
      }
    } else {
      bool nominalListed = false;
      for (LONG dpi : d.resolutions) {
        if (dpi < 1) fail(d.id, "resolutions must be positive");
        nominalListed = nominalListed || dpi == d.resolutionNominal;
        lowest = std::min(lowest, dpi);
      }
      if (!nominalListed) fail(d.id, "the resolution list must hold the nominal resolution");
      lowest = *std::min_element(d.resolutions.begin(), d.resolutions.end());
    }
    if (bedPixels(d.bedWidth, lowest) < 1 || bedPixels(d.bedHeight, lowest) < 1) {
      fail(d.id, "the bed must be at least one pixel at the lowest resolution");
    }
    // Bounded like pictures, so that no offered resolution gives a size a LONG cannot hold.
    const LONG highest = d.resolutions.empty() ? d.resolutionMax
                                               : *std::max_element(d.resolutions.begin(), d.resolutions.end());
    const long long widest = static_cast<long long>(d.bedWidth) * highest / 1000;
    const long long highestRows = static_cast<long long>(d.bedHeight) * highest / 1000;
    if (widest > kMaxImagePixels || highestRows > kMaxImagePixels) {
      fail(d.id, "the bed must be at most " + std::to_string(kMaxImagePixels) +
                     " pixels wide and high at the highest resolution");
    }
    if (d.feeder) checkFeeder(d, *d.feeder, highest);
    if (!d.flatbed && !d.feeder) fail(d.id, "a scanner needs a flatbed or a document feeder");
  } else if (d.feeder) {
    fail(d.id, "only a scanner has a document feeder");
  }
  auto checkSize = [&d](const std::string& name, LONG width, LONG height) {
    if (width < 1 || height < 1 || width > kMaxImagePixels || height > kMaxImagePixels) {
      fail(d.id, "picture \"" + name + "\" must be 1 to " + std::to_string(kMaxImagePixels) +
                     " pixels wide and high");
    }
  };
  // Generated pictures are numbered after the listed ones; a listed picture may not take
  // one of their names, or the camera would hold two items of that name.
  const auto listed = static_cast<unsigned>(d.pictures.size());
  std::set<std::string> names;
  for (unsigned i = 0; i < listed; ++i) {
    const PictureSpec& picture = d.pictures[i];
    if (picture.name.empty() || picture.name.find('\\') != std::string::npos) {
      fail(d.id, "picture names must be non-empty and free of backslashes");
    }
    if (!names.insert(picture.name).second) fail(d.id, "duplicate picture name \"" + picture.name + "\"");
    const unsigned number = generatedPictureNumber(picture.name);
    if (number > listed && number - listed <= d.generatedPictures) {
      fail(d.id, "pictures[" + std::to_string(i) + "] \"" + picture.name + "\" has the name of generated picture " +
                     std::to_string(number));
    }
    checkSize(picture.name, picture.width, picture.height);
  }
  if (d.generatedPictures > 0) {
    checkSize(generatedPictureName(listed + 1), d.generatedWidth, d.generatedHeight);
  }
  for (const auto& step : d.dialog) {
    if (step.action == DialogAction::Fail && SUCCEEDED(step.failure)) {
      fail(d.id, "a failing dialog step needs a failure code");
    }
  }
}

void installFromEnvironment() {
  const char* file = std::getenv("WINSIM_DEVICES");
  if (!virtualDevicesInstalled()) {
    // Without the virtual devices' marker the environment names no devices; the control
    // API's sets still work for the programs that call it.
    if (file && *file) {
      std::fprintf(stderr, "winsim: WINSIM_DEVICES=%s is ignored: the virtual devices are not installed\n", file);
    }
    setDevices({});
    return;
  }
  if (!file || !*file) {
    setDevices(defaultDevices());
    return;
  }
  try {
    loadDevicesFile(file);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "winsim: WINSIM_DEVICES=%s: %s; no devices installed\n", file,
                 error.what());
    setDevices({});
  }
}

struct Registration {
  Registration() {
    detail::registerClass(CLSID_WiaDevMgr, CLSCTX_LOCAL_SERVER, [] { return newDeviceManager(); });
    detail::addResetHook([] {
      clearReadOverrides();
      installFromEnvironment();
    });
  }
} registration;

}  // namespace

std::shared_ptr<const DeviceList> currentDevices() {
  auto& s = state();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.installed) return s.devices;
  }
  installFromEnvironment();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.devices;
}

bool nextDialogStep(const std::string& deviceId, DialogStep* step) {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  auto found = s.scripts.find(deviceId);
  if (found == s.scripts.end() || found->second.steps.empty()) return false;
  Script& script = found->second;
  *step = script.steps[std::min(script.next, script.steps.size() - 1)];
  ++script.next;
  return true;
}

bool findReadOverride(const std::string& target, PROPID propid, ReadOverride* rule) {
  auto& s = state();
  if (s.overrideCount.load() == 0) return false;
  std::lock_guard<std::mutex> guard(s.lock);
  for (auto it = s.overrides.rbegin(); it != s.overrides.rend(); ++it) {
    if (it->propid == propid && (it->target.empty() || it->target == target)) {
      *rule = *it;
      return true;
    }
  }
  return false;
}

}  // namespace wia

namespace {

// A default device of winsim's: instance `instance` of the imaging device class.
DeviceSpec virtualDevice(DeviceKind kind, const char* instance, const char* name,
                         const char* description) {
  DeviceSpec device;
  device.kind = kind;
  device.id = std::string("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\") + instance;
  device.name = name;
  device.vendor = "winsim";
  device.description = description;
  return device;
}

}  // namespace

std::vector<DeviceSpec> defaultDevices() {
  DeviceSpec scanner = virtualDevice(DeviceKind::Scanner, "0000", "Virtual Flatbed Scanner",
                                     "Flatbed scanner with a test chart");
  DeviceSpec camera = virtualDevice(DeviceKind::Camera, "0001", "Virtual Camera",
                                    "Digital camera with three pictures");
  camera.port = "\\\\.\\Usbscan1";
  for (WORD i = 0; i < 3; ++i) {
    PictureSpec picture;
    picture.name = "IMG_000" + std::to_string(i + 1);
    picture.taken.wMinute = static_cast<WORD>(30 + 7 * i);
    camera.pictures.push_back(picture);
  }
  return {scanner, camera};
}

void setDevices(std::vector<DeviceSpec> specs) {
  auto list = std::make_shared<wia::DeviceList>();
  std::map<std::string, wia::Script> scripts;
  for (auto& deviceSpec : specs) {
    wia::check(deviceSpec);
    if (!list->byId.emplace(deviceSpec.id, list->devices.size()).second) {
      wia::fail(deviceSpec.id, "duplicate ID");
    }
    scripts[deviceSpec.id].steps = deviceSpec.dialog;
    list->feeders.push_back(deviceSpec.feeder ? std::make_shared<wia::Feeder>(*deviceSpec.feeder) : nullptr);
    list->devices.push_back(std::make_shared<const DeviceSpec>(std::move(deviceSpec)));
  }
  auto& s = wia::state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.devices = std::move(list);
  s.scripts = std::move(scripts);
  s.installed = true;
}

std::vector<DeviceSpec> devices() {
  std::vector<DeviceSpec> copy;
  for (const auto& deviceSpec : wia::currentDevices()->devices) copy.push_back(*deviceSpec);
  return copy;
}

void loadDevices(const std::string& json) { setDevices(parseDevices(json)); }

void loadDevicesFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw std::invalid_argument(path + " is a folder, not a device set file");
  }
  std::ifstream in(path);
  if (!in) throw std::invalid_argument("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw std::invalid_argument("cannot read " + path);
  loadDevices(text.str());
}

void setDialogScript(const std::string& deviceId, std::vector<DialogStep> steps) {
  auto& s = wia::state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.scripts[deviceId] = {std::move(steps), 0};
}

void overrideRead(const ReadOverride& rule) {
  auto& s = wia::state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.overrides.push_back(rule);
  s.overrideCount = s.overrides.size();
}

void clearReadOverrides() {
  auto& s = wia::state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.overrides.clear();
  s.overrideCount = 0;
}

namespace {

std::shared_ptr<wia::Feeder> feederOf(const std::string& deviceId) {
  std::shared_ptr<const wia::DeviceList> list = wia::currentDevices();
  auto found = list->byId.find(deviceId);
  if (found == list->byId.end() || !list->feeders[found->second]) {
    throw std::invalid_argument("device \"" + deviceId + "\" has no document feeder");
  }
  return list->feeders[found->second];
}

}  // namespace

FeederState feederState(const std::string& deviceId) { return feederOf(deviceId)->state(); }

void loadFeeder(const std::string& deviceId, unsigned sheets) { feederOf(deviceId)->load(sheets); }

std::string fullItemName(const std::string& deviceId, const std::string& itemName) {
  size_t slash = deviceId.rfind('\\');
  std::string root = (slash == std::string::npos ? deviceId : deviceId.substr(slash + 1)) + "\\Root";
  return itemName.empty() ? root : root + "\\" + itemName;
}

}  // namespace winsim
