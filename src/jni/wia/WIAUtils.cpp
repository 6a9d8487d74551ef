// The shared routines: reporting, diagnostic lines, the item transfer and property
// listing, value conversion and the device event sink. Its file name is the reporting
// position of the transfer's failures.
#include "WIAUtils.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "HostErrorStream.h"
#include "LocalRef.h"
#include "ReadValues.h"
#include "RequireOut.h"
#include "UniqueValue.h"
#include "WIALibrary.h"

static_assert(sizeof(WCHAR) == sizeof(jchar), "Java strings are built from UTF-16 directly");

const WiaErrorText wiaErrorTexts[] = {
    {HRESULT(0x80210001u),
     "An unknown error has occurred with the Windows Image Acquisition (WIA) device."},
    {HRESULT(0x80210002u), "Paper is jammed in the scanner's document feeder."},
    {HRESULT(0x80210003u),
     "The user requested a scan and there are no documents left in the document feeder."},
    {HRESULT(0x80210004u), "An unspecified problem occurred with the scanner's document feeder."},
    {HRESULT(0x80210005u), "The WIA device is not online."},
    {HRESULT(0x80210006u), "The WIA device is busy."},
    {HRESULT(0x80210007u), "The WIA device is warming up."},
    {HRESULT(0x80210008u),
     "An unspecified error has occurred with the WIA device that requires user intervention."},
    {HRESULT(0x80210009u), "The WIA device was deleted. It can no longer be accessed."},
    {HRESULT(0x8021000Au),
     "An unspecified error occurred during an attempted communication with the WIA device."},
    {HRESULT(0x8021000Bu), "The device does not support this command."},
    {HRESULT(0x8021000Cu), "There is an incorrect setting on the WIA device."},
    {HRESULT(0x8021000Du), "The scanner head is locked."},
    {HRESULT(0x8021000Eu), "The devicle driver threw an exception."},
    {HRESULT(0x8021000Fu), "The response from the driver is invalid."},
    {HRESULT(0x80210015u), "No WIA device of the selected type is available."},
    {HRESULT(0xFFFFFFFFu), nullptr},
};

namespace {

// The text of the table's row for `code`; the search ends at the closing row, whose code
// (-1) is never a match.
const char* tableText(HRESULT code, const WiaErrorText* table) {
  if (!table) return nullptr;
  for (const WiaErrorText* row = table; row->text; ++row) {
    if (row->code == code) return row->text;
  }
  return nullptr;
}

// The failure text as a Java string: the system's text (built from UTF-16, so localised
// texts arrive intact), else the table's, else "ERROR 0x%08x". Null with an exception
// pending when the string cannot be made.
jstring failureText(JNIEnv* env, HRESULT code) {
  LocalMemory<WCHAR> systemText;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPWSTR>(systemText.put()), 0, nullptr);
  if (length != 0 && systemText.get()) {
    return env->NewString(reinterpret_cast<const jchar*>(systemText.get()), static_cast<jsize>(length));
  }
  if (const char* text = tableText(code, wiaErrorTexts)) return env->NewStringUTF(text);
  char fallback[24];
  std::snprintf(fallback, sizeof fallback, "ERROR 0x%08x", static_cast<unsigned>(code));
  return env->NewStringUTF(fallback);
}

// A new VestaroException for the report, or null with the reason pending.
jthrowable newVestaroException(JNIEnv* env, HRESULT code, const char* sourcePath, int line) {
  LocalRef<jclass> exceptionClass(env, env->FindClass("kordin/vestaro/VestaroException"));
  if (!exceptionClass) return nullptr;
  jmethodID constructor = env->GetMethodID(exceptionClass.get(), "<init>",
                                           "(ILjava/lang/String;Ljava/lang/String;I)V");
  if (!constructor) return nullptr;
  LocalRef<jstring> file(env, env->NewStringUTF(sourcePath ? reportingPathOf(sourcePath).text : ""));
  if (!file) return nullptr;
  LocalRef<jstring> text(env, failureText(env, code));
  if (!text) return nullptr;
  LocalRef<jobject> exception(
      env, env->NewObject(exceptionClass.get(), constructor, static_cast<jint>(code), text.get(),
                          file.get(), static_cast<jint>(line)));
  if (env->ExceptionCheck()) return nullptr;
  return static_cast<jthrowable>(exception.release());
}

}  // namespace

