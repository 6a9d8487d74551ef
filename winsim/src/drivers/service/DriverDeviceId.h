// WIA's device IDs of the devices that drivers of real hardware serve.
#pragma once

#include <string>

namespace winsim::drivers {

// "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\sane:test:0", "...\gphoto2:disk:/photos": the
// imaging devices' class, the driver and its own name of the device, which stays the same
// from one listing to the next. A backslash or '%' in the name is written %5C or %25, so that
// the part after the ID's last backslash, which names the device's items, is the whole name
// and no other device's.
std::string driverDeviceId(const std::string& driver, const std::string& name);

}  // namespace winsim::drivers
