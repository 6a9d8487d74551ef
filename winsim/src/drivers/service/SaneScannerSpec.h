// A SANE device as the WIA scanner the service serves: its device information, the model
// that its WIA properties follow (from its options), and what a page's WIA settings ask of
// its options.
#pragma once

#include <optional>
#include <string>

#include "sane/SaneBackend.h"
#include "sane/SaneScannerModel.h"
#include "winsim/devices.h"

namespace winsim::drivers {

// The device information of a listing: ID, name ("Noname frontend-tester"), vendor, the
// type as description, SANE's device name as the port.
DeviceSpec saneDeviceInfo(const SaneDeviceInfo& device);

// The scanner with its options as `model` has them:
// - data types: threshold, greyscale and colour where a mode and depth give them (others,
//   halftone and colour line art, are left out: a file holds none of them); 16-bit grey
//   and 48-bit colour where a depth of 16 is offered;
// - resolutions: a range in whole dpi (steps of at least one) or a list, each direction
//   the same (linked), none so high that the bed is beyond 65500 pixels; the nominal
//   value the one nearest 150 dpi; a device without a resolution option has 150 alone;
// - the bed from the area's ranges (the virtual scanners' bed when the device has no area
//   options), at least an inch a side;
// - a feeder where a source names one, duplex where one names that, sides in the order the
//   device scans them (front first); no flatbed when only feeders are named.
DeviceSpec saneScannerSpec(const SaneDeviceInfo& device, const SaneScannerModel& model);

// What a page's WIA settings ask of the device's options.
struct SaneScanSettings {
  LONG handling = FLATBED;  // FLATBED, FEEDER or FEEDER | DUPLEX
  std::optional<SaneDataType> dataType;  // none when no mode gives the WIA data type
  double dpi = 0;
  PixelArea area;

  bool operator==(const SaneScanSettings& o) const {
    return handling == o.handling && dataType == o.dataType && dpi == o.dpi && area == o.area;
  }
  bool operator!=(const SaneScanSettings& o) const { return !(*this == o); }
};

// The mode and depth of WIA's (`dataType`, `depth`) are those of the model's data type with
// the same depth, else the same data type at 8 bits a sample (files hold no more), else any
// of the data type.
SaneScanSettings saneScanSettings(const SaneScannerModel& model, LONG documentSelect, LONG dataType, LONG depth,
                                  LONG dpi, const PixelArea& area);

}  // namespace winsim::drivers
