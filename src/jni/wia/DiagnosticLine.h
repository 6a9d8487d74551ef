// The formatter of diagnostic lines: printf's conventions, written into UTF-16 so that the
// host receives names and paths in any script intact.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "Platform.h"

// The longest line, 1023 characters and the terminating zero.
constexpr size_t kDiagnosticLineCapacity = 1024;

// Formats like printf into `out` (UTF-16, `capacity` units including the zero at the end)
// and returns the number of units written. The text is cut where it no longer fits, never
// inside a surrogate pair.
//
// Conversions: %d %i %u %x %X %o %c %s %%, with flags "-+ 0#", width and precision (or *),
// and the sizes h, hh, l (32 bits, as LONG), ll and I64. %s takes UTF-8 text; %ws, %ls and
// %S take a wide string (WCHAR*). A null string prints as "(null)". A precision on a string
// counts UTF-16 units. Bytes that are not UTF-8 become U+FFFD. Any other directive is
// copied as it stands.
size_t formatDiagnosticLine(WCHAR* out, size_t capacity, const char* format, va_list args);
