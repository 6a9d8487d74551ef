// The virtual service in a Windows program serves its virtual set alone: the drivers of real
// devices are winsim's on Linux, and the system's own WIA service serves a Windows machine's.
#include "wia/Drivers.h"
#include "wia/Platform.h"
#include "winsim/control.h"

namespace winsim::wia {

bool virtualDevicesServed() { return true; }
bool realDriversServed() { return false; }
DriverListing listDriverDevices() { return {}; }

HRESULT openDriverDevice(const std::string&, std::shared_ptr<const DeviceSpec>*, std::shared_ptr<DeviceDriver>*) {
  return WIA_S_NO_DEVICE_AVAILABLE;
}

bool virtualDevicesInstalled() { return true; }

// Only a driver's camera files are transferred into folders of their own.
HRESULT createTransferFolder(std::string*) { return E_NOTIMPL; }
void removeTransferFolder(const std::string&) {}

}  // namespace winsim::wia

namespace winsim {

void restartDrivers() {}

}  // namespace winsim
