#include "FuzzVm.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "hostile-driver fuzzer: %s\n", why.c_str());
  std::fflush(stderr);
  std::abort();  // libFuzzer reports the input that got here
}

// The VM's own output, line by line: a JNI check's warning or a fatal error is a finding.
jint JNICALL vfprintfHook(FILE* stream, const char* format, va_list args) {
  char text[2048];
  const int length = std::vsnprintf(text, sizeof text, format, args);
  if (length <= 0) return length;
  std::fputs(text, stream);
  thread_local std::string pending;
  pending += text;
  for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
    const std::string line = pending.substr(0, end);
    pending.erase(0, end + 1);
    if (line.find("WARNING") != std::string::npos || line.find("FATAL ERROR") != std::string::npos) {
      fail("the Java VM reported: " + line);
    }
  }
  return length;
}

jmethodID methodOf(JNIEnv* env, jobject target, const char* name, const char* signature) {
  jclass cls = env->GetObjectClass(target);
  jmethodID method = env->GetMethodID(cls, name, signature);
  env->DeleteLocalRef(cls);
  requireNoException(env, name);
  return method;
}

jfieldID fieldOf(JNIEnv* env, jobject object, const char* name, const char* signature) {
  jclass cls = env->GetObjectClass(object);
  jfieldID field = env->GetFieldID(cls, name, signature);
  env->DeleteLocalRef(cls);
  requireNoException(env, name);
  return field;
}

jthrowable takeThrown(JNIEnv* env) {
  jthrowable thrown = env->ExceptionOccurred();
  if (thrown) env->ExceptionClear();
  return thrown;
}

}  // namespace

JNIEnv* startVm() {
  std::string classPath = std::string("-Djava.class.path=") + VESTARO_JAR + ":" + FUZZ_HOST_JAR;
  std::string libraryPath = std::string("-Djava.library.path=") + LIBRARY_DIR;
  JavaVMOption options[] = {
      {const_cast<char*>("-Xcheck:jni"), nullptr},
      {const_cast<char*>(classPath.c_str()), nullptr},
      {const_cast<char*>(libraryPath.c_str()), nullptr},
      {const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&vfprintfHook)},
      // SIGINT and SIGTERM stay with the fuzzer, which saves its state on them.
      {const_cast<char*>("-Xrs"), nullptr},
      {const_cast<char*>("-Xmx256m"), nullptr},
      {const_cast<char*>("-XX:+UseSerialGC"), nullptr},
      {const_cast<char*>("-XX:TieredStopAtLevel=1"), nullptr},
  };
  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(sizeof options / sizeof options[0]);
  args.options = options;
  args.ignoreUnrecognized = JNI_FALSE;
  JavaVM* vm = nullptr;
  void* env = nullptr;
  if (JNI_CreateJavaVM(&vm, &env, &args) != JNI_OK) fail("the Java VM could not be created");
  JNIEnv* jni = static_cast<JNIEnv*>(env);

  jclass harness = jni->FindClass("kordin/vestaro/testhost/Harness");
  requireNoException(jni, "the harness class");
  jmethodID load = jni->GetStaticMethodID(harness, "loadLibrary", "(Ljava/lang/String;)Ljava/lang/Throwable;");
  jstring name = jni->NewStringUTF("vestaro64_12");
  jthrowable thrown = static_cast<jthrowable>(jni->CallStaticObjectMethod(harness, load, name));
  requireNoException(jni, "loading the library");
  if (thrown) fail("the library did not load: " + describe(jni, thrown));
  jni->DeleteLocalRef(name);
  jni->DeleteLocalRef(harness);
  return jni;
}

jobject newObject(JNIEnv* env, const char* className) {
  jclass cls = env->FindClass(className);
  requireNoException(env, className);
  jobject object = env->NewObject(cls, env->GetMethodID(cls, "<init>", "()V"));
  requireNoException(env, className);
  env->DeleteLocalRef(cls);
  return object;
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

jlong longField(JNIEnv* env, jobject object, const char* name) {
  return env->GetLongField(object, fieldOf(env, object, name, "J"));
}

void setBooleanField(JNIEnv* env, jobject object, const char* name, bool value) {
  env->SetBooleanField(object, fieldOf(env, object, name, "Z"), value ? JNI_TRUE : JNI_FALSE);
}

void setObjectField(JNIEnv* env, jobject object, const char* name, const char* signature, jobject value) {
  env->SetObjectField(object, fieldOf(env, object, name, signature), value);
}

jobject objectField(JNIEnv* env, jobject object, const char* name, const char* signature) {
  return env->GetObjectField(object, fieldOf(env, object, name, signature));
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

void requireNoException(JNIEnv* env, const char* what) {
  if (!env->ExceptionCheck()) return;
  env->ExceptionDescribe();
  fail(std::string("the harness's own call threw: ") + what);
}

}  // namespace fuzz
