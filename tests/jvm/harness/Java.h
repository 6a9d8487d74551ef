// Small helpers for tests that call into Java: calls that take any exception off the
// thread, the contents of a thrown exception, strings both ways, and the line of a
// statement in a source file.
#pragma once

#include <gtest/gtest.h>
#include <jni.h>

#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "LocalRef.h"

namespace jvmtest {

// An exception as read from Java, then cleared. `thrown` is false when there was none.
struct JavaException {
  bool thrown = false;
  std::string className;  // "kordin.vestaro.VestaroException"
  std::string message;    // UTF-8; empty for a null message
  bool messageIsNull = false;
  // VestaroException's fields; zero and empty for other classes.
  bool isVestaro = false;
  jint code = 0;
  std::string file;
  jint line = 0;
  // getDeviceName() and getDeviceId(); nothing for null or a class without them.
  std::optional<std::string> deviceName;
  std::optional<std::string> deviceId;
  std::vector<JavaException> suppressed;

  // "kordin.vestaro.VestaroException(code=0x80070005, file=..., line=12): Access is denied."
  std::string describe() const;
};

// Takes the pending exception off the thread and reads it; thrown == false if none.
JavaException takeException(JNIEnv* env);

// Fails the running test, naming `what`, if an exception is pending; clears it.
void expectNoException(JNIEnv* env, const std::string& what);

jclass findClass(JNIEnv* env, const char* name);  // a local reference; fails the test if missing
jobject newObject(JNIEnv* env, const char* className);  // through the no-argument constructor

jstring javaString(JNIEnv* env, const std::u16string& text);
jstring javaString(JNIEnv* env, const std::string& utf8);
std::u16string utf16(JNIEnv* env, jstring text);
std::string utf8(JNIEnv* env, jstring text);

namespace detail {
inline jvalue toJvalue(jboolean v) { jvalue j; j.z = v; return j; }
inline jvalue toJvalue(jbyte v) { jvalue j; j.b = v; return j; }
inline jvalue toJvalue(jchar v) { jvalue j; j.c = v; return j; }
inline jvalue toJvalue(jshort v) { jvalue j; j.s = v; return j; }
inline jvalue toJvalue(jint v) { jvalue j; j.i = v; return j; }
inline jvalue toJvalue(jlong v) { jvalue j; j.j = v; return j; }
inline jvalue toJvalue(jfloat v) { jvalue j; j.f = v; return j; }
inline jvalue toJvalue(jdouble v) { jvalue j; j.d = v; return j; }
inline jvalue toJvalue(jobject v) { jvalue j; j.l = v; return j; }

jmethodID methodOf(JNIEnv* env, jclass cls, const char* name, const char* signature, bool isStatic);

template <typename R>
R invoke(JNIEnv* env, jobject target, jclass cls, jmethodID method, const jvalue* args) {
  const bool isStatic = target == nullptr;
  if constexpr (std::is_void_v<R>) {
    isStatic ? env->CallStaticVoidMethodA(cls, method, args)
             : env->CallVoidMethodA(target, method, args);
  } else if constexpr (std::is_same_v<R, jboolean>) {
    return isStatic ? env->CallStaticBooleanMethodA(cls, method, args)
                    : env->CallBooleanMethodA(target, method, args);
  } else if constexpr (std::is_same_v<R, jint>) {
    return isStatic ? env->CallStaticIntMethodA(cls, method, args)
                    : env->CallIntMethodA(target, method, args);
  } else if constexpr (std::is_same_v<R, jlong>) {
    return isStatic ? env->CallStaticLongMethodA(cls, method, args)
                    : env->CallLongMethodA(target, method, args);
  } else {
    static_assert(std::is_convertible_v<R, jobject>, "a call returns void, Z, I, J or an object");
    return static_cast<R>(isStatic ? env->CallStaticObjectMethodA(cls, method, args)
                                   : env->CallObjectMethodA(target, method, args));
  }
}

// Takes the exception a call left and hands it to `thrown`, or fails the test with it.
class CallCheck {
 public:
  CallCheck(JNIEnv* env, const char* name, const char* signature, JavaException* thrown)
      : env_(env), name_(name), signature_(signature), thrown_(thrown) {}
  ~CallCheck();
  CallCheck(const CallCheck&) = delete;
  CallCheck& operator=(const CallCheck&) = delete;

 private:
  JNIEnv* env_;
  const char* name_;
  const char* signature_;
  JavaException* thrown_;
};

template <typename R, typename... A>
R call(JNIEnv* env, jobject target, jclass cls, const char* name, const char* signature,
       JavaException* thrown, A... args) {
  CallCheck check(env, name, signature, thrown);
  jmethodID method = methodOf(env, cls, name, signature, target == nullptr);
  const jvalue values[sizeof...(A) + 1] = {toJvalue(args)...};
  if (!method) return R();
  return invoke<R>(env, target, cls, method, values);
}
}  // namespace detail

// Calls a method and fails the running test if it throws. Arguments are passed with their
// JNI types (jint, jlong, jboolean, jobject, ...); R is void, jboolean, jint, jlong or an
// object type.
//   jlong handle = callMethod<jlong>(env, manager, "initialize", "()J");
template <typename R = void, typename... A>
R callMethod(JNIEnv* env, jobject target, const char* name, const char* signature, A... args) {
  LocalRef<jclass> cls(env, env->GetObjectClass(target));
  return detail::call<R>(env, target, cls.get(), name, signature, nullptr, args...);
}

template <typename R = void, typename... A>
R callStatic(JNIEnv* env, const char* className, const char* name, const char* signature,
             A... args) {
  LocalRef<jclass> cls(env, findClass(env, className));
  return detail::call<R>(env, nullptr, cls.get(), name, signature, nullptr, args...);
}

// Calls a method that returns R and returns what it threw (thrown == false if nothing).
template <typename R = void, typename... A>
JavaException thrownBy(JNIEnv* env, jobject target, const char* name, const char* signature,
                       A... args) {
  JavaException thrown;
  LocalRef<jclass> cls(env, env->GetObjectClass(target));
  detail::call<R>(env, target, cls.get(), name, signature, &thrown, args...);
  return thrown;
}

template <typename R = void, typename... A>
JavaException thrownByStatic(JNIEnv* env, const char* className, const char* name,
                             const char* signature, A... args) {
  JavaException thrown;
  LocalRef<jclass> cls(env, findClass(env, className));
  detail::call<R>(env, nullptr, cls.get(), name, signature, &thrown, args...);
  return thrown;
}

// Fields of a Java object (public or not), by name.
jint intField(JNIEnv* env, jobject object, const char* name);
jlong longField(JNIEnv* env, jobject object, const char* name);
bool booleanField(JNIEnv* env, jobject object, const char* name);
std::string stringField(JNIEnv* env, jobject object, const char* name);
jobject objectField(JNIEnv* env, jobject object, const char* name, const char* signature);

// The 1-based line of the only line in `relativePath` (from the project's root) that
// contains `text`; 0 after failing the test when there is none or more than one. A test
// captures the line of a reporting statement this way, so the test follows the code when
// it moves.
int lineOf(const std::string& relativePath, const std::string& text);

// The position the library reports for a statement of one of its sources:
// "..\src\jni\wia\<fileName>".
std::string reportingFile(const std::string& fileName);

}  // namespace jvmtest
