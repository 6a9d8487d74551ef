// What a WIA scanner driver needs to know of a SANE device, read from its options:
// resolutions, the data types and depths its modes give, the bed and scan area, and the
// document sources.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SaneOption.h"
#include "winsim/winsim.h"

namespace winsim::drivers {

// WIA_IPS_XRES/YRES: a range (min..max in steps) or a list, in dots per inch.
struct SaneResolutions {
  std::string option;  // "resolution", "x-resolution", or empty when the device has neither
  bool list = false;
  double min = 0, max = 0, step = 0;
  std::vector<double> values;
  double current = 0;  // as the device reports it, which may lie outside the choices
  bool settable = false;

  // The choice closest to `dpi` (the device's own rounding is read back after a write).
  double nearest(double dpi) const;
};

// One WIA_IPA_DATATYPE with its WIA_IPA_DEPTH, and the SANE mode and depth that give it.
struct SaneDataType {
  LONG dataType = WIA_DATA_COLOR;
  LONG bitsPerPixel = 24;
  std::string mode;  // empty when the device has no mode option
  int depth = 0;     // 0 when the device has no depth option for this mode
  bool operator==(const SaneDataType& o) const {
    return dataType == o.dataType && bitsPerPixel == o.bitsPerPixel && mode == o.mode && depth == o.depth;
  }
};

// The scan area `tl-x`, `tl-y`, `br-x`, `br-y`, in millimetres (the options' unit; one given
// in pixels is converted at the current resolution).
struct SaneArea {
  bool present = false;
  bool settable = false;
  double bedLeft = 0, bedTop = 0, bedRight = 0, bedBottom = 0;  // the ranges' limits
  double left = 0, top = 0, right = 0, bottom = 0;              // the current area

  LONG bedWidthThousandths() const;   // WIA_DPS_HORIZONTAL_BED_SIZE
  LONG bedHeightThousandths() const;  // WIA_DPS_VERTICAL_BED_SIZE
};

// A position and extent in pixels at a resolution (WIA_IPS_XPOS, YPOS, XEXTENT, YEXTENT).
struct PixelArea {
  LONG x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelArea& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};

LONG millimetresToPixels(double millimetres, double dpi);
double pixelsToMillimetres(LONG pixels, double dpi);
// The area in whole pixels at `dpi`: the position rounded, the extent to the far edge rounded.
PixelArea pixelAreaOf(const SaneArea& area, double dpi);

// A value of the `source` option with the WIA document handling it selects: FLATBED,
// FEEDER, FEEDER | DUPLEX, or 0 for sources WIA 1.0 has no handling for (film,
// transparency units).
struct SaneSource {
  std::string name;
  LONG handling = 0;
};
LONG documentHandlingOfSource(const std::string& name);

struct SaneScannerModel {
  SaneResolutions resolution;
  std::vector<SaneDataType> dataTypes;  // every mode and depth the device offers
  std::optional<SaneDataType> currentDataType;
  SaneArea area;
  std::vector<SaneSource> sources;  // empty: the device has no source option (a flatbed)
  std::string currentSource;

  // WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES: FLATBED, FEEDER and DUPLEX as the sources give.
  LONG documentHandlingCapabilities() const;
  // WIA_DPS_DOCUMENT_HANDLING_SELECT of the current source.
  LONG currentDocumentHandling() const;
  // The source that selects `handling` (FLATBED, FEEDER, or FEEDER | DUPLEX), or null.
  const SaneSource* sourceFor(LONG handling) const;
};

// How SANE's mode names read: the kinds WIA tells apart.
enum class SaneModeKind { Unknown, Lineart, Halftone, Gray, Color, ColorLineart, ColorHalftone };
SaneModeKind modeKindOf(const std::string& mode);
// The WIA data type and depth of a mode at a SANE depth (0: the mode's own), if WIA has one.
std::optional<SaneDataType> dataTypeOf(const std::string& mode, int depth);

// The model of the options as they stand; dataTypes then holds the current mode's choices
// (SaneDevice completes it mode by mode).
SaneScannerModel scannerModelOf(const std::vector<SaneOption>& options);
// The data types of the current mode with each depth the depth option offers now.
std::vector<SaneDataType> dataTypesOfCurrentMode(const std::vector<SaneOption>& options);

}  // namespace winsim::drivers
