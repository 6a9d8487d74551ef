#include "VmStart.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace vmstart {

const char* const kProductLibrary = PRODUCT_LIBRARY;

namespace {

// The process has one VM, so one handler for its output.
LineHandler checkFailureHandler = nullptr;

bool isCheckFailure(const std::string& line) {
  return line.find("WARNING") != std::string::npos || line.find("FATAL ERROR") != std::string::npos;
}

// The VM's own output arrives here in pieces: printed as the VM would, then cut into whole
// lines per thread for the handler.
jint JNICALL vfprintfHook(FILE* stream, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return length;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);

  thread_local std::string pending;
  pending += text;
  for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
    const std::string line = pending.substr(0, end);
    pending.erase(0, end + 1);
    if (isCheckFailure(line)) checkFailureHandler(line);
  }
  return length;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ":") + part;
  return text;
}

}  // namespace

VmOptions::VmOptions() : classPath{VESTARO_JAR, HOST_JAR}, libraryPath{PRODUCT_LIBRARY_DIR} {}

VmOptions checkedVm(LineHandler onCheckFailure) {
  VmOptions options;
  options.onCheckFailure = onCheckFailure;
  options.more = {"-Xmx256m", "-XX:+UseSerialGC", "-XX:TieredStopAtLevel=1"};
  return options;
}

JNIEnv* createVm(const VmOptions& options, JavaVM** vm) {
  std::vector<std::string> texts;
  if (options.onCheckFailure) texts.push_back("-Xcheck:jni");
  texts.push_back("-Djava.class.path=" + joined(options.classPath));
  texts.push_back("-Djava.library.path=" + joined(options.libraryPath));
  texts.insert(texts.end(), options.more.begin(), options.more.end());

  std::vector<JavaVMOption> vmOptions;
  for (auto& text : texts) vmOptions.push_back({text.data(), nullptr});
  if (options.onCheckFailure) {
    checkFailureHandler = options.onCheckFailure;
    vmOptions.push_back({const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&vfprintfHook)});
  }

  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(vmOptions.size());
  args.options = vmOptions.data();
  args.ignoreUnrecognized = JNI_FALSE;
  void* env = nullptr;
  if (JNI_CreateJavaVM(vm, &env, &args) != JNI_OK) return nullptr;
  return static_cast<JNIEnv*>(env);
}

jthrowable loadLibrary(JNIEnv* env, const std::string& library) {
  jclass harness = env->FindClass(kHarness);
  if (!harness) return nullptr;
  jmethodID load = env->GetStaticMethodID(harness, "loadLibrary", "(Ljava/lang/String;)Ljava/lang/Throwable;");
  jstring name = load ? env->NewStringUTF(library.c_str()) : nullptr;
  jthrowable thrown = nullptr;
  if (name) {
    thrown = static_cast<jthrowable>(env->CallStaticObjectMethod(harness, load, name));
    env->DeleteLocalRef(name);
  }
  env->DeleteLocalRef(harness);
  return thrown;
}

jobject newObject(JNIEnv* env, const char* className) {
  jclass cls = env->FindClass(className);
  if (!cls) return nullptr;
  jmethodID constructor = env->GetMethodID(cls, "<init>", "()V");
  jobject object = constructor ? env->NewObject(cls, constructor) : nullptr;
  env->DeleteLocalRef(cls);
  return object;
}

jmethodID methodOf(JNIEnv* env, jobject object, const char* name, const char* signature) {
  jclass cls = env->GetObjectClass(object);
  jmethodID method = env->GetMethodID(cls, name, signature);
  env->DeleteLocalRef(cls);
  return method;
}

jfieldID fieldOf(JNIEnv* env, jobject object, const char* name, const char* signature) {
  jclass cls = env->GetObjectClass(object);
  jfieldID field = env->GetFieldID(cls, name, signature);
  env->DeleteLocalRef(cls);
  return field;
}

namespace strict {

namespace {

[[noreturn]] void exitWith(const std::string& why) {
  std::fprintf(stderr, "%s\n", why.c_str());
  std::exit(1);
}

Ending ending = &exitWith;

jfieldID requireField(JNIEnv* env, jobject object, const char* name, const char* signature) {
  jfieldID field = vmstart::fieldOf(env, object, name, signature);
  requireNoException(env, name);
  return field;
}

}  // namespace

void setEnding(Ending newEnding) { ending = newEnding; }

void requireNoException(JNIEnv* env, const char* what) {
  if (!env->ExceptionCheck()) return;
  env->ExceptionDescribe();
  ending(std::string("the harness's own call threw: ") + what);
  std::abort();  // an ending that returned
}

jobject newObject(JNIEnv* env, const char* className) {
  jobject object = vmstart::newObject(env, className);
  requireNoException(env, className);
  return object;
}

jmethodID methodOf(JNIEnv* env, jobject object, const char* name, const char* signature) {
  jmethodID method = vmstart::methodOf(env, object, name, signature);
  requireNoException(env, name);
  return method;
}

jlong longField(JNIEnv* env, jobject object, const char* name) {
  return env->GetLongField(object, requireField(env, object, name, "J"));
}

void setBooleanField(JNIEnv* env, jobject object, const char* name, bool value) {
  env->SetBooleanField(object, requireField(env, object, name, "Z"), value ? JNI_TRUE : JNI_FALSE);
}

jobject objectField(JNIEnv* env, jobject object, const char* name, const char* signature) {
  return env->GetObjectField(object, requireField(env, object, name, signature));
}

void setObjectField(JNIEnv* env, jobject object, const char* name, const char* signature, jobject value) {
  env->SetObjectField(object, requireField(env, object, name, signature), value);
}

}  // namespace strict

}  // namespace vmstart
