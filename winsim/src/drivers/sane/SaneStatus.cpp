#include "SaneStatus.h"

#include "../DriverText.h"

namespace winsim::drivers {

HRESULT saneStatusCode(int status) {
  switch (status) {
    case SANE_STATUS_GOOD: return S_OK;
    case SANE_STATUS_UNSUPPORTED: return WIA_ERROR_INVALID_COMMAND;
    // A cancel the caller asked for ends a transfer with S_FALSE before this is asked; one
    // the device made on its own is an abort.
    case SANE_STATUS_CANCELLED: return E_ABORT;
    case SANE_STATUS_DEVICE_BUSY: return WIA_ERROR_BUSY;
    case SANE_STATUS_INVAL: return E_INVALIDARG;
    case SANE_STATUS_JAMMED: return WIA_ERROR_PAPER_JAM;
    case SANE_STATUS_NO_DOCS: return WIA_ERROR_PAPER_EMPTY;
    // WIA 1.0 has no cover code; its drivers ask the user to act.
    case SANE_STATUS_COVER_OPEN: return WIA_ERROR_USER_INTERVENTION;
    case SANE_STATUS_IO_ERROR: return WIA_ERROR_DEVICE_COMMUNICATION;
    case SANE_STATUS_NO_MEM: return E_OUTOFMEMORY;
    case SANE_STATUS_ACCESS_DENIED: return E_ACCESSDENIED;
    default: break;
  }
  auto raw = static_cast<unsigned>(status);
  return HRESULT(static_cast<unsigned>(kSaneOwnCodes) | (raw <= 0xFE ? raw : 0xFFu));
}

DriverStatus saneFailure(int status, const std::string& text, const char* call) {
  HRESULT code = saneStatusCode(status);
  if (code == S_OK) code = WIA_ERROR_INVALID_DRIVER_RESPONSE;  // success where failure was due
  if ((code & HRESULT(0xFFFFFF00u)) == kSaneOwnCodes) rememberDriverText(code, text);
  return driverFailure(code, text, call);
}

}  // namespace winsim::drivers
