// Values between the host and WIA: Java boxed values and strings as automation VARIANTs
// and BSTRs, and back.
#include "ValueConversion.h"

#include <cstdlib>

#include "WIALibrary.h"

static_assert(sizeof(WCHAR) == sizeof(jchar), "Java strings are built from UTF-16 directly");

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;
constexpr double kDaysFrom1899To1970 = 25569.0;
constexpr double kMinutesPerDay = 1440.0;

// The zone's offset in days (UTC = local time + Bias), read afresh at every conversion.
double biasInDays() {
  TIME_ZONE_INFORMATION zone;
  GetTimeZoneInformation(&zone);
  return static_cast<double>(zone.Bias) / kMinutesPerDay;
}

// The Java value's accessor result in the VARIANT's member, by the class's correspondence.
// False when the accessor threw.
bool storeBoxedValue(JNIEnv* env, jobject value, VARIANT* out) {
  const BindingCache& c = bindingCache;
  if (env->IsInstanceOf(value, c.byteClass)) {
    out->vt = VT_UI1;
    out->bVal = static_cast<BYTE>(env->CallByteMethod(value, c.byteValueMethod));
  } else if (env->IsInstanceOf(value, c.shortClass)) {
    out->vt = VT_I2;
    out->iVal = env->CallShortMethod(value, c.shortValueMethod);
  } else if (env->IsInstanceOf(value, c.integerClass)) {
    out->vt = VT_I4;
    out->lVal = env->CallIntMethod(value, c.intValueMethod);
  } else if (env->IsInstanceOf(value, c.floatClass)) {
    out->vt = VT_R4;
    out->fltVal = env->CallFloatMethod(value, c.floatValueMethod);
  } else if (env->IsInstanceOf(value, c.doubleClass)) {
    out->vt = VT_R8;
    out->dblVal = env->CallDoubleMethod(value, c.doubleValueMethod);
  } else if (env->IsInstanceOf(value, c.booleanClass)) {
    out->vt = VT_BOOL;
    out->boolVal = env->CallBooleanMethod(value, c.booleanValueMethod) ? VARIANT_TRUE
                                                                        : VARIANT_FALSE;
  } else if (env->IsInstanceOf(value, c.stringClass)) {
    out->bstrVal = jstringToBstr(env, static_cast<jstring>(value));
    if (!out->bstrVal) return false;
    out->vt = VT_BSTR;
  } else if (env->IsInstanceOf(value, c.dateClass)) {
    const jlong milliseconds = env->CallLongMethod(value, c.getTimeMethod);
    if (env->ExceptionCheck()) return false;
    out->vt = VT_DATE;
    out->date = static_cast<double>(milliseconds) / kMillisecondsPerDay + kDaysFrom1899To1970 -
                biasInDays();
  } else {
    return false;
  }
  return !env->ExceptionCheck();
}

// Milliseconds since 1970 for a VARIANT date, truncated toward zero; false when the date is
// not a number or lies beyond what a Java long can count.
bool millisecondsOf(DATE date, jlong* milliseconds) {
  const double value = (date + biasInDays() - kDaysFrom1899To1970) * 24.0 * 60.0 * 60.0 * 1000.0;
  // 2^63 as a double; NaN fails both comparisons.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value > -kLimit && value < kLimit)) return false;
  *milliseconds = static_cast<jlong>(value);
  return true;
}

jobject newBoxed(JNIEnv* env, jclass cls, jmethodID constructor, jvalue argument) {
  return env->NewObjectA(cls, constructor, &argument);
}

}  // namespace

VARIANT* jobjectToVariant(JNIEnv* env, jobject value) {
  VariantBlock variant(static_cast<VARIANT*>(std::malloc(sizeof(VARIANT))));
  if (!variant.get()) return nullptr;
  VariantInit(variant.get());
  if (!value) {
    variant.get()->vt = VT_NULL;
  } else if (!storeBoxedValue(env, value, variant.get())) {
    return nullptr;
  }
  return variant.release();
}

void freeVariantBlock(VARIANT* block) {
  clearVariantPayload(block);
  std::free(block);
}

jobject variantToJobject(JNIEnv* env, void* /*reserved*/, const VARIANT* value) {
  if (!value) return nullptr;
  const BindingCache& c = bindingCache;
  jvalue argument;
  switch (value->vt) {
    case VT_I2:
      argument.s = value->iVal;
      return newBoxed(env, c.shortClass, c.shortInit, argument);
    case VT_I4:
      argument.i = value->lVal;
      return newBoxed(env, c.integerClass, c.integerInit, argument);
    case VT_R4:
      argument.f = value->fltVal;
      return newBoxed(env, c.floatClass, c.floatInit, argument);
    case VT_R8:
      argument.d = value->dblVal;
      return newBoxed(env, c.doubleClass, c.doubleInit, argument);
    case VT_DATE:
      if (!millisecondsOf(value->date, &argument.j)) return nullptr;
      return newBoxed(env, c.dateClass, c.dateInit, argument);
    case VT_BSTR:
      return bstrToJstring(env, value->bstrVal);
    case VT_BOOL:
      argument.z = value->boolVal != 0 ? JNI_TRUE : JNI_FALSE;
      return newBoxed(env, c.booleanClass, c.booleanInit, argument);
    case VT_UI1:
      argument.b = static_cast<jbyte>(value->bVal);
      return newBoxed(env, c.byteClass, c.byteInit, argument);
    default:
      return nullptr;
  }
}

void clearVariantPayload(VARIANT* value) {
  if (!value) return;
  switch (value->vt) {
    case VT_BSTR:
      SysFreeString(value->bstrVal);
      break;
    case VT_BYREF | VT_I2:
      std::free(value->piVal);
      break;
    case VT_BYREF | VT_I4:
      std::free(value->plVal);
      break;
    case VT_BYREF | VT_R4:
      std::free(value->pfltVal);
      break;
    case VT_BYREF | VT_R8:
      std::free(value->pdblVal);
      break;
    case VT_BYREF | VT_BSTR:
      if (value->pbstrVal) SysFreeString(*value->pbstrVal);
      break;
    case VT_BYREF | VT_BOOL:
      std::free(value->pboolVal);
      break;
    case VT_BYREF | VT_UI1:
      std::free(value->pbVal);
      break;
    default:
      break;
  }
}

BSTR jstringToBstr(JNIEnv* env, jstring value) {
  if (!value) return nullptr;
  const jchar* characters = env->GetStringChars(value, nullptr);
  if (!characters) return nullptr;  // OutOfMemoryError pending
  const jsize length = env->GetStringLength(value);
  BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(characters),
                                static_cast<UINT>(length));
  env->ReleaseStringChars(value, characters);
  return text;
}

jstring bstrToJstring(JNIEnv* env, BSTR bstr) {
  static const jchar empty[1] = {0};
  if (!bstr) return env->NewString(empty, 0);
  return env->NewString(reinterpret_cast<const jchar*>(bstr),
                        static_cast<jsize>(SysStringLen(bstr)));
}
