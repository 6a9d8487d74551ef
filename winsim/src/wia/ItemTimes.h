// The times items report, as WIA's vectors of SYSTEMTIME fields.
#pragma once

#include "CameraFiles.h"
#include "winsim/devices.h"

namespace winsim::wia {

// The time `minutes` after 2024-05-03 10:30 UTC: the device's clock and the generated
// pictures' times.
SYSTEMTIME timeAfter(long long minutes);
// A camera file's modification time, UTC; all zeros when the camera does not say.
SYSTEMTIME fileTime(const CameraFile& file);
// {year, month, day of week, day, hour, minute, second, milliseconds} as VT_VECTOR | VT_UI2.
PropertyValue timeVector(const SYSTEMTIME& time);

}  // namespace winsim::wia
