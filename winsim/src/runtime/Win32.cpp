// System message texts, local memory, the time zone and the thread's last error.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>

#include "Internal.h"
#include "drivers/DriverText.h"
#include "winsim/control.h"

namespace winsim {
namespace {

thread_local DWORD lastError = 0;

// The system's English texts, as FormatMessage gives them for these codes.
const std::map<uint32_t, const char16_t*>& systemTexts() {
  static const std::map<uint32_t, const char16_t*> texts = {
      {0x80004001u, u"Not implemented\r\n"},
      {0x80004002u, u"No such interface supported\r\n"},
      {0x80004003u, u"Invalid pointer\r\n"},
      {0x80004004u, u"Operation aborted\r\n"},
      {0x80004005u, u"Unspecified error\r\n"},
      {0x8000FFFFu, u"Catastrophic failure\r\n"},
      {0x80070002u, u"The system cannot find the file specified.\r\n"},
      {0x80070003u, u"The system cannot find the path specified.\r\n"},
      {0x80070005u, u"Access is denied.\r\n"},
      {0x80070006u, u"The handle is invalid.\r\n"},
      {0x8007000Eu, u"Not enough memory resources are available to complete this operation.\r\n"},
      {0x80070015u, u"The device is not ready.\r\n"},
      {0x8007001Du, u"The system cannot write to the specified device.\r\n"},
      {0x8007001Fu, u"A device attached to the system is not functioning.\r\n"},
      {0x80070057u, u"The parameter is incorrect.\r\n"},
      {0x80070070u, u"There is not enough space on the disk.\r\n"},
      {0x80020008u, u"Bad variable type.\r\n"},
      {0x80030057u, u"Invalid parameter error.\r\n"},
      {0x800401F0u, u"CoInitialize has not been called.\r\n"},
      {0x80040154u, u"Class not registered\r\n"},
      {0x80040110u, u"Class does not support aggregation (or class object is remote)\r\n"},
      {0x80010106u, u"Cannot change thread mode after it is set.\r\n"},
      {0x8001010Eu,
       u"The application called an interface that was marshalled for a different thread.\r\n"},
      {0x800706BAu, u"The RPC server is unavailable.\r\n"},
      {0x800706BEu, u"The remote procedure call failed.\r\n"},
  };
  return texts;
}

struct Overrides {
  std::mutex lock;
  std::map<uint32_t, std::u16string> messages;
  std::optional<LONG> bias;
};
Overrides& overrides() {
  static Overrides instance;
  return instance;
}

// The text for a code, looking through the Win32 facility for plain Win32 codes.
std::optional<std::u16string> systemText(DWORD code) {
  uint32_t key = code;
  if (code != 0 && code <= 0xFFFF) key = static_cast<uint32_t>(HRESULT_FROM_WIN32(code));
  {
    auto& o = overrides();
    std::lock_guard<std::mutex> guard(o.lock);
    auto found = o.messages.find(key);
    if (found != o.messages.end()) return found->second;
  }
  auto found = systemTexts().find(key);
  if (found != systemTexts().end()) return std::u16string(found->second);
  // The codes the drivers of real devices make up for their own statuses say the driver's
  // words, as a driver's message table would.
  if (std::optional<std::string> text = drivers::driverText(static_cast<HRESULT>(key))) {
    return toUtf16(*text + "\r\n");
  }
  return std::nullopt;
}

bool languageServed(DWORD language) {
  return language == 0 || language == MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT) ||
         language == MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

// Both FormatMessage variants: finds the text and stores it as `Char` units.
template <typename Char>
DWORD formatMessage(DWORD flags, DWORD code, DWORD language, Char* buffer, DWORD size,
                    std::basic_string<Char> (*convert)(const std::u16string&)) {
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 ||
      (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) != 0 || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!languageServed(language)) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  auto text = systemText(code);
  if (!text) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  std::basic_string<Char> converted = convert(*text);
  const size_t units = converted.size() + 1;
  Char* target = buffer;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    target = static_cast<Char*>(LocalAlloc(LMEM_FIXED, units * sizeof(Char)));
    if (!target) {
      SetLastError(8 /* ERROR_NOT_ENOUGH_MEMORY */);
      return 0;
    }
    *reinterpret_cast<Char**>(buffer) = target;
  } else if (units > size) {
    SetLastError(122 /* ERROR_INSUFFICIENT_BUFFER */);
    return 0;
  }
  std::memcpy(target, converted.c_str(), units * sizeof(Char));
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(converted.size());
}

std::string narrow(const std::u16string& text) { return toUtf8(text); }
std::u16string same(const std::u16string& text) { return text; }

// Standard-time offset of the process's zone, in Windows' sign convention.
LONG processBias() {
  tzset();
  return static_cast<LONG>(timezone / 60);
}

}  // namespace

void setSystemMessage(HRESULT code, const std::u16string& text) {
  auto& o = overrides();
  std::lock_guard<std::mutex> guard(o.lock);
  o.messages[static_cast<uint32_t>(code)] = text;
}

void clearSystemMessageOverrides() {
  auto& o = overrides();
  std::lock_guard<std::mutex> guard(o.lock);
  o.messages.clear();
}

void setTimeZoneBias(LONG biasMinutes) {
  auto& o = overrides();
  std::lock_guard<std::mutex> guard(o.lock);
  o.bias = biasMinutes;
}

void clearTimeZoneBias() {
  auto& o = overrides();
  std::lock_guard<std::mutex> guard(o.lock);
  o.bias.reset();
}

}  // namespace winsim

extern "C" {

DWORD GetLastError(void) { return winsim::lastError; }
void SetLastError(DWORD error) { winsim::lastError = error; }

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list*) {
  // The stand-in's 8-bit code page is UTF-8.
  return winsim::formatMessage<char>(dwFlags, dwMessageId, dwLanguageId, lpBuffer, nSize,
                                     winsim::narrow);
}

DWORD FormatMessageW(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD dwLanguageId,
                     LPWSTR lpBuffer, DWORD nSize, va_list*) {
  return winsim::formatMessage<char16_t>(dwFlags, dwMessageId, dwLanguageId, lpBuffer, nSize,
                                         winsim::same);
}

HLOCAL LocalAlloc(UINT uFlags, size_t uBytes) {
  void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes ? uBytes : 1)
                                         : std::malloc(uBytes ? uBytes : 1);
  if (block) winsim::detail::trackLocal(block);
  return block;
}

HLOCAL LocalFree(HLOCAL hMem) {
  if (!hMem) return nullptr;
  winsim::detail::untrackLocal(hMem);
  std::free(hMem);
  return nullptr;
}

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  std::memset(info, 0, sizeof *info);
  std::optional<LONG> bias;
  {
    auto& o = winsim::overrides();
    std::lock_guard<std::mutex> guard(o.lock);
    bias = o.bias;
  }
  if (bias) {
    info->Bias = *bias;
    return TIME_ZONE_ID_UNKNOWN;
  }
  info->Bias = winsim::processBias();
  const bool zoneHasDaylight = daylight != 0;
  auto copyName = [](WCHAR* target, const char* name) {
    std::u16string wide = winsim::toUtf16(name ? name : "");
    wide.resize(std::min<size_t>(wide.size(), 31));
    std::memcpy(target, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  };
  copyName(info->StandardName, tzname[0]);
  if (!zoneHasDaylight) return TIME_ZONE_ID_UNKNOWN;
  copyName(info->DaylightName, tzname[1]);
  info->DaylightBias = -60;
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  return local.tm_isdst > 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

}  // extern "C"
