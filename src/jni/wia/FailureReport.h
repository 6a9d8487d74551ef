// Failures as the host sees them: a pending VestaroException(code, text, file, line), the
// texts of WIA's failure codes, and the reporting position of a source.
#pragma once

#include <cstddef>

#include "PendingException.h"
#include "Platform.h"

// A WIA failure code and its text. wiaErrorTexts ends with the row {-1, nullptr}.
struct WiaErrorText {
  HRESULT code;
  const char* text;
};
extern const WiaErrorText wiaErrorTexts[];

// The reporting position of a source as the host sees it: the source's file name in the
// sources' folder, as a relative Windows path ("..\src\jni\wia\WIAManager.cpp"), whatever
// path the build compiled it from. Cut to fit, like any file name over 200 characters.
struct ReportingPath {
  char text[260];
};
ReportingPath reportingPathOf(const char* sourcePath);

// Leaves a VestaroException(code, text, file, line) pending and returns the result of the
// JNI Throw. `sourcePath` is the reporting source as compiled (__FILE__), reported as
// reportingPathOf gives it; null reports "". The text is the system's text for the code,
// else wiaErrorTexts' text, else "ERROR 0x" and the code in eight lower-case hexadecimal
// digits. When an exception is already pending, that first one stays pending and the new
// report (or whatever stopped it from being made) is attached to it as suppressed. Report
// through THROW_HRESULT, which fills in the position.
jint throwHResultException(JNIEnv* env, HRESULT code, const char* sourcePath, int line);

// Reports `code` from the calling statement's source and line; keep the call on one line.
#define THROW_HRESULT(env, code) throwHResultException((env), (code), __FILE__, __LINE__)

// The text of `table`'s row for `code`, else "ERROR " and the code in eight lower-case
// hexadecimal digits, in a buffer of the calling thread that the next call overwrites.
const char* errorTextOf(HRESULT code, const WiaErrorText* table);

// "System Error HRESULT=<code as signed decimal> [<file>:<line>]" into `buffer` of `size`
// bytes, cut to fit; returns `buffer`.
char* formatSystemError(char* buffer, size_t size, HRESULT code, const char* file, int line);
