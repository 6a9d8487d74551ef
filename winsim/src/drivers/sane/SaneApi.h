// The functions of SANE's front library (libsane.so.1) that the service calls, bound at
// run time. The declarations come from Debian's libsane-dev; nothing is linked.
#pragma once

#include <sane/sane.h>

#include <memory>
#include <string>

namespace winsim::drivers {

constexpr const char* kSaneLibrary = "libsane.so.1";

struct SaneApi {
  decltype(&::sane_init) init = nullptr;
  decltype(&::sane_exit) exit = nullptr;
  decltype(&::sane_get_devices) getDevices = nullptr;
  decltype(&::sane_open) open = nullptr;
  decltype(&::sane_close) close = nullptr;
  decltype(&::sane_get_option_descriptor) getOptionDescriptor = nullptr;
  decltype(&::sane_control_option) controlOption = nullptr;
  decltype(&::sane_get_parameters) getParameters = nullptr;
  decltype(&::sane_start) start = nullptr;
  decltype(&::sane_read) read = nullptr;
  decltype(&::sane_cancel) cancel = nullptr;
  decltype(&::sane_strstatus) strstatus = nullptr;

  // sane_strstatus's text, or one of ours for a status it has none for.
  std::string statusText(SANE_Status status) const;
};

// Loads `file` and binds every function: null with the reason (the loader's message, or
// the function that is missing) when one cannot be had.
std::shared_ptr<const SaneApi> loadSaneApi(const std::string& file, std::string* reason);

}  // namespace winsim::drivers
