// One scanned page put together from the frames sane_read delivers and handed on as rows,
// 8 bits a sample, grey or RGB (SaneRows.h).
//
// SANE sends a page as one frame (grey or RGB) or as three single-colour frames
// (three-pass scanners), each in chunks of any size, at 1, 8 or 16 bits a sample: 1-bit
// samples eight to a byte from the high bit, where in a grey frame 1 is black and in any
// other 1 is full intensity; 16-bit samples in the machine's byte order. A line may end
// in padding (bytes_per_line beyond the pixels), and the number of lines may be unknown
// (-1, hand scanners) until the frame ends. The rows of a one-frame page go to the sink as
// each line is complete; a three-pass page is kept until its last colour has come.
#pragma once

#include <sane/sane.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../DriverStatus.h"
#include "SaneApi.h"
#include "SaneRows.h"

namespace winsim::drivers {

class SanePage {
 public:
  // The biggest page: 2 GiB of samples.
  static constexpr uint64_t kMaxSamples = uint64_t(1) << 31;

  explicit SanePage(SaneRowSink& sink) : sink_(sink) {}

  // Starts the next frame with the parameters sane_get_parameters gave after sane_start.
  // Fails (WIA_ERROR_INVALID_DRIVER_RESPONSE) for parameters that describe no image this
  // page can hold: an unknown format or depth, lines of fewer bytes than their pixels,
  // colour frames that differ in size or repeat a colour, a page beyond kMaxSamples.
  DriverStatus beginFrame(const SANE_Parameters& parameters);
  // Takes the next bytes of the frame. Bytes beyond the lines announced are counted, not
  // kept. A failure of the sink comes back from here.
  DriverStatus add(const uint8_t* bytes, size_t length);
  // The frame's end (SANE_STATUS_EOF): fails for a frame without one whole line.
  DriverStatus endFrame();

  // The page has all its frames: a grey or RGB frame, or the third colour frame.
  bool complete() const { return ended_ && (single_ || colourFrames_ == 7); }
  // Bytes the whole page should take from sane_read, 0 while unknown.
  uint64_t bytesExpected() const { return bytesExpected_; }
  uint64_t bytesRead() const { return bytesRead_; }

 private:
  DriverStatus storeLine(const uint8_t* line);
  void convert(const uint8_t* line, uint8_t* row) const;
  size_t rowBytes() const { return static_cast<size_t>(width_) * channels_; }

  SaneRowSink& sink_;
  int format_ = SANE_FRAME_GRAY;
  int depth_ = 8;
  size_t lineBytes_ = 0;
  LONG width_ = 0;
  int channels_ = 0;       // samples per pixel in the page
  int frameChannels_ = 0;  // samples per pixel in the frame
  int channelOffset_ = 0;  // where the frame's samples go in a pixel of the page
  LONG frameLines_ = 0;    // whole lines of this frame so far
  LONG announcedLines_ = -1;   // the lines this frame announced, -1 when unknown
  LONG firstFrameLines_ = -1;  // the first frame's: announced, else counted at its end
  bool firstFrame_ = false;
  int colourFrames_ = 0;  // SANE_FRAME_RED/GREEN/BLUE frames begun, a bit each
  bool single_ = false;   // a grey or RGB frame: the page is one frame
  bool ended_ = false;    // the current frame has ended
  bool shortened_ = false;
  std::vector<uint8_t> row_;      // one converted row of a one-frame page
  std::vector<uint8_t> colours_;  // a three-pass page until its last frame
  LONG colourRows_ = 0;
  std::vector<uint8_t> partial_;  // a line's first bytes, until the rest arrives
  uint64_t bytesExpected_ = 0;
  uint64_t bytesRead_ = 0;
};

}  // namespace winsim::drivers
