// Reporting: failures as VestaroException, diagnostic lines on the host's System.err, and
// the texts of WIA's failure codes.
#include "WIAUtils.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "ComPtr.h"
#include "JniLocalRef.h"
#include "PropVariants.h"
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

// Takes the calling thread's pending exception off it, if there is one.
jthrowable takePendingException(JNIEnv* env) {
  jthrowable pending = env->ExceptionOccurred();
  if (pending) env->ExceptionClear();
  return pending;
}

// The failure text as a Java string: the system's text (built from UTF-16, so localised
// texts arrive intact), else the table's, else "ERROR 0x%08x". Null with an exception
// pending when the string cannot be made.
jstring failureText(JNIEnv* env, HRESULT code) {
  LPWSTR systemText = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPWSTR>(&systemText), 0, nullptr);
  if (length != 0 && systemText) {
    jstring text =
        env->NewString(reinterpret_cast<const jchar*>(systemText), static_cast<jsize>(length));
    LocalFree(systemText);
    return text;
  }
  if (systemText) LocalFree(systemText);
  if (const char* text = tableText(code, wiaErrorTexts)) return env->NewStringUTF(text);
  char fallback[24];
  std::snprintf(fallback, sizeof fallback, "ERROR 0x%08x", static_cast<unsigned>(code));
  return env->NewStringUTF(fallback);
}

// A new VestaroException for the report, or null with the reason pending.
jthrowable newVestaroException(JNIEnv* env, HRESULT code, const char* file, int line) {
  LocalRef<jclass> exceptionClass(env, env->FindClass("kordin/vestaro/VestaroException"));
  if (!exceptionClass) return nullptr;
  jmethodID constructor = env->GetMethodID(exceptionClass.get(), "<init>",
                                           "(ILjava/lang/String;Ljava/lang/String;I)V");
  if (!constructor) return nullptr;
  LocalRef<jstring> fileString(env, env->NewStringUTF(file ? file : ""));
  if (!fileString) return nullptr;
  LocalRef<jstring> text(env, failureText(env, code));
  if (!text) return nullptr;
  LocalRef<jobject> exception(
      env, env->NewObject(exceptionClass.get(), constructor, static_cast<jint>(code), text.get(),
                          fileString.get(), static_cast<jint>(line)));
  if (env->ExceptionCheck()) return nullptr;
  return static_cast<jthrowable>(exception.release());
}

// first.addSuppressed(later); a failure of that call is dropped.
void addSuppressed(JNIEnv* env, jthrowable first, jthrowable later) {
  LocalRef<jclass> throwable(env, env->FindClass("java/lang/Throwable"));
  jmethodID add = throwable ? env->GetMethodID(throwable.get(), "addSuppressed",
                                               "(Ljava/lang/Throwable;)V")
                            : nullptr;
  if (add) env->CallVoidMethod(first, add, later);
  if (env->ExceptionCheck()) env->ExceptionClear();
}

// ---- Diagnostic lines ------------------------------------------------------------------

constexpr size_t kLineCapacity = 1024;  // 1023 characters and the terminating zero
constexpr uint32_t kReplacement = 0xFFFD;

// A line in a fixed buffer. Once something does not fit nothing more is taken, so a long
// line is a clean prefix of the full text, never a surrogate pair cut in half.
struct LineBuffer {
  WCHAR* out;
  size_t limit;  // units available before the terminating zero
  size_t length = 0;
  bool full = false;

  void putCodePoint(uint32_t code) {
    const size_t units = code >= 0x10000 ? 2 : 1;
    if (full || length + units > limit) {
      full = true;
      return;
    }
    if (units == 2) {
      code -= 0x10000;
      out[length++] = static_cast<WCHAR>(0xD800 + (code >> 10));
      out[length++] = static_cast<WCHAR>(0xDC00 + (code & 0x3FF));
    } else {
      out[length++] = static_cast<WCHAR>(code);
    }
  }
  void putRepeated(uint32_t code, int count) {
    for (int i = 0; i < count; ++i) putCodePoint(code);
  }
  void putAscii(const char* text) {
    for (; *text; ++text) putCodePoint(static_cast<unsigned char>(*text));
  }
};

