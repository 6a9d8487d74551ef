// The pictures the virtual devices deliver: a scanner test chart laid out on the glass in
// physical units, so that it looks the same at every resolution, and camera pictures that
// differ visibly from each other. Rendered a row at a time, on demand.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Model.h"

namespace winsim::wia {

class Image {
 public:
  virtual ~Image() = default;
  virtual LONG width() const = 0;
  virtual LONG height() const = 0;
  // Fills `rgb` with width() pixels of row `y` (0 at the top), 3 bytes each.
  virtual void row(LONG y, uint8_t* rgb) const = 0;
};

// The chart printed on `glass` (the bed, or a page in the feeder) under the scan area of
// `settings`, with brightness and contrast applied, and `label` in large capitals at its top
// when it is not empty.
std::unique_ptr<Image> scannerImage(const Glass& glass, const ItemSettings& settings, std::string label);
// Picture `index` of a camera at the given size.
std::unique_ptr<Image> cameraImage(unsigned index, LONG width, LONG height);

// A channel's level with WIA_IPS_BRIGHTNESS and WIA_IPS_CONTRAST (-1000 to 1000) applied.
uint8_t adjustedChannel(uint8_t channel, LONG brightness, LONG contrast);

// A picture's thumbnail as WIA_IPC_THUMBNAIL carries it: top-down rows of BGR bytes.
std::vector<long long> thumbnailBytes(unsigned index, LONG width, LONG height);

}  // namespace winsim::wia
