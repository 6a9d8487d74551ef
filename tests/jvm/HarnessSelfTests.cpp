// The harness turns the VM's JNI warnings into test failures: proven with a native that
// makes a JNI call while an exception is pending.
#include <gtest/gtest-spi.h>

#include "Java.h"
#include "Jvm.h"

namespace jvmtest {
namespace {

constexpr const char* kMisuse = "kordin/vestaro/testhost/Misuse";

void JNICALL callWithExceptionPending(JNIEnv* env, jclass) {
  env->ThrowNew(env->FindClass("java/lang/IllegalStateException"), "left pending");
  jclass another = env->FindClass("java/lang/Object");  // the fault
  if (another) env->DeleteLocalRef(another);
}

void registerMisuse(JNIEnv* env) {
  LocalRef<jclass> cls(env, findClass(env, kMisuse));
  JNINativeMethod method{const_cast<char*>("callWithExceptionPending"), const_cast<char*>("()V"),
                         reinterpret_cast<void*>(&callWithExceptionPending)};
  ASSERT_EQ(env->RegisterNatives(cls.get(), &method, 1), JNI_OK);
}

void misuse() {
  JNIEnv* env = Jvm::current()->env();
  JavaException e = thrownByStatic(env, kMisuse, "callWithExceptionPending", "()V");
  EXPECT_EQ(e.message, "left pending");
}

class HarnessSelfCheck : public JvmTest {
 protected:
  LoadSettings loadSettings() const override { return LoadSettings("library"); }
};

TEST_F(HarnessSelfCheck, JniCallWithAnExceptionPendingFailsTheTest) {
  registerMisuse(env_);
  EXPECT_NONFATAL_FAILURE(misuse(), "JNI call made with exception pending");
}

// Run alone by ctest, which expects gtest to report this test failed.
using HarnessRawMisuse = HarnessSelfCheck;

TEST_F(HarnessRawMisuse, FailsItsTest) {
  registerMisuse(env_);
  misuse();
}

}  // namespace
}  // namespace jvmtest
