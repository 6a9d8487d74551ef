// A device that a driver of real hardware serves, open once for every session of it: the
// model its WIA properties follow, and its driver.
#pragma once

#include <memory>

#include "wia/Drivers.h"

namespace winsim::drivers {

class ServedDevice : public wia::DeviceDriver {
 public:
  explicit ServedDevice(std::shared_ptr<const DeviceSpec> spec) : spec_(std::move(spec)) {}
  const std::shared_ptr<const DeviceSpec>& spec() const { return spec_; }

 private:
  std::shared_ptr<const DeviceSpec> spec_;
};

}  // namespace winsim::drivers
