// SANE's statuses as the WIA codes a Windows driver reports for the same events.
#pragma once

#include <sane/sane.h>

#include <string>

#include "../DriverStatus.h"

namespace winsim::drivers {

// The code for `status` where it came as a failure. Statuses with no WIA or system code of
// the same meaning (SANE_STATUS_EOF where no frame was being read, a status this SANE does
// not define) get a code of their own, kSaneOwnCodes + status.
HRESULT saneStatusCode(int status);

// The failure report of `status` from `call`, with SANE's text for it; the text of a code
// of SANE's own is left in DriverText for the service's message table.
DriverStatus saneFailure(int status, const std::string& text, const char* call);

}  // namespace winsim::drivers
