// A private SANE configuration for tests of real drivers: SANE reads SANE_CONFIG_DIR as it
// starts, so a folder with a dll.conf that enables only SANE's test backend is made and
// named before SANE starts.
#pragma once

#include <string>

namespace drivertest {

// Makes the folder, names it in SANE_CONFIG_DIR (without a trailing ':', so that the
// system's folder is not read) and returns it; "" when it cannot be made.
std::string usePrivateSaneConfiguration();

// Loads the test backend once for good (RTLD_NODELETE), so that SANE's sane_exit does not
// unload it and what the sanitizers find in it is reported with its name. False, with the
// reason on the standard error stream, when it is missing.
bool keepTestBackendLoaded(const char* library);

}  // namespace drivertest
