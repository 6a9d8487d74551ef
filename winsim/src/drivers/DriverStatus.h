// The outcome of a call into a driver library as the service reports it: an HRESULT, the
// words that go with it and the call that gave it, for a debug line.
#pragma once

#include <string>
#include <utility>

#include "winsim/winsim.h"

namespace winsim::drivers {

struct DriverStatus {
  HRESULT code = S_OK;  // S_OK; S_FALSE for a transfer the caller cancelled; else a failure
  std::string text;     // the driver's own words (sane_strstatus, gp_result_as_string) or ours
  std::string call;     // the driver call that answered so, e.g. "sane_start"

  bool ok() const { return code == S_OK; }
};

inline DriverStatus driverFailure(HRESULT code, std::string text, std::string call) {
  return DriverStatus{code, std::move(text), std::move(call)};
}

}  // namespace winsim::drivers
