// libgphoto2's cameras for the service: the cameras it detects, and folders served as
// cameras through its "Directory Browse" driver on the port disk:FOLDER, each folder of the
// vestaro.folderCameras setting (DriverSettings.h). Without the library there are simply
// no such cameras, and unavailableReason() says why for a debug line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../DriverSession.h"
#include "../DriverSettings.h"
#include "../DriverStatus.h"
#include "Gphoto2Api.h"

namespace winsim::drivers {

class Gphoto2Camera;
struct Gphoto2Session;

constexpr const char* kFolderCameraModel = "Directory Browse";

// A camera as a listing finds it. `port` ("usb:001,005", "disk:/home/me/photos") is the
// camera's id: the same from one listing to the next while the camera stays where it is.
struct CameraInfo {
  std::string port;
  std::string model;
  bool folder = false;  // a folder of the setting, not a detected camera
};

struct Gphoto2BackendOptions {
  std::string library = kGphoto2Library;
  std::string portLibrary = kGphoto2PortLibrary;
  DriverLimits limits = driverLimitsFromSettings();
  std::vector<std::string> folders;  // absolute folders to serve as cameras (folderCameras())
};

class Gphoto2Backend {
 public:
  explicit Gphoto2Backend(const Gphoto2BackendOptions& options);
  ~Gphoto2Backend();
  Gphoto2Backend(const Gphoto2Backend&) = delete;
  Gphoto2Backend& operator=(const Gphoto2Backend&) = delete;

  bool available() const { return started_.available(); }
  const std::string& unavailableReason() const { return started_.unavailableReason(); }

  // The cameras there now: those detected, then each folder of the setting that is a
  // folder now (one removed since the last listing is simply not listed). `*cameras` holds
  // what was found even when a failure is returned.
  DriverStatus listCameras(std::vector<CameraInfo>* cameras) { return listCameras(folders_, cameras); }
  // The same with the folders of the setting as it is now.
  DriverStatus listCameras(const std::vector<std::string>& folders, std::vector<CameraInfo>* cameras);
  // Opens a camera of a listing (gp_camera_init).
  DriverStatus open(const CameraInfo& camera, std::unique_ptr<Gphoto2Camera>* opened);

 private:
  StartedSession<Gphoto2Session> started_;
  std::vector<std::string> folders_;
};

}  // namespace winsim::drivers
