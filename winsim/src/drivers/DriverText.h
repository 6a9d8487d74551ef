// Texts of the codes that the drivers make up for statuses no WIA or system code means:
// FormatMessage knows no text for them, so the driver that reports one leaves its text
// here, for the service's message table to answer with.
#pragma once

#include <optional>
#include <string>

#include "winsim/winsim.h"

namespace winsim::drivers {

// The drivers' own codes: SANE statuses at 0x80045A00 + status, libgphoto2 results at
// 0x80046000 + the negated result (FACILITY_ITF, where codes are the interface's own).
constexpr HRESULT kSaneOwnCodes = HRESULT(0x80045A00u);
constexpr HRESULT kGphoto2OwnCodes = HRESULT(0x80046000u);

// Keeps `text` as the text of `code` (the latest one wins; a driver's text for one status
// does not change).
void rememberDriverText(HRESULT code, const std::string& text);
// The text left for `code`, if a driver has reported it.
std::optional<std::string> driverText(HRESULT code);

}  // namespace winsim::drivers
