#include "Jvm.h"

namespace bench {

namespace strict = vmstart::strict;

JNIEnv* env = nullptr;

bool startJvm() {
  vmstart::VmOptions options;
  options.more = {
      // A fixed heap, so that the resident size follows the library, not the heap's sizing.
      "-Xms64m",
      "-Xmx64m",
      // The heap's pages resident from the start: growth of the resident size is then the
      // library's and the platform's, not the heap being touched for the first time.
      "-XX:+AlwaysPreTouch",
  };
  JavaVM* vm = nullptr;
  env = vmstart::createVm(options, &vm);
  if (!env) return false;

  jthrowable thrown = vmstart::loadLibrary(env, vmstart::kProductLibrary);
  strict::requireNoException(env, "Harness.loadLibrary");
  if (thrown) {
    env->Throw(thrown);
    strict::requireNoException(env, "System.loadLibrary");
  }
  return true;
}

jobject newManager() {
  jobject manager = strict::newObject(env, "kordin/vestaro/testhost/RecordingManager");
  strict::setBooleanField(env, manager, "keepOffers", false);
  strict::setBooleanField(env, manager, "accept", false);
  return manager;
}

jobject newDevice(const char* className) {
  jobject device = strict::newObject(env, className);
  jobject recorder = strict::objectField(env, device, "transfers", "Lkordin/vestaro/testhost/TransferRecorder;");
  env->CallVoidMethod(recorder, strict::methodOf(env, recorder, "keepTotalsOnly", "()V"));
  strict::requireNoException(env, "keepTotalsOnly");
  env->DeleteLocalRef(recorder);
  return device;
}

}  // namespace bench
