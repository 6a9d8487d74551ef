// An open libgphoto2 camera as a WIA camera driver uses it: its files are the camera's
// pictures, listed in a stable order and fetched as the files they are.
#pragma once

// winsim's TRUE and FALSE first: libgphoto2's headers define them again, as the same values.
#include "winsim/winsim.h"

#include <gphoto2/gphoto2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../DriverStatus.h"

namespace winsim::drivers {

struct Gphoto2Session;

struct CameraPicture {
  std::string folder;  // "/", "/store_00010001/DCIM/100CANON"
  std::string name;    // "IMG_0001.JPG"
  bool hasSize = false;
  uint64_t size = 0;
  std::string mimeType;  // "image/jpeg", empty when unknown
  bool hasTime = false;
  int64_t modified = 0;  // seconds since 1970, UTC

  std::string path() const;  // folder and name
};

class Gphoto2Camera {
 public:
  // Folders below this depth are not listed (a link that loops stops there).
  static constexpr int kMaxFolderDepth = 32;

  Gphoto2Camera(std::shared_ptr<Gphoto2Session> session, std::string port, Camera* camera);
  ~Gphoto2Camera();  // gp_camera_exit, after what is queued on the driver's thread
  Gphoto2Camera(const Gphoto2Camera&) = delete;
  Gphoto2Camera& operator=(const Gphoto2Camera&) = delete;

  const std::string& port() const { return port_; }

  // Every file of every folder as it is now: a folder's files by name (byte order), then
  // its folders by name, each in the same way. A file whose information the driver does not
  // offer is listed with what is unknown left unset.
  DriverStatus listPictures(std::vector<CameraPicture>* pictures);

  // Fetches `picture` byte for byte into `path` (created, or truncated, owner-only). On a
  // failure, or fewer bytes than the camera announced, the file is removed.
  DriverStatus fetch(const CameraPicture& picture, const std::string& path);

 private:
  std::shared_ptr<Gphoto2Session> session_;
  std::string port_;
  Camera* camera_;
};

}  // namespace winsim::drivers
