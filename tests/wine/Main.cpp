// The Wine scenarios of one DLL (VESTARO_WINE_DLL), all in one process, on a thread that
// has joined COM as the host's threads do.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
