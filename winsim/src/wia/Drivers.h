// Devices that drivers of real hardware serve beside the virtual set, as the service meets
// them: listed at each enumeration, opened by CreateDevice, each device's transfers made by
// its driver. winsim's runtime on Linux implements this over SANE and libgphoto2
// (drivers/service/); the Windows test programs have no such drivers
// (platform/windows/NoDrivers.cpp).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CameraFiles.h"
#include "Model.h"

namespace winsim::wia {

class TransferProgress;

// One page that a scanner's driver scans into a file the service opened.
struct ScanJob {
  const ItemSettings& settings;
  bool feeder;  // a page of a feeder batch, which goes on after it
  std::FILE* file;
  bool jpeg;                   // else BMP
  TransferProgress& progress;  // the caller's percentages and cancel
};

// The driver of one open device, shared by every session of the device: the service opens
// a device once, however many callers hold it. Its calls take as long as the device does,
// within the drivers' time limits.
class DeviceDriver {
 public:
  virtual ~DeviceDriver() = default;
  // Scanners: the page, with `job.settings` written to the device first. S_FALSE when the
  // progress cancelled it, WIA_ERROR_PAPER_EMPTY at the end of the feeder's paper; the file's
  // content is undefined unless S_OK.
  virtual HRESULT scanPage(const ScanJob&) { return E_NOTIMPL; }
  // Ends the feeder batch the scanner is in, if any.
  virtual void endBatch() {}
  // Cameras: the files there are now.
  virtual HRESULT listFiles(std::vector<CameraFile>*) { return E_NOTIMPL; }
  // The file byte for byte into `path` (created owner-only); no file is left on failure.
  virtual HRESULT fetch(const CameraFile&, const std::string&) { return E_NOTIMPL; }
};

// The devices the drivers list now, which come after the virtual set: SANE's scanners, then
// the cameras. `failure` is a listing's failure, which comes after the devices listed.
struct DriverListing {
  std::vector<std::shared_ptr<const DeviceSpec>> devices;  // their device information alone
  HRESULT failure = S_OK;
};

// Whether the virtual set is served: the drivers setting names "virtual".
bool virtualDevicesServed();
// Whether a driver of real devices is on; without one an enumeration lists the virtual set
// alone, as it always did.
bool realDriversServed();
DriverListing listDriverDevices();

// Opens a device that a listing of this process gave: its model, and the driver that makes
// its transfers; a device already open is shared. WIA_S_NO_DEVICE_AVAILABLE for an ID that no
// listing gave, WIA_ERROR_OFFLINE for a device that is no longer there, else the driver's
// failure.
HRESULT openDriverDevice(const std::string& id, std::shared_ptr<const DeviceSpec>* deviceSpec,
                         std::shared_ptr<DeviceDriver>* driver);

}  // namespace winsim::wia
