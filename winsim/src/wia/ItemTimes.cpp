#include "ItemTimes.h"

#include <cstdint>
#include <ctime>

#ifdef _WIN32  // the C library of Windows names the UTC conversions differently
#define timegm _mkgmtime
#define gmtime_r(time, fields) gmtime_s((fields), (time))
#endif

namespace winsim::wia {
namespace {

SYSTEMTIME systemTimeOf(std::time_t when) {
  std::tm t{};
  gmtime_r(&when, &t);
  return SYSTEMTIME{static_cast<WORD>(t.tm_year + 1900), static_cast<WORD>(t.tm_mon + 1),
                    static_cast<WORD>(t.tm_wday), static_cast<WORD>(t.tm_mday),
                    static_cast<WORD>(t.tm_hour), static_cast<WORD>(t.tm_min),
                    static_cast<WORD>(t.tm_sec), 0};
}

}  // namespace

SYSTEMTIME timeAfter(long long minutes) {
  std::tm base{};
  base.tm_year = 2024 - 1900;
  base.tm_mon = 4;
  base.tm_mday = 3;
  base.tm_hour = 10;
  base.tm_min = 30;
  return systemTimeOf(timegm(&base) + static_cast<std::time_t>(minutes) * 60);
}

SYSTEMTIME fileTime(const CameraFile& file) {
  // 1601-01-01 and 9999-12-31, the years a SYSTEMTIME and every C library hold.
  constexpr int64_t kEarliest = -11644473600LL;
  constexpr int64_t kLatest = 253402300799LL;
  if (!file.hasTime || file.modified < kEarliest || file.modified > kLatest) return SYSTEMTIME{};
  return systemTimeOf(static_cast<std::time_t>(file.modified));
}

PropertyValue timeVector(const SYSTEMTIME& t) {
  return PropertyValue::vector(VT_UI2, {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour,
                                        t.wMinute, t.wSecond, t.wMilliseconds});
}

}  // namespace winsim::wia
