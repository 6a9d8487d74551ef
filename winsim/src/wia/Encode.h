// Image files as the virtual devices write them: BMP written here, JPEG through the
// encoder of the platform the service runs on (writeJpeg in Platform.h), fed the rows made
// here.
#pragma once

#include <cstdio>
#include <memory>

#include "Render.h"

namespace winsim::wia {

struct PixelFormat {
  LONG bitsPerPixel = 24;  // 1 (black and white), 8 (greyscale) or 24 (colour)
  LONG threshold = 128;    // 1 bit: pixels at least this bright are white
  LONG xdpi = 72;
  LONG ydpi = 72;
  int jpegQuality = 90;  // libjpeg-turbo's scale, 1 to 100 (winsim's runtime)
};

// Told how far a writer is, so that a transfer can report its progress, pace itself and
// stop: reached(n) comes before the writer makes row n (n rows are done) and once with
// n = height when every row is; false stops the writing before it makes another row.
class RowProgress {
 public:
  virtual bool reached(LONG rowsDone) = 0;

 protected:
  ~RowProgress() = default;
};

// What a writer returns when its progress stopped it (errno values are positive).
constexpr int kWritingStopped = -1;

// Each returns 0, kWritingStopped or the errno of the failure; the file's content is then
// undefined.
int writeBmp(std::FILE* file, const Image& image, const PixelFormat& format, RowProgress& progress);

// The JPEG's samples: RGB when jpegInColour, else one grey byte a pixel (black and white
// as pure black and white). jpegRow fills `out` with row `y`; `rgb` is scratch space of
// width() * 3 bytes.
bool jpegInColour(const PixelFormat& format);
void jpegRow(const Image& image, LONG y, const PixelFormat& format, uint8_t* rgb, uint8_t* out);
// The same for a row of `channels` samples a pixel (1 grey, 3 RGB): `samples` itself when
// they are the JPEG's already, else `out` (width * 3 bytes) filled with them.
const uint8_t* jpegSamples(const uint8_t* samples, int channels, LONG width, const PixelFormat& format,
                           uint8_t* out);

// A file written a row at a time, top row first, as a driver hands them on: each row
// `channels` samples a pixel (1 grey, 3 RGB), 8 bits each. Each call returns 0 or the errno
// of a failure, after which the file's content is undefined.
class RowWriter {
 public:
  virtual ~RowWriter() = default;
  // The image's size, before its first row.
  virtual int begin(LONG width, LONG height, int channels) = 0;
  virtual int row(const uint8_t* samples) = 0;
  // After the last row; rows short of the height are written white.
  virtual int end() = 0;
};
std::unique_ptr<RowWriter> bmpRowWriter(std::FILE* file, const PixelFormat& format);

}  // namespace winsim::wia
