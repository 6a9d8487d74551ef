#include "SaneConfiguration.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>

namespace drivertest {

std::string usePrivateSaneConfiguration() {
  char folder[] = "/tmp/vestaro-sane-XXXXXX";
  if (!mkdtemp(folder)) return "";
  std::ofstream(std::string(folder) + "/dll.conf") << "test\n";
  setenv("SANE_CONFIG_DIR", folder, 1);
  return folder;
}

bool keepTestBackendLoaded(const char* library) {
  if (dlopen(library, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) return true;
  std::fprintf(stderr, "SANE's test backend is missing: %s\n", dlerror());
  return false;
}

}  // namespace drivertest
