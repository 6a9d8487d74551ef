#include "Java.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <winsim/control.h>

#include "VmStart.h"

namespace jvmtest {

namespace {

// Calls that must not throw while an exception is being read; a failure clears it.
std::string stringOf(JNIEnv* env, jobject object, const char* method) {
  LocalRef<jclass> cls(env, env->GetObjectClass(object));
  jmethodID id = env->GetMethodID(cls.get(), method, "()Ljava/lang/String;");
  if (!id) {
    env->ExceptionClear();
    return "<no " + std::string(method) + ">";
  }
  LocalRef<jstring> text(env, static_cast<jstring>(env->CallObjectMethod(object, id)));
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    return "<" + std::string(method) + " threw>";
  }
  return text ? utf8(env, text.get()) : std::string();
}

// The string a getter returns; nothing for null, and for a class without the getter.
std::optional<std::string> optionalStringOf(JNIEnv* env, jobject object, const char* method) {
  LocalRef<jclass> cls(env, env->GetObjectClass(object));
  jmethodID id = env->GetMethodID(cls.get(), method, "()Ljava/lang/String;");
  if (!id) {
    env->ExceptionClear();
    return std::nullopt;
  }
  LocalRef<jstring> text(env, static_cast<jstring>(env->CallObjectMethod(object, id)));
  if (env->ExceptionCheck()) env->ExceptionClear();
  if (!text) return std::nullopt;
  return utf8(env, text.get());
}

JavaException readThrowable(JNIEnv* env, jthrowable throwable) {
  JavaException e;
  e.thrown = true;
  LocalRef<jclass> cls(env, env->GetObjectClass(throwable));
  LocalRef<jclass> classClass(env, env->GetObjectClass(cls.get()));
  jmethodID getName = env->GetMethodID(classClass.get(), "getName", "()Ljava/lang/String;");
  LocalRef<jstring> name(env, static_cast<jstring>(env->CallObjectMethod(cls.get(), getName)));
  if (env->ExceptionCheck()) env->ExceptionClear();
  e.className = name ? utf8(env, name.get()) : "?";

  LocalRef<jclass> throwableClass(env, env->FindClass("java/lang/Throwable"));
  jmethodID getMessage =
      env->GetMethodID(throwableClass.get(), "getMessage", "()Ljava/lang/String;");
  LocalRef<jstring> message(env,
                            static_cast<jstring>(env->CallObjectMethod(throwable, getMessage)));
  if (env->ExceptionCheck()) env->ExceptionClear();
  e.messageIsNull = !message;
  if (message) e.message = utf8(env, message.get());

  LocalRef<jclass> vestaro(env, env->FindClass("kordin/vestaro/VestaroException"));
  if (!vestaro) env->ExceptionClear();
  if (vestaro && env->IsInstanceOf(throwable, vestaro.get())) {
    e.isVestaro = true;
    jmethodID getCode = env->GetMethodID(vestaro.get(), "getCode", "()I");
    jmethodID getLine = env->GetMethodID(vestaro.get(), "getLine", "()I");
    e.code = env->CallIntMethod(throwable, getCode);
    if (env->ExceptionCheck()) env->ExceptionClear();
    e.line = env->CallIntMethod(throwable, getLine);
    if (env->ExceptionCheck()) env->ExceptionClear();
    e.file = stringOf(env, throwable, "getFile");
    e.deviceName = optionalStringOf(env, throwable, "getDeviceName");
    e.deviceId = optionalStringOf(env, throwable, "getDeviceId");
  }

  jmethodID getSuppressed =
      env->GetMethodID(throwableClass.get(), "getSuppressed", "()[Ljava/lang/Throwable;");
  LocalRef<jobjectArray> suppressed(
      env, static_cast<jobjectArray>(env->CallObjectMethod(throwable, getSuppressed)));
  if (env->ExceptionCheck()) env->ExceptionClear();
  const jsize count = suppressed ? env->GetArrayLength(suppressed.get()) : 0;
  for (jsize i = 0; i < count; ++i) {
    LocalRef<jthrowable> item(
        env, static_cast<jthrowable>(env->GetObjectArrayElement(suppressed.get(), i)));
    if (item) e.suppressed.push_back(readThrowable(env, item.get()));
  }
  return e;
}

}  // namespace

