#include "Gphoto2Result.h"

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

#include "../DriverText.h"

namespace winsim::drivers {

HRESULT gphoto2ResultCode(int result) {
  switch (result) {
    case GP_OK: return S_OK;
    case GP_ERROR: return WIA_ERROR_GENERAL_ERROR;
    case GP_ERROR_BAD_PARAMETERS:
    case GP_ERROR_PATH_NOT_ABSOLUTE: return E_INVALIDARG;
    case GP_ERROR_NO_MEMORY: return E_OUTOFMEMORY;
    case GP_ERROR_NOT_SUPPORTED: return WIA_ERROR_INVALID_COMMAND;
    case GP_ERROR_UNKNOWN_PORT:
    case GP_ERROR_IO_USB_FIND: return WIA_ERROR_OFFLINE;  // the camera is not there (any more)
    case GP_ERROR_IO:
    case GP_ERROR_TIMEOUT:
    case GP_ERROR_IO_INIT:
    case GP_ERROR_IO_READ:
    case GP_ERROR_IO_WRITE:
    case GP_ERROR_IO_UPDATE:
    case GP_ERROR_IO_SERIAL_SPEED:
    case GP_ERROR_IO_USB_CLEAR_HALT:
    case GP_ERROR_IO_USB_CLAIM: return WIA_ERROR_DEVICE_COMMUNICATION;
    case GP_ERROR_IO_LOCK:
    case GP_ERROR_CAMERA_BUSY: return WIA_ERROR_BUSY;
    case GP_ERROR_CORRUPTED_DATA: return WIA_ERROR_INVALID_DRIVER_RESPONSE;
    case GP_ERROR_FILE_NOT_FOUND:
    case GP_ERROR_DIRECTORY_NOT_FOUND: return WIA_ERROR_ITEM_DELETED;  // a picture or folder gone
    case GP_ERROR_CANCEL: return E_ABORT;
    case GP_ERROR_NO_SPACE: return HRESULT_FROM_WIN32(112);  // ERROR_DISK_FULL
    default: break;
  }
  unsigned magnitude = result < 0 ? static_cast<unsigned>(-static_cast<long long>(result)) : 0xFFFu;
  return HRESULT(static_cast<unsigned>(kGphoto2OwnCodes) | (magnitude <= 0xFFE ? magnitude : 0xFFFu));
}

DriverStatus gphoto2Failure(int result, const std::string& text, const char* call) {
  HRESULT code = gphoto2ResultCode(result);
  if (code == S_OK) code = WIA_ERROR_INVALID_DRIVER_RESPONSE;  // success where a failure was due
  if ((code & HRESULT(0xFFFFF000u)) == kGphoto2OwnCodes) rememberDriverText(code, text);
  return driverFailure(code, text, call);
}

}  // namespace winsim::drivers
