// libwinsim.so's load entry in a Java VM: the loader loads it by its path (System.load)
// before the library, and the VM then calls JNI_OnLoad, which hands the Java system
// properties of the drivers' settings to the service (storeSetting), so that
// -Dvestaro.drivers=... wins over the environment. A library loaded as another's
// dependency, outside a VM, gets no call and reads the environment alone.
//
// A property that cannot be read leaves its setting to the environment and says so on
// standard error; it never fails the load, since the platform works without it.
#include <jni.h>

#include <cstdio>
#include <string>

#include "DriverSettings.h"
#include "winsim/control.h"

namespace {

// True, after describing and clearing it, when a Java exception is pending.
bool clearedFailure(JNIEnv* env, const char* property, const char* step) {
  if (!env->ExceptionCheck()) return false;
  env->ExceptionClear();
  std::fprintf(stderr, "winsim: the Java system property %s is not read (%s failed); the environment decides\n",
               property, step);
  return true;
}

// The text of a Java string in UTF-8 (GetStringUTFChars would give the VM's modified form,
// which writes characters beyond the BMP and NUL differently).
std::string utf8Of(JNIEnv* env, jstring text) {
  const jsize length = env->GetStringLength(text);
  std::u16string units(static_cast<size_t>(length), u'\0');
  if (length > 0) env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(units.data()));
  return winsim::toUtf8(units);
}

// System.getProperty(property), stored when it is set.
void storeProperty(JNIEnv* env, jclass system, jmethodID getProperty, const char* property) {
  jstring name = env->NewStringUTF(property);
  if (clearedFailure(env, property, "NewStringUTF") || !name) return;
  auto value = static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, name));
  env->DeleteLocalRef(name);
  if (clearedFailure(env, property, "System.getProperty") || !value) return;
  const std::string text = utf8Of(env, value);
  env->DeleteLocalRef(value);
  if (clearedFailure(env, property, "GetStringRegion")) return;
  winsim::drivers::storeSetting(property, text);
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void*) {
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_4) != JNI_OK || !env) return JNI_VERSION_1_4;
  const char* const properties[] = {winsim::drivers::kDriversSetting, winsim::drivers::kFolderCamerasSetting,
                                    winsim::drivers::kDriverTimeoutSetting};
  jclass system = env->FindClass("java/lang/System");
  if (clearedFailure(env, "vestaro.*", "FindClass java.lang.System") || !system) return JNI_VERSION_1_4;
  jmethodID getProperty = env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
  if (!clearedFailure(env, "vestaro.*", "GetStaticMethodID System.getProperty") && getProperty) {
    for (const char* property : properties) storeProperty(env, system, getProperty, property);
  }
  env->DeleteLocalRef(system);
  return JNI_VERSION_1_4;
}
