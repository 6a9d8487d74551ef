// One scanned page put together from the frames sane_read delivers, as the rows the
// service's JPEG and BMP writers take: 8 bits a sample, grey or RGB, top row first.
//
// SANE sends a page as one frame (grey or RGB) or as three single-colour frames
// (three-pass scanners), each in chunks of any size, at 1, 8 or 16 bits a sample: 1-bit
// samples eight to a byte from the high bit, where in a grey frame 1 is black and in any
// other 1 is full intensity; 16-bit samples in the machine's byte order. A line may end
// in padding (bytes_per_line beyond the pixels), and the number of lines may be unknown
// (-1, hand scanners) until the frame ends.
#pragma once

#include <sane/sane.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../DriverStatus.h"
#include "SaneApi.h"

namespace winsim::drivers {

struct SaneRaster {
  LONG width = 0;
  LONG height = 0;
  int channels = 0;              // 1 grey, 3 RGB
  std::vector<uint8_t> samples;  // height rows of width * channels bytes
  bool shortened = false;        // the device ended it before the lines it announced

  // Row `y` as RGB, 3 bytes a pixel (a grey sample repeated), as Image::row gives it.
  void rgbRow(LONG y, uint8_t* rgb) const;
};

class SanePage {
 public:
  // The biggest page kept: 2 GiB of samples.
  static constexpr uint64_t kMaxSamples = uint64_t(1) << 31;

  // Starts the next frame with the parameters sane_get_parameters gave after sane_start.
  // Fails (WIA_ERROR_INVALID_DRIVER_RESPONSE) for parameters that describe no image this
  // page can hold: an unknown format or depth, lines of fewer bytes than their pixels,
  // a colour frame where the page's frames differ in size, a page beyond kMaxSamples.
  DriverStatus beginFrame(const SANE_Parameters& parameters);
  // Takes the next bytes of the frame. Bytes beyond the lines announced are counted, not kept.
  DriverStatus add(const uint8_t* bytes, size_t length);
  // The frame's end (SANE_STATUS_EOF): fails for a frame without one whole line.
  DriverStatus endFrame();

  // The page has all its frames: a grey or RGB frame, or the third colour frame.
  bool complete() const;
  // Bytes the whole page should take from sane_read, 0 while unknown.
  uint64_t bytesExpected() const { return bytesExpected_; }
  uint64_t bytesRead() const { return bytesRead_; }

  SaneRaster take();

 private:
  void storeLine(const uint8_t* line);

  SaneRaster raster_;
  SANE_Parameters frame_{};
  int frameChannels_ = 0;  // samples per pixel in the frame
  int channelOffset_ = 0;  // where the frame's samples go in a pixel of the page
  LONG frameLines_ = 0;    // whole lines of this frame so far
  LONG firstFrameLines_ = -1;
  int colourFrames_ = 0;   // SANE_FRAME_RED/GREEN/BLUE frames seen
  bool single_ = false;    // a grey or RGB frame: the page is one frame
  bool ended_ = false;
  std::vector<uint8_t> partial_;  // a line's first bytes, until the rest arrives
  uint64_t bytesExpected_ = 0;
  uint64_t bytesRead_ = 0;
};

}  // namespace winsim::drivers
