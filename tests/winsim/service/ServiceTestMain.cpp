// The service tests' own start: a private SANE configuration that enables only SANE's test
// backend is named before any test runs; each test writes the backend's test.conf and starts
// the drivers afresh (ServiceTest). The service's files go to a temporary folder of the
// program's own, where the tests can tell that none is left behind.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "../drivers/SaneConfiguration.h"
#include "ServiceTestSupport.h"

int main(int argc, char** argv) {
  servicetest::saneConfigFolder = drivertest::usePrivateSaneConfiguration();
  if (servicetest::saneConfigFolder.empty() || !drivertest::keepTestBackendLoaded(SANE_TEST_BACKEND)) return 2;
  char temporary[] = "/tmp/vestaro-service-tests-XXXXXX";
  if (!mkdtemp(temporary)) return 2;
  setenv("TMPDIR", temporary, 1);
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(servicetest::saneConfigFolder, ignored);
  std::filesystem::remove_all(temporary, ignored);
  return result;
}