size_t unitsOf(uint32_t code) { return code >= 0x10000 ? 2 : 1; }

// The next code point of UTF-8 text; a malformed sequence gives U+FFFD and skips one byte.
uint32_t nextUtf8(const unsigned char*& p) {
  const unsigned lead = *p++;
  if (lead < 0x80) return lead;
  int extra;
  uint32_t code;
  uint32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, code = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return kReplacement;
  }
  for (int i = 0; i < extra; ++i) code = (code << 6) | (p[i] & 0x3F);
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return kReplacement;
  }
  p += extra;
  return code;
}

// The next code point of UTF-16 text; an unpaired surrogate is passed on as it is.
uint32_t nextUtf16(const WCHAR*& p) {
  const uint32_t unit = static_cast<uint16_t>(*p++);
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    const uint32_t low = static_cast<uint16_t>(*p);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++p;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return unit;
}

struct Directive {
  bool left = false, plus = false, space = false, zero = false, alternate = false;
  int width = 0;
  int precision = -1;  // none
};

// Calls `take` with each code point of a narrow (UTF-8) or wide string, as long as the
// UTF-16 units stay within `maxUnits`; returns the units taken.
template <typename Take>
size_t walkString(const void* text, bool wide, size_t maxUnits, Take take) {
  size_t units = 0;
  if (wide) {
    for (const WCHAR* p = static_cast<const WCHAR*>(text); *p;) {
      const uint32_t code = nextUtf16(p);
      if (units + unitsOf(code) > maxUnits) break;
      units += unitsOf(code);
      take(code);
    }
  } else {
    for (const unsigned char* p = static_cast<const unsigned char*>(text); *p;) {
      const uint32_t code = nextUtf8(p);
      if (units + unitsOf(code) > maxUnits) break;
      units += unitsOf(code);
      take(code);
    }
  }
  return units;
}

void putString(LineBuffer& line, const Directive& d, const void* text, bool wide) {
  static const WCHAR wideNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
  if (!text) {
    text = wide ? static_cast<const void*>(wideNull) : static_cast<const void*>("(null)");
  }
  const size_t maxUnits = d.precision >= 0 ? static_cast<size_t>(d.precision) : SIZE_MAX;
  const size_t units = walkString(text, wide, maxUnits, [](uint32_t) {});
  const int padding = d.width > static_cast<int>(units) ? d.width - static_cast<int>(units) : 0;
  if (!d.left) line.putRepeated(' ', padding);
  walkString(text, wide, maxUnits, [&line](uint32_t code) { line.putCodePoint(code); });
  if (d.left) line.putRepeated(' ', padding);
}

void putInteger(LineBuffer& line, const Directive& d, char conversion, uint64_t magnitude,
                bool negative) {
  const bool isSigned = conversion == 'd' || conversion == 'i';
  const unsigned base = conversion == 'o' ? 8 : (conversion == 'x' || conversion == 'X') ? 16 : 10;
  const char* digitSet = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";

  char digits[32];
  int count = 0;
  for (uint64_t rest = magnitude; rest != 0; rest /= base) digits[count++] = digitSet[rest % base];
  int precision = d.precision >= 0 ? d.precision : 1;
  if (d.alternate && base == 8 && precision <= count) precision = count + 1;  // leading 0

  const char* prefix = "";
  if (isSigned && negative) {
    prefix = "-";
  } else if (isSigned && d.plus) {
    prefix = "+";
  } else if (isSigned && d.space) {
    prefix = " ";
  } else if (d.alternate && base == 16 && magnitude != 0) {
    prefix = conversion == 'X' ? "0X" : "0x";
  }
  const int prefixLength = static_cast<int>(std::strlen(prefix));
  int zeros = precision > count ? precision - count : 0;
  int padding = d.width - prefixLength - zeros - count;
  if (padding < 0) padding = 0;
  if (d.zero && !d.left && d.precision < 0) {
    zeros += padding;
    padding = 0;
  }

  if (!d.left) line.putRepeated(' ', padding);
  line.putAscii(prefix);
  line.putRepeated('0', zeros);
  while (count > 0) line.putCodePoint(static_cast<unsigned char>(digits[--count]));
  if (d.left) line.putRepeated(' ', padding);
}

