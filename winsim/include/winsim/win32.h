// The few Win32 routines the library uses: system message texts, local memory and the
// time zone.
#pragma once

#include <cstdarg>

#include "wintypes.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

// Only FORMAT_MESSAGE_FROM_SYSTEM is served, with the system's English texts (each
// ending in "\r\n"). Returns the number of characters stored without the terminating
// zero, or 0 with GetLastError() set when the system has no text for the code. With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer receives a LocalAlloc block to LocalFree.
EXTERN_C WINSIM_API DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                         DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                                         va_list* Arguments);
EXTERN_C WINSIM_API DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                         DWORD dwLanguageId, LPWSTR lpBuffer, DWORD nSize,
                                         va_list* Arguments);

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
EXTERN_C WINSIM_API HLOCAL LocalAlloc(UINT uFlags, size_t uBytes);
// Returns NULL on success, the block itself on failure (as on Windows).
EXTERN_C WINSIM_API HLOCAL LocalFree(HLOCAL hMem);

struct TIME_ZONE_INFORMATION {
  LONG Bias;  // minutes; UTC = local time + Bias
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
typedef TIME_ZONE_INFORMATION* LPTIME_ZONE_INFORMATION;

#define TIME_ZONE_ID_INVALID ((DWORD)0xFFFFFFFF)
#define TIME_ZONE_ID_UNKNOWN 0
#define TIME_ZONE_ID_STANDARD 1
#define TIME_ZONE_ID_DAYLIGHT 2

// Bias comes from the process's time zone (its standard offset), unless a test has set
// one through winsim::setTimeZoneBias.
EXTERN_C WINSIM_API DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION lpTimeZoneInformation);
