// The virtual WIA service inside a Windows program, over the system's own COM runtime:
// what such a program needs beside winsim/control.h and winsim/devices.h.
#pragma once

#include "winsim/winsim.h"

namespace winsim {

// A new virtual device manager (its IUnknown, one reference), as CoCreateInstance of
// CLSID_WiaDevMgr makes it in winsim. The system's own WIA service stays what
// CoCreateInstance finds.
IUnknown* newVirtualDeviceManager();

}  // namespace winsim
