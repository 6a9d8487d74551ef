// The virtual service's JPEG files on winsim's own platform: libjpeg-turbo, fed a row at a time.
#include <cerrno>
#include <csetjmp>
#include <vector>

#include "wia/Platform.h"  // winsim's definitions first: libjpeg's headers define some again

#include "JpegErrorJump.h"

namespace winsim::wia {
namespace {

// Every call that may end in libjpeg's error exit sets its own jump point first; no C++
// object is created between it and the libjpeg calls that may jump back. After a failure
// the encoder is gone and every later call fails.
class JpegRowWriter final : public RowWriter {
 public:
  JpegRowWriter(std::FILE* file, const PixelFormat& format) : file_(file), format_(format) {
    info_.err = jumpingErrors(&error_);
  }
  ~JpegRowWriter() override {
    if (created_) jpeg_destroy_compress(&info_);
  }

  int begin(LONG width, LONG height, int channels) override {
    if (width < 1 || height < 1 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) return EINVAL;
    width_ = width;
    height_ = height;
    channels_ = channels;
    const bool colour = jpegInColour(format_);
    converted_.assign(static_cast<size_t>(width) * 3, 0);
    if (setjmp(error_.jump)) return failed();
    jpeg_create_compress(&info_);
    created_ = true;
    jpeg_stdio_dest(&info_, file_);
    info_.image_width = static_cast<JDIMENSION>(width);
    info_.image_height = static_cast<JDIMENSION>(height);
    info_.input_components = colour ? 3 : 1;
    info_.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info_);
    jpeg_set_quality(&info_, format_.jpegQuality, TRUE);
    info_.density_unit = 1;  // dots per inch
    info_.X_density = static_cast<UINT16>(format_.xdpi);
    info_.Y_density = static_cast<UINT16>(format_.ydpi);
    jpeg_start_compress(&info_, TRUE);
    return 0;
  }

  int row(const uint8_t* samples) override {
    if (!created_) return EIO;
    if (rows_ >= height_) return 0;  // beyond the announced height: not kept
    // Rows in the JPEG's own form go to the encoder as they are; the others are converted.
    JSAMPROW rows[] = {const_cast<JSAMPROW>(jpegSamples(samples, channels_, width_, format_, converted_.data()))};
    if (setjmp(error_.jump)) return failed();
    jpeg_write_scanlines(&info_, rows, 1);
    ++rows_;
    return 0;
  }

  int end() override {
    if (!created_) return EIO;
    if (rows_ < height_) {
      std::vector<uint8_t> white(static_cast<size_t>(width_) * 3, 0xFF);
      while (rows_ < height_) {
        if (int error = row(white.data())) return error;
      }
    }
    if (setjmp(error_.jump)) return failed();
    jpeg_finish_compress(&info_);
    return 0;
  }

 private:
  int failed() {
    jpeg_destroy_compress(&info_);
    created_ = false;
    return errno ? errno : EIO;
  }

  std::FILE* file_;
  PixelFormat format_;
  jpeg_compress_struct info_{};
  JpegErrorJump error_{};
  bool created_ = false;
  LONG width_ = 0, height_ = 0, rows_ = 0;
  int channels_ = 3;
  std::vector<uint8_t> converted_;
};

}  // namespace

std::unique_ptr<RowWriter> jpegRowWriter(std::FILE* file, const PixelFormat& format) {
  return std::make_unique<JpegRowWriter>(file, format);
}

int writeJpeg(std::FILE* file, const Image& image, const PixelFormat& format, RowProgress& progress) {
  const LONG width = image.width();
  const LONG height = image.height();
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  JpegRowWriter writer(file, format);
  if (int error = writer.begin(width, height, 3)) return error;
  for (LONG y = 0; y < height; ++y) {
    if (!progress.reached(y)) return kWritingStopped;
    image.row(y, rgb.data());
    if (int error = writer.row(rgb.data())) return error;
  }
  if (!progress.reached(height)) return kWritingStopped;
  return writer.end();
}

}  // namespace winsim::wia