// Prints a formatted line on the host's System.err, attaching the thread only for the line
// when the VM does not know it yet.
void printLine(const WCHAR* text, size_t length) {
  JavaVM* vm = bindingCache.javaVm;
  if (!vm || !bindingCache.systemErr || !bindingCache.printlnMethod) return;

  JNIEnv* env = nullptr;
  bool attachedHere = false;
  const jint state = vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_4);
  if (state == JNI_EDETACHED) {
    // A daemon, and detached again below: a thread left attached keeps the VM from ending
    // once the thread is gone, and holds the VM's thread object for ever.
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
      return;
    }
    attachedHere = true;
  } else if (state != JNI_OK) {
    return;
  }
  if (env) {
    // The caller's pending exception waits while the line is printed, then stands again.
    LocalRef<jthrowable> pending(env, takePendingException(env));
    LocalRef<jstring> string(
        env, env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length)));
    if (string) env->CallVoidMethod(bindingCache.systemErr, bindingCache.printlnMethod, string.get());
    if (env->ExceptionCheck()) env->ExceptionClear();  // a line that cannot be printed is lost
    if (pending) env->Throw(pending.get());
  }
  if (attachedHere) vm->DetachCurrentThread();
}

}  // namespace

jint throwHResultException(JNIEnv* env, HRESULT code, const char* file, int line) {
  if (!env) return JNI_ERR;
  // An exception already pending is the first failure and stays the one the host sees.
  LocalRef<jthrowable> earlier(env, takePendingException(env));
  LocalRef<jthrowable> report(env, newVestaroException(env, code, file, line));
  if (!report) report.reset(takePendingException(env));  // why the report could not be made
  if (!earlier) return report ? env->Throw(report.get()) : JNI_ERR;
  if (report) addSuppressed(env, earlier.get(), report.get());
  return env->Throw(earlier.get());
}

