// Runs the tests, then ends the Java VM. Destroying the VM waits for every non-daemon Java
// thread, so a thread left attached to the VM shows up as a hang instead of passing unseen.
#include <gtest/gtest.h>

#include "Jvm.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  if (jvmtest::Jvm::shutDown() != 0) result = 1;
  return result;
}