std::string JavaException::describe() const {
  if (!thrown) return "no exception";
  std::ostringstream out;
  out << className;
  if (isVestaro) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(this->code));
    out << "(code=" << code << ", file=" << file << ", line=" << line;
    if (deviceName || deviceId) out << ", device=" << deviceName.value_or("<null>") << " " << deviceId.value_or("<null>");
    out << ")";
  }
  out << ": " << (messageIsNull ? "<null>" : message);
  for (const auto& s : suppressed) out << " [suppressed " << s.describe() << "]";
  return out.str();
}

JavaException takeException(JNIEnv* env) {
  LocalRef<jthrowable> pending(env, env->ExceptionOccurred());
  if (!pending) return {};
  env->ExceptionClear();
  return readThrowable(env, pending.get());
}

void expectNoException(JNIEnv* env, const std::string& what) {
  JavaException e = takeException(env);
  if (e.thrown) ADD_FAILURE() << what << " threw " << e.describe();
}

jclass findClass(JNIEnv* env, const char* name) {
  jclass cls = env->FindClass(name);
  if (!cls) expectNoException(env, std::string("FindClass ") + name);
  return cls;
}

jobject newObject(JNIEnv* env, const char* className) {
  jobject object = vmstart::newObject(env, className);
  expectNoException(env, std::string("new ") + className);
  return object;
}

jstring javaString(JNIEnv* env, const std::u16string& text) {
  return env->NewString(reinterpret_cast<const jchar*>(text.data()),
                        static_cast<jsize>(text.size()));
}

jstring javaString(JNIEnv* env, const std::string& utf8Text) {
  return javaString(env, winsim::toUtf16(utf8Text));
}

std::u16string utf16(JNIEnv* env, jstring text) {
  if (!text) return {};
  const jsize length = env->GetStringLength(text);
  std::u16string out(static_cast<size_t>(length), u'\0');
  env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(out.data()));
  return out;
}

std::string utf8(JNIEnv* env, jstring text) { return winsim::toUtf8(utf16(env, text)); }

namespace detail {

jmethodID methodOf(JNIEnv* env, jclass cls, const char* name, const char* signature,
                   bool isStatic) {
  if (!cls) return nullptr;
  return isStatic ? env->GetStaticMethodID(cls, name, signature)
                  : env->GetMethodID(cls, name, signature);
}

CallCheck::~CallCheck() {
  JavaException caught = takeException(env_);
  if (thrown_) {
    *thrown_ = caught;
  } else if (caught.thrown) {
    ADD_FAILURE() << name_ << signature_ << " threw " << caught.describe();
  }
}

}  // namespace detail

namespace {
jfieldID fieldOf(JNIEnv* env, jobject object, const char* name, const char* signature) {
  jfieldID field = vmstart::fieldOf(env, object, name, signature);
  if (!field) expectNoException(env, std::string("field ") + name);
  return field;
}
}  // namespace

jint intField(JNIEnv* env, jobject object, const char* name) {
  jfieldID field = fieldOf(env, object, name, "I");
  return field ? env->GetIntField(object, field) : 0;
}

jlong longField(JNIEnv* env, jobject object, const char* name) {
  jfieldID field = fieldOf(env, object, name, "J");
  return field ? env->GetLongField(object, field) : 0;
}

bool booleanField(JNIEnv* env, jobject object, const char* name) {
  jfieldID field = fieldOf(env, object, name, "Z");
  return field && env->GetBooleanField(object, field);
}

jobject objectField(JNIEnv* env, jobject object, const char* name, const char* signature) {
  jfieldID field = fieldOf(env, object, name, signature);
  return field ? env->GetObjectField(object, field) : nullptr;
}

std::string stringField(JNIEnv* env, jobject object, const char* name) {
  LocalRef<jstring> text(
      env, static_cast<jstring>(objectField(env, object, name, "Ljava/lang/String;")));
  return utf8(env, text.get());
}

int lineOf(const std::string& relativePath, const std::string& text) {
  const std::string path = std::string(VESTARO_SOURCE_DIR) + "/" + relativePath;
  std::ifstream in(path);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return 0;
  }
  int found = 0;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.find(text) == std::string::npos) continue;
    if (found) {
      ADD_FAILURE() << "\"" << text << "\" is on lines " << found << " and " << number << " of "
                    << relativePath;
      return 0;
    }
    found = number;
  }
  if (!found) ADD_FAILURE() << "\"" << text << "\" is not in " << relativePath;
  return found;
}

std::string reportingFile(const std::string& fileName) { return "..\\src\\jni\\wia\\" + fileName; }

}  // namespace jvmtest
