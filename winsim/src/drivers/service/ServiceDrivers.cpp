// The drivers of real devices in winsim's service on Linux (wia/Drivers.h): which of them are
// on (vestaro.drivers), their libraries started by the first enumeration that wants them,
// the devices they list at each enumeration, SANE's and libgphoto2's at the same time (so
// that a poll waits for the slower alone), and the devices open, each once however many
// sessions hold it.
#include <sys/stat.h>

#include <cstdio>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include "CameraDriver.h"
#include "DriverDeviceId.h"
#include "DriverSettings.h"
#include "SaneScannerDriver.h"
#include "SaneScannerSpec.h"
#include "gphoto2/Gphoto2Backend.h"
#include "sane/SaneBackend.h"
#include "wia/Drivers.h"
#include "winsim/control.h"

namespace winsim::wia {
namespace {

using namespace winsim::drivers;

// How to open a device a listing gave.
struct Listed {
  bool camera = false;
  SaneDeviceInfo scanner;
  CameraInfo cameraInfo;
  std::shared_ptr<const DeviceSpec> info;
};

bool isFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A driver that the setting names but that cannot serve is said once per start, on the
// standard error stream as the service's other complaints are; without the setting, a
// machine without SANE or libgphoto2 simply has no such devices.
void sayUnavailable(const char* driver, const char* library, const std::string& reason) {
  std::optional<std::string> named = setting(kDriversSetting);
  if (named && named->find(driver) != std::string::npos) {
    std::fprintf(stderr, "winsim: %s serves no devices: %s\n", library, reason.c_str());
  }
}

void sayUnknownDrivers(const DriverSelection& selection) {
  static std::mutex lock;
  static std::set<std::string> said;
  std::lock_guard<std::mutex> guard(lock);
  for (const std::string& name : selection.unknown) {
    if (said.insert(name).second) {
      std::fprintf(stderr, "winsim: %s names no driver \"%s\" (virtual, sane and gphoto2 are)\n", kDriversSetting,
                   name.c_str());
    }
  }
}

class ServiceDrivers {
 public:
  static ServiceDrivers& instance() {
    static auto* drivers = new ServiceDrivers;  // never destroyed: the drivers' threads may outlive statics
    return *drivers;
  }

  DriverListing list(const DriverSelection& selection) {
    DriverListing listing;
    std::future<std::pair<DriverStatus, std::vector<SaneDeviceInfo>>> scanners;
    std::shared_ptr<SaneBackend> saneBackend = selection.sane ? sane() : nullptr;
    const bool listScanners = saneBackend && saneBackend->available();
    if (listScanners) {
      scanners = std::async(std::launch::async, [backend = saneBackend] {
        std::vector<SaneDeviceInfo> devices;
        DriverStatus status = backend->listDevices(&devices);
        return std::make_pair(status, std::move(devices));
      });
    }
    std::vector<CameraInfo> cameras;
    DriverStatus camerasListed;
    if (selection.gphoto2) camerasListed = gphoto2()->listCameras(folderCameras(), &cameras);
    std::vector<Listed> found;
    if (listScanners) {
      auto [status, devices] = scanners.get();
      if (!status.ok()) listing.failure = status.code;
      for (const SaneDeviceInfo& device : devices) {
        found.push_back({false, device, {}, std::make_shared<const DeviceSpec>(saneDeviceInfo(device))});
      }
    }
    if (!camerasListed.ok() && SUCCEEDED(listing.failure)) listing.failure = camerasListed.code;
    for (const CameraInfo& camera : cameras) {
      found.push_back({true, {}, camera, std::make_shared<const DeviceSpec>(cameraDeviceInfo(camera))});
    }
    std::lock_guard<std::mutex> guard(lock_);
    for (Listed& device : found) {
      listing.devices.push_back(device.info);
      listed_[device.info->id] = std::move(device);
    }
    return listing;
  }

