// A device that a driver of real hardware serves, open once for every session of it: the
// model its WIA properties follow, and its driver.
#pragma once

#include <memory>

#include "wia/Drivers.h"

namespace winsim::drivers {

class ServedDevice : public wia::DeviceDriver {
 public:
  explicit ServedDevice(std::shared_ptr<const DeviceSpec> deviceSpec) : deviceSpec_(std::move(deviceSpec)) {}
  const std::shared_ptr<const DeviceSpec>& deviceSpec() const { return deviceSpec_; }

 private:
  std::shared_ptr<const DeviceSpec> deviceSpec_;
};

}  // namespace winsim::drivers
