// The SANE tests' own start: SANE reads SANE_CONFIG_DIR once, at its first sane_init, so a
// private configuration that enables only SANE's test backend is made and named before any
// test runs. Without a test.conf the backend has its two default devices, test:0 and test:1.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <system_error>

int main(int argc, char** argv) {
  char folder[] = "/tmp/vestaro-sane-XXXXXX";
  if (!mkdtemp(folder)) return 2;
  std::ofstream(std::string(folder) + "/dll.conf") << "test\n";
  setenv("SANE_CONFIG_DIR", folder, 1);  // no trailing ':': the system's folder is not read
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return result;
}
