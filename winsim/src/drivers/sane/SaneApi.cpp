#include "SaneApi.h"

#include "../DynamicLibrary.h"

namespace winsim::drivers {

std::string SaneApi::statusText(int status) const {
  bool defined = status >= SANE_STATUS_GOOD && status <= SANE_STATUS_ACCESS_DENIED;
  const char* text = defined && strstatus ? strstatus(static_cast<SANE_Status>(status)) : nullptr;
  if (text && *text) return text;
  return "SANE status " + std::to_string(static_cast<int>(status));
}

std::shared_ptr<const SaneApi> loadSaneApi(const std::string& file, std::string* reason) {
  DynamicLibrary library;
  if (!library.load(file, reason)) return nullptr;
  auto api = std::make_shared<SaneApi>();
  bool bound = library.bind("sane_init", &api->init, reason) &&
               library.bind("sane_exit", &api->exit, reason) &&
               library.bind("sane_get_devices", &api->getDevices, reason) &&
               library.bind("sane_open", &api->open, reason) &&
               library.bind("sane_close", &api->close, reason) &&
               library.bind("sane_get_option_descriptor", &api->getOptionDescriptor, reason) &&
               library.bind("sane_control_option", &api->controlOption, reason) &&
               library.bind("sane_get_parameters", &api->getParameters, reason) &&
               library.bind("sane_start", &api->start, reason) &&
               library.bind("sane_read", &api->read, reason) &&
               library.bind("sane_cancel", &api->cancel, reason) &&
               library.bind("sane_strstatus", &api->strstatus, reason);
  if (!bound) return nullptr;
  return api;
}

}  // namespace winsim::drivers
