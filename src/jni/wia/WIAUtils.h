// The library's shared routines: the two channels back to the host besides a method's
// result (failures as a pending VestaroException, diagnostic lines on the host's System.err),
// the transfer of one item into a file, the listing of an item's properties, the conversion
// of host values, and the device event sink.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "ComPtr.h"
#include "DiagnosticLine.h"
#include "PendingException.h"
#include "Platform.h"

// ---- Reporting ---------------------------------------------------------------------------

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

// Formats one line as formatDiagnosticLine does and prints it on the host's System.err as
// bound at load; longer lines are cut at 1023 characters. Any thread may print, one the VM
// has never seen included. The line is dropped when there is no stream or no VM environment.
// An exception pending on the calling thread stays pending. The caller decides whether to
// print (bindingCache.debugEnabled).
void debugPrintf(const char* format, ...);

// The text of `table`'s row for `code`, else "ERROR " and the code in eight lower-case
// hexadecimal digits, in a buffer of the calling thread that the next call overwrites.
const char* errorTextOf(HRESULT code, const WiaErrorText* table);

// "System Error HRESULT=<code as signed decimal> [<file>:<line>]" into `buffer` of `size`
// bytes, cut to fit; returns `buffer`.
char* formatSystemError(char* buffer, size_t size, HRESULT code, const char* file, int line);

// A BSTR as a Java String: its SysStringLen characters, embedded zeros included. A null
// BSTR (COM's empty string) gives "". Null with an exception pending when the string
// cannot be made.
jstring bstrToJstring(JNIEnv* env, BSTR bstr);

// ---- Item transfer and property listing -------------------------------------------------

// Moves the image of `item` into a file and hands it to the host. Sets the item's format and
// medium as a pair (a JPEG file, else a BMP file), writes the `count` extra properties one by
// one (a refusal only prints "Failed to set property[i] id to value" when debugging is on),
// lists the item's properties when debugging is on, has WIA write the file, calls
// deviceObject.fireTransferDone(path, "jpg" or "bmp") once and deletes the file right after.
// Releases `item`, with everything else it obtained, on every path. A failure is reported
// as a VestaroException from this source; a throwing callback leaves its exception pending;
// either gives ExceptionPending. `propSpecs` and `propValues` are only read; null arrays mean
// no extra property.
[[nodiscard]] JavaState transferItem(JNIEnv* env, jobject deviceObject, ComPtr<IWiaItem> item,
                                     ULONG count, const PROPSPEC* propSpecs,
                                     const PROPVARIANT* propValues);

// The pieces of an item transfer that a batch of pages shares with it:
// - writeFileFormat writes the format and medium as a pair, a JPEG file, else a BMP file, and
//   gives the extension the host is told ("jpg" or "bmp", a global reference of the load),
//   or null with `result` holding the second attempt's result;
// - writeItemProperties writes `count` properties one at a time (a refusal only prints
//   "Failed to set property[i] id to value" when debugging is on), then lists the storage's
//   properties when debugging is on;
// - deliverFile calls deviceObject.fireTransferDone(path, extension) with the file WIA named;
//   ExceptionPending when the path cannot be made or the callback threw.
jstring writeFileFormat(IWiaPropertyStorage* storage, HRESULT* result);
void writeItemProperties(IWiaPropertyStorage* storage, ULONG count, const PROPSPEC* propSpecs,
                         const PROPVARIANT* propValues);
[[nodiscard]] JavaState deliverFile(JNIEnv* env, jobject deviceObject, const WCHAR* fileName,
                                    jstring extension);

// Prints every property of `storage` as a diagnostic line, whatever the debug switch:
// "  <id> - <name> - " followed by "\"<text>\"" for a string, "0x<hex> (<decimal>)" for a
// 32-bit integer, "<TYPE>" for any other type and "ERROR" for a property that cannot be read.
// `storage` is borrowed.
void dumpPropertyStorage(IWiaPropertyStorage* storage);

// The name of a variant type code without its VT_ prefix ("BSTR", "UI4"), or "unknown" for a
// code outside the base types, modifier bits (vector, array, by-reference) included.
const char* varTypeName(VARTYPE vt);

// ---- Value conversion --------------------------------------------------------------------
// Between Java boxed values and automation VARIANTs: Byte <-> VT_UI1, Short <-> VT_I2,
// Integer <-> VT_I4, Float <-> VT_R4, Double <-> VT_R8, Boolean <-> VT_BOOL,
// String <-> VT_BSTR, Date (and its subclasses) <-> VT_DATE. Dates are taken to be in local
// standard time: only the zone's Bias applies, never daylight saving.

// A new VARIANT block from malloc holding `value` (VT_NULL for null), or null when the value
// is of another class or memory runs out. The caller owns the block: clearVariantPayload,
// then free. When a call into Java throws (a Date subclass's getTime, say), the result is
// null and the exception stays pending.
VARIANT* jobjectToVariant(JNIEnv* env, jobject value);

// A new local reference to a Java object for `value`, or null for VT_EMPTY, VT_NULL, every
// type outside the correspondence (by-reference and array types included) and a date no
// Java Date can hold. `reserved` is not read.
jobject variantToJobject(JNIEnv* env, void* reserved, const VARIANT* value);

// Releases what `value` owns by its type tag, and writes nothing into it: the BSTR of a
// VT_BSTR; the cell of VT_BYREF combined with VT_I2, VT_I4, VT_R4, VT_R8, VT_BOOL or VT_UI1,
// which must therefore come from malloc; the string a VT_BYREF | VT_BSTR cell points at (the
// cell itself stays). Other types own nothing here.
void clearVariantPayload(VARIANT* value);

// A new BSTR with exactly the string's UTF-16 code units (an empty string gives an empty,
// non-null BSTR), or null for a null string or when memory runs out. Free it with
// SysFreeString.
BSTR jstringToBstr(JNIEnv* env, jstring value);

// ---- Device event sink -------------------------------------------------------------------
// A WIA event sink that announces each event on the diagnostic channel, whatever the debug
// switch, and accepts it. Created with `new` holding one reference; destroyed by the Release
// that drops the last one. References may be taken and dropped on any threads at once.
class EventCallback final : public IWiaEventCallback {
 public:
  EventCallback() : refCount(1) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // Prints "ImageEventCallback()" and returns S_OK; reads and writes none of its arguments.
  HRESULT STDMETHODCALLTYPE ImageEventCallback(const GUID* eventGuid, BSTR eventDescription,
                                               BSTR deviceId, BSTR deviceDescription,
                                               DWORD deviceType, BSTR fullItemName,
                                               ULONG* eventType, ULONG reserved) override;

 private:
  LONG refCount;
};
