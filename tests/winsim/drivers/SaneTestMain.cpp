// The SANE tests' own start: SANE reads SANE_CONFIG_DIR once, at its first sane_init, so a
// private configuration that enables only SANE's test backend is made and named before any
// test runs. Without a test.conf the backend has its two default devices, test:0 and test:1.
//
// The test backend is loaded here once for good (RTLD_NODELETE), so that SANE's sane_exit
// does not unload it: what the sanitizers find in it is then reported with its name, which
// the suppressions in SanitizerDefaults.cpp name.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

int main(int argc, char** argv) {
  char folder[] = "/tmp/vestaro-sane-XXXXXX";
  if (!mkdtemp(folder)) return 2;
  std::ofstream(std::string(folder) + "/dll.conf") << "test\n";
  setenv("SANE_CONFIG_DIR", folder, 1);  // no trailing ':': the system's folder is not read
  if (!dlopen(SANE_TEST_BACKEND, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
    std::fprintf(stderr, "SANE's test backend is missing: %s\n", dlerror());
    return 2;
  }
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return result;
}
