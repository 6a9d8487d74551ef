#include "DiagnosticLine.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

size_t unitsOf(uint32_t code) { return code >= 0x10000 ? 2 : 1; }

// A line in a fixed buffer. Once something does not fit nothing more is taken, so a long
// line is a clean prefix of the full text, never a surrogate pair cut in half.
struct LineBuffer {
  WCHAR* out;
  size_t limit;  // units available before the terminating zero
  size_t length = 0;
  bool full = false;

  void putCodePoint(uint32_t code) {
    if (full || length + unitsOf(code) > limit) {
      full = true;
      return;
    }
    if (code >= 0x10000) {
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
  const auto* narrow = static_cast<const unsigned char*>(text);
  const auto* wideText = static_cast<const WCHAR*>(text);
  while (wide ? *wideText != 0 : *narrow != 0) {
    const uint32_t code = wide ? nextUtf16(wideText) : nextUtf8(narrow);
    if (units + unitsOf(code) > maxUnits) break;
    units += unitsOf(code);
    take(code);
  }
  return units;
}

// `units` of text padded to the directive's width on the side it asks for.
template <typename Put>
void putPadded(LineBuffer& line, const Directive& d, size_t units, Put put) {
  const int padding = d.width > static_cast<int>(units) ? d.width - static_cast<int>(units) : 0;
  if (!d.left) line.putRepeated(' ', padding);
  put();
  if (d.left) line.putRepeated(' ', padding);
}

void putString(LineBuffer& line, const Directive& d, const void* text, bool wide) {
  static const WCHAR wideNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
  if (!text) text = wide ? static_cast<const void*>(wideNull) : static_cast<const void*>("(null)");
  const size_t maxUnits = d.precision >= 0 ? static_cast<size_t>(d.precision) : SIZE_MAX;
  const size_t units = walkString(text, wide, maxUnits, [](uint32_t) {});
  putPadded(line, d, units, [&] {
    walkString(text, wide, maxUnits, [&line](uint32_t code) { line.putCodePoint(code); });
  });
}

// Integers are ASCII whatever the flags, so the C library lays them out: the directive is
// rebuilt with 64-bit arguments. Width and precision are capped a little beyond the line's
// length (more than the longest number with its prefix), which cuts nothing that could be
// seen.
void putInteger(LineBuffer& line, const Directive& d, char conversion, uint64_t bits) {
  char rebuilt[16];
  char* s = rebuilt;
  *s++ = '%';
  if (d.left) *s++ = '-';
  if (d.plus) *s++ = '+';
  if (d.space) *s++ = ' ';
  if (d.zero) *s++ = '0';
  if (d.alternate) *s++ = '#';
  for (const char* rest = "*.*ll"; *rest; ++rest) *s++ = *rest;
  *s++ = conversion;
  *s = 0;
  constexpr int kCap = static_cast<int>(kDiagnosticLineCapacity) + 32;
  const int width = d.width < kCap ? d.width : kCap;
  const int precision = d.precision < kCap ? d.precision : kCap;
  char text[kCap + 32];
  if (conversion == 'd' || conversion == 'i') {
    std::snprintf(text, sizeof text, rebuilt, width, precision, static_cast<long long>(bits));
  } else {
    std::snprintf(text, sizeof text, rebuilt, width, precision, static_cast<unsigned long long>(bits));
  }
  line.putAscii(text);
}

enum class Size { Int, Char, Short, Long, LongLong, Wide };

Size sizeOf(const char*& p) {
  if (p[0] == 'h' && p[1] == 'h') return p += 2, Size::Char;
  if (p[0] == 'h') return ++p, Size::Short;
  if (p[0] == 'l' && p[1] == 'l') return p += 2, Size::LongLong;
  if (p[0] == 'l') return ++p, Size::Long;
  if (p[0] == 'I' && p[1] == '6' && p[2] == '4') return p += 3, Size::LongLong;
  if (p[0] == 'w') return ++p, Size::Wide;
  return Size::Int;
}

// A number in the format, or the int argument for '*'.
int countOf(const char*& p, va_list& ap) {
  if (*p == '*') return ++p, va_arg(ap, int);
  int value = 0;
  while (*p >= '0' && *p <= '9') value = value * 10 + (*p++ - '0');
  return value;
}

// The argument of an integer directive, its bits as the C library would read them.
uint64_t integerArgument(va_list& ap, Size size, bool isSigned) {
  if (isSigned) {
    switch (size) {
      case Size::LongLong: return static_cast<uint64_t>(va_arg(ap, long long));
      case Size::Long: return static_cast<uint64_t>(static_cast<int64_t>(va_arg(ap, LONG)));
      case Size::Short: return static_cast<uint64_t>(static_cast<int64_t>(static_cast<short>(va_arg(ap, int))));
      case Size::Char: return static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(va_arg(ap, int))));
      default: return static_cast<uint64_t>(static_cast<int64_t>(va_arg(ap, int)));
    }
  }
  switch (size) {
    case Size::LongLong: return va_arg(ap, unsigned long long);
    case Size::Long: return va_arg(ap, ULONG);
    case Size::Short: return static_cast<unsigned short>(va_arg(ap, unsigned));
    case Size::Char: return static_cast<unsigned char>(va_arg(ap, unsigned));
    default: return va_arg(ap, unsigned);
  }
}

}  // namespace

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
    d.width = countOf(p, ap);
    if (d.width < 0) {  // a negative width from '*' pads on the right
      d.left = true;
      d.width = d.width < -static_cast<int>(kDiagnosticLineCapacity) ? static_cast<int>(kDiagnosticLineCapacity)
                                                                     : -d.width;
    }
    if (*p == '.') {
      ++p;
      d.precision = countOf(p, ap);
      if (d.precision < 0) d.precision = -1;
    }
    const Size size = sizeOf(p);
    const bool wide = size == Size::Wide || size == Size::Long;

    const char conversion = *p;
    if (conversion) ++p;
    switch (conversion) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X':
      case 'o':
        putInteger(line, d, conversion, integerArgument(ap, size, conversion == 'd' || conversion == 'i'));
        break;
      case 'c': {
        const int value = va_arg(ap, int);
        const uint32_t code = wide ? static_cast<uint16_t>(value)
                                   : value & 0x80 ? kReplacement : static_cast<unsigned char>(value);
        putPadded(line, d, 1, [&] { line.putCodePoint(code); });
        break;
      }
      case 's':
      case 'S':
        putString(line, d, va_arg(ap, const void*), wide || conversion == 'S');
        break;
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