  HRESULT open(const std::string& id, std::shared_ptr<const DeviceSpec>* deviceSpec, std::shared_ptr<DeviceDriver>* driver) {
    std::lock_guard<std::mutex> opening(openLock_);  // so that a device is opened once
    Listed device;
    bool known = false;
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto open = open_.find(id);
      if (open != open_.end()) {
        if (std::shared_ptr<ServedDevice> served = open->second.lock()) {
          *deviceSpec = served->deviceSpec();
          *driver = served;
          return S_OK;
        }
        open_.erase(open);
      }
      known = listed_.count(id) > 0;
    }
    // An ID that a caller kept from before (another process, an earlier start): the drivers
    // list again to know it.
    if (!known) (void)list(driverSelection());
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto listed = listed_.find(id);
      if (listed == listed_.end()) return WIA_S_NO_DEVICE_AVAILABLE;
      device = listed->second;
    }
    std::shared_ptr<ServedDevice> served;
    if (device.camera) {
      const std::string folder = device.cameraInfo.port.substr(device.cameraInfo.port.find(':') + 1);
      if (device.cameraInfo.folder && !isFolder(folder)) return WIA_ERROR_OFFLINE;
      std::unique_ptr<Gphoto2Camera> camera;
      DriverStatus status = gphoto2()->open(device.cameraInfo, &camera);
      if (!status.ok()) return status.code;
      served = std::make_shared<CameraDriver>(device.info, std::move(camera));
    } else {
      std::unique_ptr<SaneDevice> scanner;
      DriverStatus status = sane()->open(device.scanner.name, &scanner);
      // SANE_STATUS_INVAL: no device of that name any more.
      if (status.code == E_INVALIDARG) return WIA_ERROR_OFFLINE;
      if (!status.ok()) return status.code;
      auto model = std::make_shared<const DeviceSpec>(saneScannerSpec(device.scanner, scanner->model()));
      served = std::make_shared<SaneScannerDriver>(model, std::move(scanner));
    }
    std::lock_guard<std::mutex> guard(lock_);
    open_[id] = served;
    *deviceSpec = served->deviceSpec();
    *driver = served;
    return S_OK;
  }

  void restart() {
    std::lock_guard<std::mutex> starting(startLock_);
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [id, open] : open_) {
      if (!open.expired()) throw std::logic_error("the device " + id + " is still open");
    }
    open_.clear();
    listed_.clear();
    sane_.reset();  // sane_exit, waited for
    gphoto2_.reset();
  }

 private:
  std::shared_ptr<SaneBackend> sane() {
    std::lock_guard<std::mutex> starting(startLock_);
    if (!sane_) {
      sane_ = std::make_shared<SaneBackend>();
      if (!sane_->available()) sayUnavailable("sane", "SANE", sane_->unavailableReason());
    }
    return sane_;
  }

  std::shared_ptr<Gphoto2Backend> gphoto2() {
    std::lock_guard<std::mutex> starting(startLock_);
    if (!gphoto2_) {
      gphoto2_ = std::make_shared<Gphoto2Backend>(Gphoto2BackendOptions{});
      if (!gphoto2_->available()) sayUnavailable("gphoto2", "libgphoto2", gphoto2_->unavailableReason());
    }
    return gphoto2_;
  }

  std::mutex startLock_;  // the libraries' start and restart
  std::shared_ptr<SaneBackend> sane_;
  std::shared_ptr<Gphoto2Backend> gphoto2_;
  std::mutex openLock_;
  std::mutex lock_;  // listed_ and open_
  std::map<std::string, Listed> listed_;  // every device a listing of this process gave
  std::map<std::string, std::weak_ptr<ServedDevice>> open_;
};

}  // namespace

bool virtualDevicesServed() { return driverSelection().virtualDevices; }

bool realDriversServed() {
  const DriverSelection selection = driverSelection();
  sayUnknownDrivers(selection);
  return selection.sane || selection.gphoto2;
}

DriverListing listDriverDevices() { return ServiceDrivers::instance().list(driverSelection()); }

HRESULT openDriverDevice(const std::string& id, std::shared_ptr<const DeviceSpec>* deviceSpec,
                         std::shared_ptr<DeviceDriver>* driver) {
  return ServiceDrivers::instance().open(id, deviceSpec, driver);
}

}  // namespace winsim::wia

namespace winsim {

void restartDrivers() { wia::ServiceDrivers::instance().restart(); }

}  // namespace winsim
