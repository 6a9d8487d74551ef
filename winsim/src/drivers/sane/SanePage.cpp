#include "SanePage.h"

#include <cstring>
#include <utility>

namespace winsim::drivers {
namespace {

constexpr SANE_Int kMaxPixelsPerLine = 1 << 20;
constexpr SANE_Int kMaxBytesPerLine = 1 << 26;

DriverStatus oddFrame(const std::string& what) {
  return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE, "the scanner sent " + what,
                       "sane_get_parameters");
}

int colourOf(int format) {
  return format == SANE_FRAME_RED ? 0 : format == SANE_FRAME_GREEN ? 1 : 2;
}

}  // namespace

void SaneRaster::rgbRow(LONG y, uint8_t* rgb) const {
  const uint8_t* row = samples.data() + static_cast<size_t>(y) * width * channels;
  if (channels == 3) {
    std::memcpy(rgb, row, static_cast<size_t>(width) * 3);
    return;
  }
  for (LONG x = 0; x < width; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = row[x];
}

DriverStatus SanePage::beginFrame(const SANE_Parameters& p) {
  int format = valueOf(p.format);
  bool colourFrame = format == SANE_FRAME_RED || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
  if (!colourFrame && format != SANE_FRAME_GRAY && format != SANE_FRAME_RGB)
    return oddFrame("a frame of unknown format " + std::to_string(format));
  if (p.depth != 1 && p.depth != 8 && p.depth != 16)
    return oddFrame("samples of " + std::to_string(p.depth) + " bits");
  if (p.pixels_per_line <= 0 || p.pixels_per_line > kMaxPixelsPerLine)
    return oddFrame("lines of " + std::to_string(p.pixels_per_line) + " pixels");
  if (p.lines < -1 || p.lines == 0) return oddFrame(std::to_string(p.lines) + " lines");
  int channels = format == SANE_FRAME_RGB ? 3 : 1;
  uint64_t needed = (uint64_t(p.pixels_per_line) * channels * p.depth + 7) / 8;
  if (p.bytes_per_line < 0 || uint64_t(p.bytes_per_line) < needed || p.bytes_per_line > kMaxBytesPerLine)
    return oddFrame("lines of " + std::to_string(p.bytes_per_line) + " bytes for " +
                    std::to_string(p.pixels_per_line) + " pixels");

  bool first = colourFrames_ == 0 && !single_;
  if (!first) {
    if (complete() || !colourFrame || !ended_) return oddFrame("a frame after the page's last");
    if (colourFrames_ & (1 << colourOf(format))) return oddFrame("the same colour twice");
    if (p.pixels_per_line != raster_.width || (p.lines != -1 && p.lines != firstFrameLines_))
      return oddFrame("colour frames of different sizes");
  } else {
    raster_ = SaneRaster{};
    raster_.width = p.pixels_per_line;
    raster_.channels = colourFrame ? 3 : channels;
    firstFrameLines_ = p.lines;
    uint64_t rowBytes = uint64_t(raster_.width) * raster_.channels;
    if (p.lines > 0) {
      if (rowBytes * uint64_t(p.lines) > kMaxSamples) return oddFrame("a page larger than 2 GiB");
      raster_.height = p.lines;
      raster_.samples.assign(rowBytes * p.lines, 0);
      bytesExpected_ = uint64_t(p.bytes_per_line) * p.lines * (colourFrame ? 3 : 1);
    } else {
      bytesExpected_ = 0;
    }
    bytesRead_ = 0;
  }
  frame_ = p;
  frameChannels_ = channels;
  channelOffset_ = colourFrame ? colourOf(format) : 0;
  if (colourFrame) colourFrames_ |= 1 << colourOf(format);
  single_ = !colourFrame;
  frameLines_ = 0;
  ended_ = false;
  partial_.clear();
  return DriverStatus{};
}

void SanePage::storeLine(const uint8_t* line) {
  // Only the first frame of a page of unknown height sets the height; it is known after.
  bool growing = firstFrameLines_ == -1;
  size_t rowBytes = static_cast<size_t>(raster_.width) * raster_.channels;
  if (growing) {
    if ((uint64_t(frameLines_) + 1) * rowBytes > kMaxSamples) {
      ++frameLines_;  // counted, so that the page fails at its end
      return;
    }
    raster_.samples.resize((static_cast<size_t>(frameLines_) + 1) * rowBytes);
    raster_.height = frameLines_ + 1;
  } else if (frameLines_ >= raster_.height) {
    return;  // beyond the lines announced (or the first frame's)
  }
  uint8_t* out = raster_.samples.data() + static_cast<size_t>(frameLines_) * rowBytes;
  ++frameLines_;
  const LONG width = raster_.width;
  const int stride = raster_.channels;
  const int samples = frameChannels_;
  if (frame_.depth == 8 && samples == stride) {
    std::memcpy(out, line, rowBytes);
    return;
  }
  uint8_t* target = out + channelOffset_;
  for (LONG x = 0; x < width; ++x) {
    for (int c = 0; c < samples; ++c) {
      size_t i = static_cast<size_t>(x) * samples + c;
      uint8_t value;
      if (frame_.depth == 8) {
        value = line[i];
      } else if (frame_.depth == 16) {
        uint16_t sample;
        std::memcpy(&sample, line + 2 * i, sizeof sample);
        value = static_cast<uint8_t>(sample >> 8);
      } else {
        bool set = (line[i >> 3] >> (7 - (i & 7))) & 1;
        value = (set != (frame_.format == SANE_FRAME_GRAY)) ? 255 : 0;
      }
      target[static_cast<size_t>(x) * stride + c] = value;
    }
  }
}

DriverStatus SanePage::add(const uint8_t* bytes, size_t length) {
  bytesRead_ += length;
  const size_t lineBytes = static_cast<size_t>(frame_.bytes_per_line);
  if (!partial_.empty()) {
    size_t taken = std::min(length, lineBytes - partial_.size());
    partial_.insert(partial_.end(), bytes, bytes + taken);
    bytes += taken;
    length -= taken;
    if (partial_.size() < lineBytes) return DriverStatus{};
    storeLine(partial_.data());
    partial_.clear();
  }
  for (; length >= lineBytes; bytes += lineBytes, length -= lineBytes) storeLine(bytes);
  partial_.assign(bytes, bytes + length);
  return DriverStatus{};
}

DriverStatus SanePage::endFrame() {
  if (frameLines_ == 0)
    return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE,
                         "the scanner ended a frame before its first whole line", "sane_read");
  if (uint64_t(frameLines_) * raster_.width * raster_.channels > kMaxSamples)
    return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE, "the scanner sent a page larger than 2 GiB",
                         "sane_read");
  if (frameLines_ < raster_.height) {
    raster_.height = frameLines_;
    raster_.samples.resize(static_cast<size_t>(frameLines_) * raster_.width * raster_.channels);
    raster_.shortened = true;
  }
  if (firstFrameLines_ == -1) firstFrameLines_ = raster_.height;
  partial_.clear();
  ended_ = true;
  return DriverStatus{};
}

bool SanePage::complete() const { return ended_ && (single_ || colourFrames_ == 7); }

SaneRaster SanePage::take() {
  SaneRaster page = std::move(raster_);
  *this = SanePage{};
  return page;
}

}  // namespace winsim::drivers