ReportingPath reportingPathOf(const char* sourcePath) {
  const char* name = sourcePath;
  for (const char* p = sourcePath; *p; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  ReportingPath path;
  std::snprintf(path.text, sizeof path.text, "..\\src\\jni\\wia\\%s", name);
  return path;
}

jint throwHResultException(JNIEnv* env, HRESULT code, const char* sourcePath, int line) {
  if (!env) return JNI_ERR;
  // An exception already pending is the first failure and stays the one the host sees.
  LocalRef<jthrowable> earlier(env, takePendingException(env));
  LocalRef<jthrowable> report(env, newVestaroException(env, code, sourcePath, line));
  if (!report) report.reset(takePendingException(env));  // why the report could not be made
  if (!earlier) return report ? env->Throw(report.get()) : JNI_ERR;
  if (report) addSuppressed(env, earlier.get(), report.get());
  return env->Throw(earlier.get());
}

void debugPrintf(const char* format, ...) {
  WCHAR line[kDiagnosticLineCapacity];
  va_list args;
  va_start(args, format);
  const size_t length = formatDiagnosticLine(line, kDiagnosticLineCapacity, format, args);
  va_end(args);
  printOnHostErrorStream(line, length);
}

jstring bstrToJstring(JNIEnv* env, BSTR bstr) {
  static const jchar empty[1] = {0};
  if (!bstr) return env->NewString(empty, 0);
  return env->NewString(reinterpret_cast<const jchar*>(bstr),
                        static_cast<jsize>(SysStringLen(bstr)));
}

const char* errorTextOf(HRESULT code, const WiaErrorText* table) {
  if (const char* text = tableText(code, table)) return text;
  thread_local char fallback[16];  // "ERROR " and eight digits
  std::snprintf(fallback, sizeof fallback, "ERROR %08x", static_cast<unsigned>(code));
  return fallback;
}

char* formatSystemError(char* buffer, size_t size, HRESULT code, const char* file, int line) {
  if (buffer && size > 0) {
    std::snprintf(buffer, size, "System Error HRESULT=%d [%s:%d]", static_cast<int>(code),
                  file ? file : "(null)", line);
  }
  return buffer;
}

// ---- Item transfer and property listing -------------------------------------------------

namespace {

// The file formats a transfer asks for, in this order, with the extension the host is told.
// Spelled out with their documented values, as not every SDK's headers declare them.
const GUID kFormatJpeg = {0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const GUID kFormatBmp = {0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

jsize lengthOf(const WCHAR* text) {
  jsize length = 0;
  while (text[length]) ++length;
  return length;
}

}  // namespace

jstring writeFileFormat(IWiaPropertyStorage* storage, HRESULT* result) {
  const PROPSPEC pairSpecs[2] = {{PRSPEC_PROPID, {WIA_IPA_FORMAT}}, {PRSPEC_PROPID, {WIA_IPA_TYMED}}};
  PROPVARIANT pair[2];
  PropVariantInit(&pair[0]);
  PropVariantInit(&pair[1]);
  pair[0].vt = VT_CLSID;
  pair[0].puuid = const_cast<GUID*>(&kFormatJpeg);
  pair[1].vt = VT_I4;
  pair[1].lVal = TYMED_FILE;
  *result = storage->WriteMultiple(2, pairSpecs, pair, WIA_IPA_FIRST);
  if (*result == S_OK) return bindingCache.jpgExtension;
  pair[0].puuid = const_cast<GUID*>(&kFormatBmp);
  *result = storage->WriteMultiple(2, pairSpecs, pair, WIA_IPA_FIRST);
  return *result == S_OK ? bindingCache.bmpExtension : nullptr;
}

void writeItemProperties(IWiaPropertyStorage* storage, ULONG count, const PROPSPEC* propSpecs,
                         const PROPVARIANT* propValues) {
  // One at a time, so that a refused one leaves the rest in force.
  if (propSpecs && propValues) {
    for (ULONG i = 0; i < count; ++i) {
      if (storage->WriteMultiple(1, &propSpecs[i], &propValues[i], WIA_IPA_FIRST) != S_OK &&
          bindingCache.debugEnabled) {
        debugPrintf("Failed to set property[%d] %d to %d", static_cast<int>(i),
                    static_cast<int>(propSpecs[i].propid), static_cast<int>(propValues[i].lVal));
      }
    }
  }
  if (bindingCache.debugEnabled) {
    debugPrintf("\nItem property storage:");
    dumpPropertyStorage(storage);
  }
}

JavaState deliverFile(JNIEnv* env, jobject deviceObject, const WCHAR* fileName, jstring extension) {
  // The path goes to the host as the UTF-16 text WIA returned. No callback with a string
  // that could not be made: its error is pending instead.
  LocalRef<jstring> path(env, env->NewString(reinterpret_cast<const jchar*>(fileName), lengthOf(fileName)));
  if (!path) return JavaState::ExceptionPending;
  jvalue arguments[2];
  arguments[0].l = path.get();
  arguments[1].l = extension;
  env->CallVoidMethodA(deviceObject, bindingCache.fireTransferDoneMethod, arguments);
  return env->ExceptionCheck() ? JavaState::ExceptionPending : JavaState::Clear;
}

JavaState transferItem(JNIEnv* env, jobject deviceObject, ComPtr<IWiaItem> item, ULONG count,
                       const PROPSPEC* propSpecs, const PROPVARIANT* propValues) {
  // `item` is released last, after the property storage and the data-transfer interface.
  if (!item) {
    THROW_HRESULT(env, E_POINTER);  // transfer: no item
    return JavaState::ExceptionPending;
  }
  ComPtr<IWiaPropertyStorage> storage;
  HRESULT hr = requireOut(item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()), storage, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: no property storage
    return JavaState::ExceptionPending;
  }

  // Only the second attempt's failure is reported.
  jstring extension = writeFileFormat(storage.get(), &hr);
  if (!extension) {
    THROW_HRESULT(env, hr);  // transfer: neither JPEG nor BMP
    return JavaState::ExceptionPending;
  }
  writeItemProperties(storage.get(), count, propSpecs, propValues);

  ComPtr<IWiaDataTransfer> transfer;
  hr = requireOut(storage->QueryInterface(IID_IWiaDataTransfer, transfer.putVoid()), transfer, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: no data transfer
    return JavaState::ExceptionPending;
  }
  // Released before the interfaces; that deletes the file.
  FileMedium medium;
  STGMEDIUM* slot = medium.put();
  slot->tymed = TYMED_FILE;
  hr = requireOut(transfer->idtGetData(slot, nullptr), slot->lpszFileName, E_UNEXPECTED);  // a file nobody can name
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: data not written
    return JavaState::ExceptionPending;
  }
  return deliverFile(env, deviceObject, medium.get().lpszFileName, extension);
}

void dumpPropertyStorage(IWiaPropertyStorage* storage) {
  if (!storage) return;
  ComPtr<IEnumSTATPROPSTG> entries;
  if (FAILED(storage->Enum(entries.put())) || !entries) return;
  for (;;) {
    STATPROPSTG entry{};
    ULONG fetched = 0;
    const HRESULT next = entries->Next(1, &entry, &fetched);
    TaskMemory<WCHAR> name(entry.lpwstrName);
    if (next != S_OK || fetched != 1) return;  // the end of the list, or a failure

    const PROPSPEC propSpec = {PRSPEC_PROPID, {entry.propid}};
    ReadValues<1> value;
    const HRESULT read = storage->ReadMultiple(1, &propSpec, value.data());
    const int id = static_cast<int>(entry.propid);
    if (read != S_OK) {
      debugPrintf("  %d - %ws - ERROR", id, entry.lpwstrName);
    } else if (value[0].vt == VT_BSTR) {
      debugPrintf("  %d - %ws - \"%ws\"", id, entry.lpwstrName, value[0].bstrVal);
    } else if (value[0].vt == VT_I4) {
      debugPrintf("  %d - %ws - 0x%lx (%ld)", id, entry.lpwstrName, value[0].lVal, value[0].lVal);
    } else {
      debugPrintf("  %d - %ws - <%s>", id, entry.lpwstrName, varTypeName(value[0].vt));
    }
  }
}

const char* varTypeName(VARTYPE vt) {
  // Codes 0 to 31 and 64 to 72; 15 has no name.
  static const char* const kBase[32] = {
      "EMPTY", "NULL",    "I2",      "I4",      "R4",     "R8",          "CY",     "DATE",
      "BSTR",  "DISPATCH", "ERROR",  "BOOL",    "VARIANT", "UNKNOWN",    "DECIMAL", nullptr,
      "I1",    "UI1",     "UI2",     "UI4",     "I8",     "UI8",         "INT",    "UINT",
      "VOID",  "HRESULT", "PTR",     "SAFEARRAY", "CARRAY", "USERDEFINED", "LPSTR", "LPWSTR"};
  static const char* const kStorage[9] = {"FILETIME",        "BLOB",          "STREAM",
                                          "STORAGE",         "STREAMED_OBJECT", "STORED_OBJECT",
                                          "BLOB_OBJECT",     "CF",            "CLSID"};
  const char* name = nullptr;
  if (vt < 32) {
    name = kBase[vt];
  } else if (vt >= 64 && vt < 64 + 9) {
    name = kStorage[vt - 64];
  }
  return name ? name : "unknown";
}

// ---- Value conversion --------------------------------------------------------------------

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
  auto* variant = static_cast<VARIANT*>(std::malloc(sizeof(VARIANT)));
  if (!variant) return nullptr;
  VariantInit(variant);
  if (!value) {
    variant->vt = VT_NULL;
    return variant;
  }
  if (!storeBoxedValue(env, value, variant)) {
    clearVariantPayload(variant);
    std::free(variant);
    return nullptr;
  }
  return variant;
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

// ---- Device event sink -------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE EventCallback::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (std::memcmp(&riid, &IID_IUnknown, sizeof(GUID)) == 0 ||
      std::memcmp(&riid, &IID_IWiaEventCallback, sizeof(GUID)) == 0) {
    *object = static_cast<IWiaEventCallback*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE EventCallback::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

ULONG STDMETHODCALLTYPE EventCallback::Release() {
  const LONG remaining = InterlockedDecrement(&refCount);
  if (remaining == 0) delete this;
  return static_cast<ULONG>(remaining);
}

HRESULT STDMETHODCALLTYPE EventCallback::ImageEventCallback(const GUID*, BSTR, BSTR, BSTR, DWORD,
                                                            BSTR, ULONG*, ULONG) {
  debugPrintf("ImageEventCallback()");
  return S_OK;
}
