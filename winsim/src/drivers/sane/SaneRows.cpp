#include "SaneRows.h"

#include <cstring>

namespace winsim::drivers {

void SaneRaster::rgbRow(LONG y, uint8_t* rgb) const {
  const uint8_t* row = samples.data() + static_cast<size_t>(y) * width * channels;
  if (channels == 3) {
    std::memcpy(rgb, row, static_cast<size_t>(width) * 3);
    return;
  }
  for (LONG x = 0; x < width; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = row[x];
}

DriverStatus SaneRasterSink::begin(LONG width, LONG height, int channels) {
  *raster_ = SaneRaster{};
  raster_->width = width;
  raster_->channels = channels;
  // Rows are added as they come: no page-sized fill before the data.
  if (height > 0) raster_->samples.reserve(static_cast<size_t>(width) * channels * height);
  return DriverStatus{};
}

DriverStatus SaneRasterSink::row(const uint8_t* samples) {
  raster_->samples.insert(raster_->samples.end(), samples,
                          samples + static_cast<size_t>(raster_->width) * raster_->channels);
  ++raster_->height;
  return DriverStatus{};
}

DriverStatus SaneRasterSink::end(LONG, bool shortened) {
  raster_->shortened = shortened;
  return DriverStatus{};
}

}  // namespace winsim::drivers
