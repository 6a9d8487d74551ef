#include "DriverDeviceId.h"

namespace winsim::drivers {

std::string driverDeviceId(const std::string& driver, const std::string& name) {
  std::string id = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\" + driver + ":";
  for (char c : name) {
    if (c == '\\') id += "%5C";
    else if (c == '%') id += "%25";
    else id += c;
  }
  return id;
}

}  // namespace winsim::drivers
