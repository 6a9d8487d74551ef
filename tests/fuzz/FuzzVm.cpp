#include "FuzzVm.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace {

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "hostile-driver fuzzer: %s\n", why.c_str());
  std::fflush(stderr);
  std::abort();  // libFuzzer reports the input that got here
}

// A JNI check's warning or a fatal error of the VM is a finding.
void failOnCheck(const std::string& line) { fail("the Java VM reported: " + line); }

using vmstart::strict::methodOf;

jthrowable takeThrown(JNIEnv* env) {
  jthrowable thrown = env->ExceptionOccurred();
  if (thrown) env->ExceptionClear();
  return thrown;
}

}  // namespace

JNIEnv* startVm() {
  vmstart::strict::setEnding(&fail);
  vmstart::VmOptions options = vmstart::checkedVm(&failOnCheck);
  // SIGINT and SIGTERM stay with the fuzzer, which saves its state on them.
  options.more.push_back("-Xrs");
  JavaVM* vm = nullptr;
  JNIEnv* env = vmstart::createVm(options, &vm);
  if (!env) fail("the Java VM could not be created");

  jthrowable thrown = vmstart::loadLibrary(env, vmstart::kProductLibrary);
  requireNoException(env, "loading the library");
  if (thrown) fail("the library did not load: " + describe(env, thrown));
  return env;
}

jthrowable callVoid(JNIEnv* env, jobject target, const char* name, const char* signature, ...) {
  jmethodID method = methodOf(env, target, name, signature);
  va_list args;
  va_start(args, signature);
  env->CallVoidMethodV(target, method, args);
  va_end(args);
  return takeThrown(env);
}

jlong callLong(JNIEnv* env, jobject target, const char* name, jthrowable* thrown) {
  const jlong result = env->CallLongMethod(target, methodOf(env, target, name, "()J"));
  *thrown = takeThrown(env);
  return result;
}

jint callInt(JNIEnv* env, jobject target, const char* name) {
  const jint result = env->CallIntMethod(target, methodOf(env, target, name, "()I"));
  requireNoException(env, name);
  return result;
}

jobject callObject(JNIEnv* env, jobject target, const char* name, const char* signature, jint index) {
  jobject result = env->CallObjectMethod(target, methodOf(env, target, name, signature), index);
  requireNoException(env, name);
  return result;
}

std::string describe(JNIEnv* env, jthrowable thrown) {
  jclass throwable = env->FindClass("java/lang/Throwable");
  jmethodID toString = env->GetMethodID(throwable, "toString", "()Ljava/lang/String;");
  jstring text = static_cast<jstring>(env->CallObjectMethod(thrown, toString));
  requireNoException(env, "Throwable.toString");
  std::string result = "(no text)";
  if (text) {
    const char* chars = env->GetStringUTFChars(text, nullptr);
    if (chars) result = chars;
    env->ReleaseStringUTFChars(text, chars);
    env->DeleteLocalRef(text);
  }
  env->DeleteLocalRef(throwable);
  return result;
}

}  // namespace fuzz
