// The functions of SANE's front library (libsane.so.1) that the service calls, bound at
// run time. The declarations come from Debian's libsane-dev; nothing is linked.
#pragma once

#include <sane/sane.h>

#include <cstring>
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

  // sane_strstatus's text, or one of ours for a status SANE does not define.
  std::string statusText(int status) const;
};

// What a backend wrote into one of SANE's enumerations (a status, a frame format, a value
// type), read as the int it is: a backend may write a value the enumeration lacks, which
// must not be read as the enumeration. Statuses are kept as such ints throughout.
template <typename Enumeration>
int valueOf(const Enumeration& field) {
  static_assert(sizeof(Enumeration) == sizeof(int), "SANE's enumerations are ints");
  int value;
  std::memcpy(&value, &field, sizeof value);
  return value;
}

// Loads `file` and binds every function: null with the reason (the loader's message, or
// the function that is missing) when one cannot be had.
std::shared_ptr<const SaneApi> loadSaneApi(const std::string& file, std::string* reason);

}  // namespace winsim::drivers
