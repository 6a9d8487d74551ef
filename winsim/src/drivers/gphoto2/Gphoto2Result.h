// libgphoto2's error results as the WIA and system codes a Windows camera driver reports
// for the same events.
#pragma once

#include <string>

#include "../DriverStatus.h"

namespace winsim::drivers {

// The code for a libgphoto2 result below GP_OK. Results with no WIA or system code of the
// same meaning get one of their own, kGphoto2OwnCodes + the negated result.
HRESULT gphoto2ResultCode(int result);

// A libgphoto2 result and the call that gave it, as work on the driver thread returns them.
struct Gphoto2Outcome {
  int result = 0;  // GP_OK
  const char* call = "";
  bool failed() const { return result < 0; }
};

// The failure report of `result` from `call`, with gp_result_as_string's text; the text of
// a code of libgphoto2's own is left in DriverText for the service's message table.
DriverStatus gphoto2Failure(int result, const std::string& text, const char* call);
inline DriverStatus gphoto2Failure(const Gphoto2Outcome& outcome, const std::string& text) {
  return gphoto2Failure(outcome.result, text, outcome.call);
}

}  // namespace winsim::drivers
