// BMP encoding and the rows of a JPEG, one row at a time so that large scans need little memory.
#include "Encode.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace winsim::wia {
namespace {

uint8_t grey(const uint8_t* rgb) {
  return static_cast<uint8_t>((rgb[0] * 299 + rgb[1] * 587 + rgb[2] * 114 + 500) / 1000);
}

// Converts one row of RGB pixels to the output's pixel layout.
void convertRow(const uint8_t* rgb, LONG width, const PixelFormat& format, bool bgr,
                uint8_t* out) {
  switch (format.bitsPerPixel) {
    case 1:
      std::memset(out, 0, static_cast<size_t>(width + 7) / 8);
      for (LONG x = 0; x < width; ++x) {
        if (grey(rgb + 3 * x) >= format.threshold) out[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
      break;
    case 8:
      for (LONG x = 0; x < width; ++x) out[x] = grey(rgb + 3 * x);
      break;
    default:
      for (LONG x = 0; x < width; ++x) {
        out[3 * x] = rgb[3 * x + (bgr ? 2 : 0)];
        out[3 * x + 1] = rgb[3 * x + 1];
        out[3 * x + 2] = rgb[3 * x + (bgr ? 0 : 2)];
      }
      break;
  }
}

void put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

LONG pixelsPerMeter(LONG dpi) { return static_cast<LONG>((dpi * 10000LL + 127) / 254); }


// The file and bitmap headers and the colour table of a bottom-up BMP; false when the
// image does not fit the format's 32-bit sizes.
bool bmpHeader(LONG width, LONG height, const PixelFormat& format, std::vector<uint8_t>* header, uint64_t* stride) {
  const LONG bits = format.bitsPerPixel;
  *stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  const uint32_t paletteEntries = bits <= 8 ? (1u << bits) : 0;
  const uint32_t offset = 14 + 40 + 4 * paletteEntries;
  const uint64_t imageBytes = *stride * static_cast<uint64_t>(height);
  if (offset + imageBytes > 0xFFFFFFFFull) return false;
  header->clear();
  header->reserve(offset);
  header->push_back('B');
  header->push_back('M');
  put32(*header, static_cast<uint32_t>(offset + imageBytes));
  put32(*header, 0);  // reserved
  put32(*header, offset);
  put32(*header, 40);  // BITMAPINFOHEADER
  put32(*header, static_cast<uint32_t>(width));
  put32(*header, static_cast<uint32_t>(height));  // positive: bottom-up rows
  put16(*header, 1);                               // planes
  put16(*header, static_cast<uint32_t>(bits));
  put32(*header, 0);  // BI_RGB
  put32(*header, static_cast<uint32_t>(imageBytes));
  put32(*header, static_cast<uint32_t>(pixelsPerMeter(format.xdpi)));
  put32(*header, static_cast<uint32_t>(pixelsPerMeter(format.ydpi)));
  put32(*header, paletteEntries);
  put32(*header, 0);
  for (uint32_t i = 0; i < paletteEntries; ++i) {
    auto level = static_cast<uint8_t>(bits == 1 ? i * 255 : i);  // 1 bit: 0 black, 1 white
    header->insert(header->end(), {level, level, level, 0});
  }
  return true;
}

void expandGrey(const uint8_t* grey, LONG width, uint8_t* rgb) {
  for (LONG x = 0; x < width; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = grey[x];
}

// Rows that come top first, each put in its place in the bottom-up file; rows the page
// never brought are white (all bits set, whatever the depth and its colour table).
class BmpRowWriter final : public RowWriter {
 public:
  BmpRowWriter(std::FILE* file, const PixelFormat& format) : file_(file), format_(format) {}

  int begin(LONG width, LONG height, int channels) override {
    if (width < 1 || height < 1) return EINVAL;
    std::vector<uint8_t> header;
    if (!bmpHeader(width, height, format_, &header, &stride_)) return EFBIG;
    width_ = width;
    height_ = height;
    channels_ = channels;
    offset_ = header.size();
    rgb_.assign(static_cast<size_t>(width) * 3, 0);
    line_.assign(stride_, 0);
    return std::fwrite(header.data(), 1, header.size(), file_) == header.size() ? 0 : errno ? errno : EIO;
  }

  int row(const uint8_t* samples) override {
    if (rows_ >= height_) return 0;  // beyond the announced height: not kept
    const uint8_t* rgb = samples;
    if (channels_ == 1) {
      expandGrey(samples, width_, rgb_.data());
      rgb = rgb_.data();
    }
    convertRow(rgb, width_, format_, true, line_.data());
    return put(rows_++, line_.data());
  }

  int end() override {
    std::fill(line_.begin(), line_.end(), 0xFF);
    while (rows_ < height_) {
      if (int error = put(rows_++, line_.data())) return error;
    }
    return 0;
  }

 private:
  int put(LONG row, const uint8_t* line) {
    const uint64_t at = offset_ + static_cast<uint64_t>(height_ - 1 - row) * stride_;
    if (std::fseek(file_, static_cast<long>(at), SEEK_SET) != 0) return errno ? errno : EIO;
    return std::fwrite(line, 1, stride_, file_) == stride_ ? 0 : errno ? errno : EIO;
  }

  std::FILE* file_;
  PixelFormat format_;
  LONG width_ = 0, height_ = 0, rows_ = 0;
  int channels_ = 3;
  uint64_t stride_ = 0;
  size_t offset_ = 0;
  std::vector<uint8_t> rgb_, line_;
};

}  // namespace

int writeBmp(std::FILE* file, const Image& image, const PixelFormat& format, RowProgress& progress) {
  const LONG width = image.width();
  const LONG height = image.height();
  std::vector<uint8_t> header;
  uint64_t stride = 0;
  if (!bmpHeader(width, height, format, &header, &stride)) return EFBIG;
  if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) return errno ? errno : EIO;

  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  std::vector<uint8_t> line(stride, 0);
  for (LONG y = height - 1; y >= 0; --y) {
    if (!progress.reached(height - 1 - y)) return kWritingStopped;
    image.row(y, rgb.data());
    convertRow(rgb.data(), width, format, true, line.data());
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) return errno ? errno : EIO;
  }
  return progress.reached(height) ? 0 : kWritingStopped;
}

std::unique_ptr<RowWriter> bmpRowWriter(std::FILE* file, const PixelFormat& format) {
  return std::make_unique<BmpRowWriter>(file, format);
}

bool jpegInColour(const PixelFormat& format) { return format.bitsPerPixel == 24; }

const uint8_t* jpegSamples(const uint8_t* samples, int channels, LONG width, const PixelFormat& format,
                           uint8_t* out) {
  const int bits = format.bitsPerPixel;
  if (channels == 3) {
    if (bits == 24) return samples;
    if (bits == 1) {
      // Black and white as a greyscale JPEG of pure black and white.
      for (LONG x = 0; x < width; ++x) out[x] = grey(&samples[3 * x]) >= format.threshold ? 255 : 0;
      return out;
    }
    convertRow(samples, width, format, false, out);
    return out;
  }
  if (bits == 24) {
    expandGrey(samples, width, out);
    return out;
  }
  if (bits == 1) {
    for (LONG x = 0; x < width; ++x) out[x] = samples[x] >= format.threshold ? 255 : 0;
    return out;
  }
  return samples;
}

void jpegRow(const Image& image, LONG y, const PixelFormat& format, uint8_t* rgb, uint8_t* out) {
  image.row(y, rgb);
  const uint8_t* samples = jpegSamples(rgb, 3, image.width(), format, out);
  if (samples != out) std::memcpy(out, samples, static_cast<size_t>(image.width()) * 3);
}

}  // namespace winsim::wia
