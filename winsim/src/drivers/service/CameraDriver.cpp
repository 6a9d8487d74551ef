#include "CameraDriver.h"

#include <sys/stat.h>

#include <cerrno>

#include "DriverDeviceId.h"

namespace winsim::drivers {

DeviceSpec cameraDeviceInfo(const CameraInfo& camera) {
  DeviceSpec d;
  d.kind = DeviceKind::Camera;
  d.id = driverDeviceId("gphoto2", camera.port);
  d.port = camera.port;
  d.pictures.clear();
  if (camera.folder) {
    const std::string folder = camera.port.substr(camera.port.find(':') + 1);
    const size_t slash = folder.rfind('/');
    d.name = slash == std::string::npos || slash + 1 == folder.size() ? folder : folder.substr(slash + 1);
    d.description = "Pictures in " + folder;
  } else {
    d.name = camera.model;
    d.description = "Digital camera on " + camera.port;
  }
  d.vendor = camera.model;
  return d;
}

wia::CameraFile cameraFileOf(const CameraPicture& picture) {
  wia::CameraFile file;
  file.path = picture.path();
  file.format = wia::formatOfFile(picture.mimeType, picture.name);
  file.hasSize = picture.hasSize;
  file.size = picture.size;
  file.hasTime = picture.hasTime;
  file.modified = picture.modified;
  return file;
}

CameraDriver::CameraDriver(std::shared_ptr<const DeviceSpec> deviceSpec, std::unique_ptr<Gphoto2Camera> camera)
    : ServedDevice(std::move(deviceSpec)), camera_(std::move(camera)) {}

HRESULT CameraDriver::listFiles(std::vector<wia::CameraFile>* files) {
  files->clear();
  std::vector<CameraPicture> pictures;
  const DriverStatus listed = camera_->listPictures(&pictures);
  if (!listed.ok()) return listed.code;
  files->reserve(pictures.size());
  for (const CameraPicture& picture : pictures) files->push_back(cameraFileOf(picture));
  return S_OK;
}

HRESULT CameraDriver::fetch(const wia::CameraFile& file, const std::string& path) {
  // The camera's folder and name again from the path it listed.
  CameraPicture picture;
  const size_t slash = file.path.rfind('/');
  picture.folder = slash == 0 || slash == std::string::npos ? "/" : file.path.substr(0, slash);
  picture.name = file.name();
  picture.hasSize = file.hasSize;
  picture.size = file.size;
  const DriverStatus fetched = camera_->fetch(picture, path);
  // The folder driver says no more than that it could not read: a file no longer in the
  // folder is an item deleted, as a camera that lost a picture says.
  const std::string& port = deviceSpec()->port;
  if (FAILED(fetched.code) && port.compare(0, 5, "disk:") == 0) {
    struct stat status {};
    if (::stat((port.substr(5) + file.path).c_str(), &status) != 0 && errno == ENOENT) return WIA_ERROR_ITEM_DELETED;
  }
  return fetched.code;
}

}  // namespace winsim::drivers
