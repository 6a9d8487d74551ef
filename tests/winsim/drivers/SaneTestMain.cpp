// The SANE tests' own start: a private configuration that enables only SANE's test backend
// is named before any test runs. Without a test.conf the backend has its two default
// devices, test:0 and test:1. The test backend stays loaded, so that it has a name for the
// suppressions in SanitizerDefaults.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "SaneConfiguration.h"

int main(int argc, char** argv) {
  const std::string folder = drivertest::usePrivateSaneConfiguration();
  if (folder.empty() || !drivertest::keepTestBackendLoaded(SANE_TEST_BACKEND)) return 2;
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return result;
}