size_t formatDiagnosticLine(WCHAR* out, size_t capacity, const char* format, va_list args) {
  if (!out || capacity == 0) return 0;
  LineBuffer line{out, capacity - 1};
  va_list ap;
  va_copy(ap, args);
  const char* p = format ? format : "";
  while (*p && !line.full) {
    if (*p != '%') {
      const unsigned char* q = reinterpret_cast<const unsigned char*>(p);
      line.putCodePoint(nextUtf8(q));
      p = reinterpret_cast<const char*>(q);
      continue;
    }
    const char* start = p++;
    Directive d;
    for (;; ++p) {
      if (*p == '-') d.left = true;
      else if (*p == '+') d.plus = true;
      else if (*p == ' ') d.space = true;
      else if (*p == '0') d.zero = true;
      else if (*p == '#') d.alternate = true;
      else break;
    }
    if (*p == '*') {
      d.width = va_arg(ap, int);
      if (d.width < 0) d.left = true, d.width = -d.width;
      ++p;
    } else {
      while (*p >= '0' && *p <= '9') d.width = d.width * 10 + (*p++ - '0');
    }
    if (*p == '.') {
      ++p;
      d.precision = 0;
      if (*p == '*') {
        d.precision = va_arg(ap, int);
        if (d.precision < 0) d.precision = -1;
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') d.precision = d.precision * 10 + (*p++ - '0');
      }
    }
    enum { kInt, kChar, kShort, kLong, kLongLong, kWide } size = kInt;
    if (p[0] == 'h' && p[1] == 'h') size = kChar, p += 2;
    else if (*p == 'h') size = kShort, ++p;
    else if (p[0] == 'l' && p[1] == 'l') size = kLongLong, p += 2;
    else if (*p == 'l') size = kLong, ++p;
    else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') size = kLongLong, p += 3;
    else if (*p == 'w') size = kWide, ++p;

    const char conversion = *p;
    if (conversion) ++p;
    switch (conversion) {
      case 'd':
      case 'i': {
        int64_t value;
        if (size == kLongLong) value = va_arg(ap, long long);
        else if (size == kLong) value = va_arg(ap, LONG);
        else if (size == kShort) value = static_cast<short>(va_arg(ap, int));
        else if (size == kChar) value = static_cast<signed char>(va_arg(ap, int));
        else value = va_arg(ap, int);
        const uint64_t magnitude =
            value < 0 ? uint64_t(0) - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        putInteger(line, d, conversion, magnitude, value < 0);
        break;
      }
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        uint64_t value;
        if (size == kLongLong) value = va_arg(ap, unsigned long long);
        else if (size == kLong) value = va_arg(ap, ULONG);
        else if (size == kShort) value = static_cast<unsigned short>(va_arg(ap, unsigned));
        else if (size == kChar) value = static_cast<unsigned char>(va_arg(ap, unsigned));
        else value = va_arg(ap, unsigned);
        putInteger(line, d, conversion, value, false);
        break;
      }
      case 'c': {
        const int value = va_arg(ap, int);
        uint32_t code = (size == kWide || size == kLong) ? static_cast<uint16_t>(value)
                                                          : static_cast<unsigned char>(value);
        if (size != kWide && size != kLong && code >= 0x80) code = kReplacement;
        const int padding = d.width > 1 ? d.width - 1 : 0;
        if (!d.left) line.putRepeated(' ', padding);
        line.putCodePoint(code);
        if (d.left) line.putRepeated(' ', padding);
        break;
      }
      case 's':
      case 'S': {
        const bool wide = conversion == 'S' || size == kWide || size == kLong;
        putString(line, d, va_arg(ap, const void*), wide);
        break;
      }
      case '%':
        line.putCodePoint('%');
        break;
      default:  // not a directive this formatter knows: copied as it stands
        for (const char* c = start; c < p; ++c) line.putCodePoint(static_cast<unsigned char>(*c));
        break;
    }
  }
  va_end(ap);
  out[line.length] = 0;
  return line.length;
}

