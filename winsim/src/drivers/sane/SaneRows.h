// Where a scanned page's rows go, 8 bits a sample, grey or RGB, top row first, as the
// service's JPEG and BMP writers take them: a sink that writes them on as they come, or a
// SaneRaster that keeps the whole page.
#pragma once

#include <cstdint>
#include <vector>

#include "../DriverStatus.h"

namespace winsim::drivers {

class SaneRowSink {
 public:
  virtual ~SaneRowSink() = default;
  // The page's size before its first row; `height` is -1 when the device does not know it
  // (hand scanners) and the lines it announced otherwise.
  virtual DriverStatus begin(LONG width, LONG height, int channels) = 0;
  // The next row: width * channels samples, valid during the call.
  virtual DriverStatus row(const uint8_t* samples) = 0;
  // The page is complete with `height` rows: fewer than announced when the device ended it
  // early (`shortened`). A failure of the sink ends the scan with it.
  virtual DriverStatus end(LONG height, bool shortened) = 0;
};

struct SaneRaster {
  LONG width = 0;
  LONG height = 0;
  int channels = 0;              // 1 grey, 3 RGB
  std::vector<uint8_t> samples;  // height rows of width * channels bytes
  bool shortened = false;        // the device ended it before the lines it announced

  // Row `y` as RGB, 3 bytes a pixel (a grey sample repeated), as Image::row gives it.
  void rgbRow(LONG y, uint8_t* rgb) const;
};

// A sink that keeps the page in a SaneRaster.
class SaneRasterSink : public SaneRowSink {
 public:
  explicit SaneRasterSink(SaneRaster* raster) : raster_(raster) {}
  DriverStatus begin(LONG width, LONG height, int channels) override;
  DriverStatus row(const uint8_t* samples) override;
  DriverStatus end(LONG height, bool shortened) override;

 private:
  SaneRaster* raster_;
};

}  // namespace winsim::drivers
