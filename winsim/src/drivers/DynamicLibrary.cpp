#include "DynamicLibrary.h"

#include <dlfcn.h>

namespace winsim::drivers {
namespace {

std::string loaderMessage(const char* fallback) {
  const char* message = dlerror();
  return message ? message : fallback;
}

}  // namespace

bool DynamicLibrary::load(const std::string& file, std::string* reason) {
  file_ = file;
  dlerror();
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) *reason = loaderMessage((file + ": cannot be loaded").c_str());
  return handle_ != nullptr;
}

void* DynamicLibrary::symbol(const char* name, std::string* reason) const {
  if (!handle_) {
    *reason = file_ + " is not loaded";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(handle_, name);
  if (!address) *reason = file_ + " has no function " + name + " (" + loaderMessage("no symbol") + ")";
  return address;
}

}  // namespace winsim::drivers
