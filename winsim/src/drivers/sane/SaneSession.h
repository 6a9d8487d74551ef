// SANE's front library loaded and initialised, with the one thread that calls it: shared
// by the backend and the devices it opened, so that sane_exit comes after the last of them
// is closed.
#pragma once

#include <memory>
#include <string>

#include "../DriverSession.h"
#include "SaneApi.h"

namespace winsim::drivers {

struct SaneSession : DriverSession<SaneApi> {
  using DriverSession::DriverSession;
  bool initialised = false;

  // Loads `library` and calls sane_init on a new thread: null with the reason when the
  // library cannot be loaded, lacks a function, fails to initialise, is not SANE 1 or does
  // not return within the poll limit.
  static std::shared_ptr<SaneSession> start(const std::string& library, const DriverLimits& limits,
                                            std::string* reason);
  ~SaneSession();  // sane_exit, after what was posted before
};

}  // namespace winsim::drivers
