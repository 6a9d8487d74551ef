// A libgphoto2 camera as a WIA camera driver runs it: its files are its pictures, listed
// afresh at each enumeration of the root's children and transferred as the files they are.
#pragma once

#include <memory>

#include "ServedDevice.h"
#include "gphoto2/Gphoto2Backend.h"
#include "gphoto2/Gphoto2Camera.h"

namespace winsim::drivers {

// The device information of a camera a listing found: a folder camera is named by its
// folder's name (its path the description), a detected camera by its model.
DeviceSpec cameraDeviceInfo(const CameraInfo& camera);

// A camera file of a listing: its path, type, size and time.
wia::CameraFile cameraFileOf(const CameraPicture& picture);

class CameraDriver final : public ServedDevice {
 public:
  CameraDriver(std::shared_ptr<const DeviceSpec> deviceSpec, std::unique_ptr<Gphoto2Camera> camera);

  HRESULT listFiles(std::vector<wia::CameraFile>* files) override;
  HRESULT fetch(const wia::CameraFile& file, const std::string& path) override;

 private:
  std::unique_ptr<Gphoto2Camera> camera_;
};

}  // namespace winsim::drivers
