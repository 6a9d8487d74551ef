// libgphoto2 loaded with its context and its list of camera drivers, and the one thread
// that calls it: shared by the backend and the cameras it opened, so that the context and
// the list go after the last camera.
#pragma once

#include <memory>
#include <string>

#include "../DriverSession.h"
#include "Gphoto2Api.h"

namespace winsim::drivers {

struct Gphoto2Session : DriverSession<Gphoto2Api> {
  using DriverSession::DriverSession;
  GPContext* context = nullptr;
  CameraAbilitiesList* abilities = nullptr;

  // Loads the libraries, makes the context (whose progress reports keep a download's
  // limit running) and loads the camera drivers' abilities: null with the reason when any
  // of it fails or does not return within the poll limit.
  static std::shared_ptr<Gphoto2Session> start(const std::string& library, const std::string& portLibrary,
                                               const DriverLimits& limits, std::string* reason);
  ~Gphoto2Session();  // frees the list and the context, after what was posted before
};

}  // namespace winsim::drivers
