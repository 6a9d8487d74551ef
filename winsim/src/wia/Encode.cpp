// BMP encoding and the rows of a JPEG, one row at a time so that large scans need little memory.
#include "Encode.h"

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

}  // namespace

int writeBmp(std::FILE* file, const Image& image, const PixelFormat& format, RowProgress& progress) {
  const LONG width = image.width();
  const LONG height = image.height();
  const LONG bits = format.bitsPerPixel;
  const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  const uint32_t paletteEntries = bits <= 8 ? (1u << bits) : 0;
  const uint32_t offset = 14 + 40 + 4 * paletteEntries;
  const uint64_t imageBytes = stride * static_cast<uint64_t>(height);
  if (offset + imageBytes > 0xFFFFFFFFull) return EFBIG;

  std::vector<uint8_t> header;
  header.reserve(offset);
  header.push_back('B');
  header.push_back('M');
  put32(header, static_cast<uint32_t>(offset + imageBytes));
  put32(header, 0);  // reserved
  put32(header, offset);
  put32(header, 40);  // BITMAPINFOHEADER
  put32(header, static_cast<uint32_t>(width));
  put32(header, static_cast<uint32_t>(height));  // positive: bottom-up rows
  put16(header, 1);                               // planes
  put16(header, static_cast<uint32_t>(bits));
  put32(header, 0);  // BI_RGB
  put32(header, static_cast<uint32_t>(imageBytes));
  put32(header, static_cast<uint32_t>(pixelsPerMeter(format.xdpi)));
  put32(header, static_cast<uint32_t>(pixelsPerMeter(format.ydpi)));
  put32(header, paletteEntries);
  put32(header, 0);
  for (uint32_t i = 0; i < paletteEntries; ++i) {
    auto level = static_cast<uint8_t>(bits == 1 ? i * 255 : i);  // 1 bit: 0 black, 1 white
    header.insert(header.end(), {level, level, level, 0});
  }
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

bool jpegInColour(const PixelFormat& format) { return format.bitsPerPixel == 24; }

void jpegRow(const Image& image, LONG y, const PixelFormat& format, uint8_t* rgb, uint8_t* out) {
  const LONG width = image.width();
  image.row(y, rgb);
  if (format.bitsPerPixel == 1) {
    // Black and white as a greyscale JPEG of pure black and white.
    for (LONG x = 0; x < width; ++x) out[x] = grey(&rgb[3 * x]) >= format.threshold ? 255 : 0;
    return;
  }
  convertRow(rgb, width, format, false, out);
}

}  // namespace winsim::wia
