#include "SanePage.h"

#include <algorithm>
#include <cstring>

namespace winsim::drivers {
namespace {

constexpr SANE_Int kMaxPixelsPerLine = 1 << 20;
constexpr SANE_Int kMaxBytesPerLine = 1 << 26;

DriverStatus oddFrame(const std::string& what) {
  return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE, "the scanner sent " + what, "sane_get_parameters");
}

DriverStatus oddData(const std::string& what) {
  return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE, "the scanner " + what, "sane_read");
}

int colourOf(int format) { return format == SANE_FRAME_RED ? 0 : format == SANE_FRAME_GREEN ? 1 : 2; }

}  // namespace

DriverStatus SanePage::beginFrame(const SANE_Parameters& p) {
  int format = valueOf(p.format);
  bool colourFrame = format == SANE_FRAME_RED || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
  if (!colourFrame && format != SANE_FRAME_GRAY && format != SANE_FRAME_RGB)
    return oddFrame("a frame of unknown format " + std::to_string(format));
  if (p.depth != 1 && p.depth != 8 && p.depth != 16) return oddFrame("samples of " + std::to_string(p.depth) + " bits");
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
    if (p.pixels_per_line != width_ || (p.lines != -1 && p.lines != firstFrameLines_))
      return oddFrame("colour frames of different sizes");
  } else {
    width_ = p.pixels_per_line;
    channels_ = colourFrame ? 3 : channels;
    firstFrameLines_ = p.lines;
    if (p.lines > 0 && rowBytes() * uint64_t(p.lines) > kMaxSamples) return oddFrame("a page larger than 2 GiB");
    bytesExpected_ = p.lines > 0 ? uint64_t(p.bytes_per_line) * p.lines * (colourFrame ? 3 : 1) : 0;
    DriverStatus begun = sink_.begin(width_, p.lines, channels_);
    if (!begun.ok()) return begun;
    row_.resize(rowBytes());
    if (colourFrame && p.lines > 0) colours_.reserve(rowBytes() * p.lines);
  }
  format_ = format;
  depth_ = p.depth;
  lineBytes_ = static_cast<size_t>(p.bytes_per_line);
  frameChannels_ = channels;
  channelOffset_ = colourFrame ? colourOf(format) : 0;
  if (colourFrame) colourFrames_ |= 1 << colourOf(format);
  single_ = !colourFrame;
  firstFrame_ = first;
  announcedLines_ = p.lines;
  frameLines_ = 0;
  ended_ = false;
  partial_.clear();
  return DriverStatus{};
}

// Samples of one line into a row of the page, at the frame's channel.
void SanePage::convert(const uint8_t* line, uint8_t* row) const {
  const int samples = frameChannels_;
  const int stride = channels_;
  const bool grey = format_ == SANE_FRAME_GRAY;
  uint8_t* target = row + channelOffset_;
  for (LONG x = 0; x < width_; ++x) {
    for (int c = 0; c < samples; ++c) {
      size_t i = static_cast<size_t>(x) * samples + c;
      uint8_t value;
      if (depth_ == 8) {
        value = line[i];
      } else if (depth_ == 16) {
        uint16_t sample;
        std::memcpy(&sample, line + 2 * i, sizeof sample);
        value = static_cast<uint8_t>(sample >> 8);
      } else {
        bool set = (line[i >> 3] >> (7 - (i & 7))) & 1;
        value = set != grey ? 255 : 0;
      }
      target[static_cast<size_t>(x) * stride + c] = value;
    }
  }
}

DriverStatus SanePage::storeLine(const uint8_t* line) {
  if (announcedLines_ > 0 && frameLines_ >= announcedLines_) return DriverStatus{};  // beyond them
  if (single_ || firstFrame_) {
    // Counted past the largest page without being kept, so that the frame's end fails.
    if ((uint64_t(frameLines_) + 1) * rowBytes() > kMaxSamples) {
      ++frameLines_;
      return DriverStatus{};
    }
  } else if (frameLines_ >= colourRows_) {
    return DriverStatus{};  // beyond the first colour frame's lines
  }
  LONG y = frameLines_++;
  if (single_) {
    if (depth_ == 8 && frameChannels_ == channels_) return sink_.row(line);  // already the row
    convert(line, row_.data());
    return sink_.row(row_.data());
  }
  if (firstFrame_) {
    colours_.resize(colours_.size() + rowBytes());
    ++colourRows_;
  }
  convert(line, colours_.data() + static_cast<size_t>(y) * rowBytes());
  return DriverStatus{};
}

DriverStatus SanePage::add(const uint8_t* bytes, size_t length) {
  bytesRead_ += length;
  if (!partial_.empty()) {
    size_t taken = std::min(length, lineBytes_ - partial_.size());
    partial_.insert(partial_.end(), bytes, bytes + taken);
    bytes += taken;
    length -= taken;
    if (partial_.size() < lineBytes_) return DriverStatus{};
    DriverStatus stored = storeLine(partial_.data());
    partial_.clear();
    if (!stored.ok()) return stored;
  }
  for (; length >= lineBytes_; bytes += lineBytes_, length -= lineBytes_) {
    DriverStatus stored = storeLine(bytes);
    if (!stored.ok()) return stored;
  }
  partial_.assign(bytes, bytes + length);
  return DriverStatus{};
}

DriverStatus SanePage::endFrame() {
  if (frameLines_ == 0) return oddData("ended a frame before its first whole line");
  if (uint64_t(frameLines_) * rowBytes() > kMaxSamples) return oddData("sent a page larger than 2 GiB");
  partial_.clear();
  ended_ = true;
  bool early = announcedLines_ > 0 && frameLines_ < announcedLines_;
  if (single_) return sink_.end(frameLines_, early);
  if (firstFrame_) {
    if (firstFrameLines_ == -1) firstFrameLines_ = frameLines_;
    shortened_ = early;
  } else if (frameLines_ < colourRows_) {
    colourRows_ = frameLines_;
    colours_.resize(static_cast<size_t>(colourRows_) * rowBytes());
    shortened_ = true;
  }
  if (colourFrames_ != 7) return DriverStatus{};
  for (LONG y = 0; y < colourRows_; ++y) {
    DriverStatus stored = sink_.row(colours_.data() + static_cast<size_t>(y) * rowBytes());
    if (!stored.ok()) return stored;
  }
  std::vector<uint8_t>().swap(colours_);
  return sink_.end(colourRows_, shortened_);
}

}  // namespace winsim::drivers
