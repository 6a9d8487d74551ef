// Failures as the host sees them: a pending VestaroException with the failure's code, its
// text and the reporting source's position, and the texts of WIA's codes.
#include "FailureReport.h"

#include <cstdio>

#include "LocalRef.h"
#include "UniqueValue.h"

const WiaErrorText wiaErrorTexts[] = {
    {HRESULT(0x80210001u), "An unknown error has occurred with the Windows Image Acquisition (WIA) device."},
    {HRESULT(0x80210002u), "Paper is jammed in the scanner's document feeder."},
    {HRESULT(0x80210003u), "The user requested a scan and there are no documents left in the document feeder."},
    {HRESULT(0x80210004u), "An unspecified problem occurred with the scanner's document feeder."},
    {HRESULT(0x80210005u), "The WIA device is not online."},
    {HRESULT(0x80210006u), "The WIA device is busy."},
    {HRESULT(0x80210007u), "The WIA device is warming up."},
    {HRESULT(0x80210008u), "An unspecified error has occurred with the WIA device that requires user intervention."},
    {HRESULT(0x80210009u), "The WIA device was deleted. It can no longer be accessed."},
    {HRESULT(0x8021000Au), "An unspecified error occurred during an attempted communication with the WIA device."},
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
