#include "DeviceFailure.h"

#include "LocalRef.h"
#include "PendingException.h"
#include "ValueConversion.h"

namespace {

// The field `name` of VestaroException, or null when the host's class has none.
jfieldID deviceField(JNIEnv* env, jclass exceptionClass, const char* name) {
  jfieldID field = env->GetFieldID(exceptionClass, name, "Ljava/lang/String;");
  if (!field) env->ExceptionClear();  // NoSuchFieldError: a host of the original contract
  return field;
}

// Sets `field` of `failure` to the text of `value` when it is a VT_BSTR; false with the
// error pending when the string cannot be made.
bool setText(JNIEnv* env, jthrowable failure, jfieldID field, const PROPVARIANT& value) {
  if (value.vt != VT_BSTR) return true;
  LocalRef<jstring> text(env, bstrToJstring(env, value.bstrVal));
  if (!text) return false;
  env->SetObjectField(failure, field, text.get());
  return true;
}

}  // namespace

void nameFailedDevice(JNIEnv* env, const PROPVARIANT& name, const PROPVARIANT& id) {
  LocalRef<jthrowable> failure(env, takePendingException(env));
  if (!failure) return;
  LocalRef<jclass> exceptionClass(env, env->FindClass("kordin/vestaro/VestaroException"));
  if (!exceptionClass) env->ExceptionClear();  // no class, no fields to fill
  if (exceptionClass && env->IsInstanceOf(failure.get(), exceptionClass.get())) {
    jfieldID nameField = deviceField(env, exceptionClass.get(), "deviceName");
    jfieldID idField = nameField ? deviceField(env, exceptionClass.get(), "deviceId") : nullptr;
    if (idField && !(setText(env, failure.get(), nameField, name) && setText(env, failure.get(), idField, id))) {
      LocalRef<jthrowable> stopped(env, takePendingException(env));
      if (stopped) addSuppressed(env, failure.get(), stopped.get());
    }
  }
  env->Throw(failure.get());
}
