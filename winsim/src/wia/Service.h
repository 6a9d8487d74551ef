// The state of the virtual WIA service that outlives single objects: the device set, the
// dialog scripts' progress and the read overrides.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "winsim/devices.h"

namespace winsim::wia {

class Feeder;

struct DeviceList {
  std::vector<std::shared_ptr<const DeviceSpec>> devices;
  // By device: its document feeder's paper, or null. Made with the set, so that installing
  // a set reloads every feeder.
  std::vector<std::shared_ptr<Feeder>> feeders;
  std::unordered_map<std::string, size_t> byId;
};

// The current set; an enumeration keeps the snapshot it started with.
std::shared_ptr<const DeviceList> currentDevices();

// The next step of a device's dialog script; false when the device has none.
bool nextDialogStep(const std::string& deviceId, DialogStep* step);

// The override for a property read on `target`, if any.
bool findReadOverride(const std::string& target, PROPID propid, ReadOverride* rule);

}  // namespace winsim::wia
