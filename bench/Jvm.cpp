#include "Jvm.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

JNIEnv* env = nullptr;

void check(const char* what) {
  if (!env->ExceptionCheck()) return;
  std::fprintf(stderr, "%s threw:\n", what);
  env->ExceptionDescribe();
  std::exit(1);
}

jobject newObject(const char* className) {
  jclass cls = env->FindClass(className);
  check(className);
  jobject object = env->NewObject(cls, env->GetMethodID(cls, "<init>", "()V"));
  check(className);
  env->DeleteLocalRef(cls);
  return object;
}

jmethodID methodOf(jobject object, const char* name, const char* signature) {
  jclass cls = env->GetObjectClass(object);
  jmethodID method = env->GetMethodID(cls, name, signature);
  env->DeleteLocalRef(cls);
  check(name);
  return method;
}

void setBoolean(jobject object, const char* name, bool value) {
  jclass cls = env->GetObjectClass(object);
  env->SetBooleanField(object, env->GetFieldID(cls, name, "Z"), value ? JNI_TRUE : JNI_FALSE);
  env->DeleteLocalRef(cls);
  check(name);
}

jint intField(jobject object, const char* name) {
  jclass cls = env->GetObjectClass(object);
  const jint value = env->GetIntField(object, env->GetFieldID(cls, name, "I"));
  env->DeleteLocalRef(cls);
  check(name);
  return value;
}

jlong longField(jobject object, const char* name) {
  jclass cls = env->GetObjectClass(object);
  const jlong value = env->GetLongField(object, env->GetFieldID(cls, name, "J"));
  env->DeleteLocalRef(cls);
  check(name);
  return value;
}

bool startJvm() {
  std::string classPath = std::string("-Djava.class.path=") + VESTARO_JAR + ":" + BENCH_HOST_JAR;
  std::string libraryPath = std::string("-Djava.library.path=") + LIBRARY_PATH;
  JavaVMOption options[] = {
      {const_cast<char*>(classPath.c_str()), nullptr},
      {const_cast<char*>(libraryPath.c_str()), nullptr},
      // A fixed heap, so that the resident size follows the library, not the heap's sizing.
      {const_cast<char*>("-Xms64m"), nullptr},
      {const_cast<char*>("-Xmx64m"), nullptr},
      // The heap's pages resident from the start: growth of the resident size is then the
      // library's and the platform's, not the heap being touched for the first time.
      {const_cast<char*>("-XX:+AlwaysPreTouch"), nullptr},
  };
  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(sizeof options / sizeof options[0]);
  args.options = options;
  JavaVM* vm = nullptr;
  if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) return false;

  jclass host = env->FindClass("kordin/vestaro/bench/BenchHost");
  check("BenchHost");
  jstring name = env->NewStringUTF(LIBRARY_NAME);
  jobject thrown = env->CallStaticObjectMethod(
      host, env->GetStaticMethodID(host, "load", "(Ljava/lang/String;)Ljava/lang/Throwable;"), name);
  check("load");
  if (thrown) {
    env->Throw(static_cast<jthrowable>(thrown));
    check("System.loadLibrary");
  }
  env->DeleteLocalRef(name);
  env->DeleteLocalRef(host);
  return true;
}

}  // namespace bench
