// SANE's scanners for the service: the front library loaded when the service starts,
// initialised once, its devices listed and opened. Absent, or failing to initialise, it
// has simply no devices, and unavailableReason() says why for a debug line.
//
// Network scanners (eSCL and WSD through the airscan backend, saned through net) are SANE
// devices like any other. Every call runs on the session's driver thread within its limit
// (DriverSettings.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../DriverSession.h"
#include "../DriverSettings.h"
#include "../DriverStatus.h"
#include "SaneApi.h"

namespace winsim::drivers {

class SaneDevice;
struct SaneSession;

// A device as sane_get_devices lists it. `name` ("test:0", "airscan:e0:Printer") is how
// SANE opens it and stays the same from one listing to the next: it is the device's id.
struct SaneDeviceInfo {
  std::string name;
  std::string vendor;
  std::string model;
  std::string type;  // "flatbed scanner", "virtual device", ...
};

struct SaneBackendOptions {
  std::string library = kSaneLibrary;
  DriverLimits limits = driverLimitsFromSettings();
};

class SaneBackend {
 public:
  explicit SaneBackend(const SaneBackendOptions& options = {});
  ~SaneBackend();
  SaneBackend(const SaneBackend&) = delete;
  SaneBackend& operator=(const SaneBackend&) = delete;

  bool available() const { return started_.available(); }
  const std::string& unavailableReason() const { return started_.unavailableReason(); }

  // The devices SANE finds now, local and on the network; none when it is unavailable.
  DriverStatus listDevices(std::vector<SaneDeviceInfo>* devices);
  // Opens the device `name` and reads its options.
  DriverStatus open(const std::string& name, std::unique_ptr<SaneDevice>* device);

 private:
  StartedSession<SaneSession> started_;
};

}  // namespace winsim::drivers
