// Whether the virtual devices are part of this installation: a file named
// winsim-virtual-devices beside libwinsim.so when it was loaded (the virtual artifact
// carries it, and the build writes it beside the build tree's library). It is looked for
// once, while the library loads, since a loader may remove the folder it extracted the
// library to right after.
#include <dlfcn.h>
#include <sys/stat.h>

#include <string>

#include "wia/Platform.h"

namespace winsim::wia {
namespace {

constexpr const char* kMarkerName = "winsim-virtual-devices";

bool markerBesideLibrary() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&markerBesideLibrary), &info) || !info.dli_fname) return false;
  const std::string library = info.dli_fname;
  const size_t slash = library.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : library.substr(0, slash);
  struct stat status {};
  return ::stat((folder + "/" + kMarkerName).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

const bool installed = markerBesideLibrary();

}  // namespace

bool virtualDevicesInstalled() { return installed; }

}  // namespace winsim::wia