void debugPrintf(const char* format, ...) {
  WCHAR line[kLineCapacity];
  va_list args;
  va_start(args, format);
  const size_t length = formatDiagnosticLine(line, kLineCapacity, format, args);
  va_end(args);
  printLine(line, length);
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

// ---- Item transfer and property listing ---------------------------------------------------

namespace {

// The file formats a transfer asks for, in this order, with the extension the host is told.
// Spelled out with their documented values, as not every SDK's headers declare them.
const GUID kFormatJpeg = {0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const GUID kFormatBmp = {0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// A file medium for idtGetData: WIA chooses the file and returns its name. Releasing the
// medium deletes the file and frees the name.
class FileMedium {
 public:
  FileMedium() { medium_.tymed = TYMED_FILE; }
  ~FileMedium() {
    if (medium_.lpszFileName || medium_.pUnkForRelease) ReleaseStgMedium(&medium_);
  }
  FileMedium(const FileMedium&) = delete;
  FileMedium& operator=(const FileMedium&) = delete;

  STGMEDIUM* get() { return &medium_; }
  const WCHAR* fileName() const { return medium_.lpszFileName; }

 private:
  STGMEDIUM medium_{};
};

// A string in task memory, freed with CoTaskMemFree.
class TaskString {
 public:
  explicit TaskString(LPOLESTR text) : text_(text) {}
  ~TaskString() { CoTaskMemFree(text_); }
  TaskString(const TaskString&) = delete;
  TaskString& operator=(const TaskString&) = delete;

 private:
  LPOLESTR text_;
};

jsize lengthOf(const WCHAR* text) {
  jsize length = 0;
  while (text[length]) ++length;
  return length;
}

}  // namespace

JavaState transferItem(JNIEnv* env, jobject deviceObject, IWiaItem* item, ULONG count,
                       const PROPSPEC* propSpecs, const PROPVARIANT* propValues) {
  // Released last, after the property storage and the data-transfer interface.
  ComPtr<IWiaItem> ownedItem(item);
  if (!item) {
    THROW_HRESULT(env, E_POINTER);  // transfer: no item
    return JavaState::ExceptionPending;
  }
  ComPtr<IWiaPropertyStorage> storage;
  HRESULT hr = item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid());
  if (hr == S_OK && !storage) hr = E_NOINTERFACE;
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: no property storage
    return JavaState::ExceptionPending;
  }

  // Format and medium in one write: a JPEG file, else a BMP file. Only the second attempt's
  // failure is reported.
  const PROPSPEC pairSpecs[2] = {{PRSPEC_PROPID, {WIA_IPA_FORMAT}}, {PRSPEC_PROPID, {WIA_IPA_TYMED}}};
  PROPVARIANT pair[2];
  PropVariantInit(&pair[0]);
  PropVariantInit(&pair[1]);
  pair[0].vt = VT_CLSID;
  pair[0].puuid = const_cast<GUID*>(&kFormatJpeg);
  pair[1].vt = VT_I4;
  pair[1].lVal = TYMED_FILE;
  jstring extension = bindingCache.jpgExtension;
  if (storage->WriteMultiple(2, pairSpecs, pair, WIA_IPA_FIRST) != S_OK) {
    pair[0].puuid = const_cast<GUID*>(&kFormatBmp);
    extension = bindingCache.bmpExtension;
    hr = storage->WriteMultiple(2, pairSpecs, pair, WIA_IPA_FIRST);
    if (hr != S_OK) {
      THROW_HRESULT(env, hr);  // transfer: neither JPEG nor BMP
      return JavaState::ExceptionPending;
    }
  }

  // The caller's properties, one at a time so that a refused one leaves the rest in force.
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
    dumpPropertyStorage(storage.get());
  }

  ComPtr<IWiaDataTransfer> transfer;
  hr = storage->QueryInterface(IID_IWiaDataTransfer, transfer.putVoid());
  if (hr == S_OK && !transfer) hr = E_NOINTERFACE;
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: no data transfer
    return JavaState::ExceptionPending;
  }
  // Released before the interfaces; that deletes the file.
  FileMedium medium;
  hr = transfer->idtGetData(medium.get(), nullptr);
  if (hr == S_OK && !medium.fileName()) hr = E_UNEXPECTED;  // a file nobody can name
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // transfer: data not written
    return JavaState::ExceptionPending;
  }

  // The path goes to the host as the UTF-16 text WIA returned. No callback with a string
  // that could not be made: its error is pending instead.
  LocalRef<jstring> path(env, env->NewString(reinterpret_cast<const jchar*>(medium.fileName()),
                                             lengthOf(medium.fileName())));
  if (!path) return JavaState::ExceptionPending;
  jvalue arguments[2];
  arguments[0].l = path.get();
  arguments[1].l = extension;
  env->CallVoidMethodA(deviceObject, bindingCache.fireTransferDoneMethod, arguments);
  return env->ExceptionCheck() ? JavaState::ExceptionPending : JavaState::Clear;
}

void dumpPropertyStorage(IWiaPropertyStorage* storage) {
  if (!storage) return;
  ComPtr<IEnumSTATPROPSTG> entries;
  if (FAILED(storage->Enum(entries.put())) || !entries) return;
  for (;;) {
    STATPROPSTG entry{};
    ULONG fetched = 0;
    const HRESULT next = entries->Next(1, &entry, &fetched);
    TaskString name(entry.lpwstrName);
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

HeldException::~HeldException() {
  if (!first_) return;
  takePending();  // whatever came last joins the first
  env_->Throw(first_);
  env_->DeleteLocalRef(first_);
}

void HeldException::takePending() {
  jthrowable later = takePendingException(env_);
  if (!later) return;
  if (!first_) {
    first_ = later;
    return;
  }
  addSuppressed(env_, first_, later);
  env_->DeleteLocalRef(later);
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
