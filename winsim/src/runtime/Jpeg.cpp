// The virtual service's JPEG files on winsim's runtime: libjpeg-turbo.
#include <cerrno>
#include <csetjmp>
#include <vector>

#include "wia/Encode.h"  // before jpeglib.h, which needs <cstdio>

#include <jpeglib.h>

namespace winsim::wia {
namespace {

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void jpegFail(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

}  // namespace

int writeJpeg(std::FILE* file, const Image& image, const PixelFormat& format, RowProgress& progress) {
  // Everything the error path touches exists before setjmp, and no C++ object is created
  // between setjmp and the libjpeg calls that may jump back.
  const LONG width = image.width();
  const LONG height = image.height();
  const bool colour = jpegInColour(format);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  // Colour rows go to the encoder as the image renders them; the other forms are converted.
  std::vector<uint8_t> line(colour ? 0 : static_cast<size_t>(width));
  jpeg_compress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = jpegFail;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return errno ? errno : EIO;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = colour ? 3 : 1;
  info.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  info.density_unit = 1;  // dots per inch
  info.X_density = static_cast<UINT16>(format.xdpi);
  info.Y_density = static_cast<UINT16>(format.ydpi);
  jpeg_start_compress(&info, TRUE);
  for (LONG y = 0; y < height; ++y) {
    if (!progress.reached(y)) {
      jpeg_destroy_compress(&info);
      return kWritingStopped;
    }
    if (colour) {
      image.row(y, rgb.data());
    } else {
      jpegRow(image, y, format, rgb.data(), line.data());
    }
    JSAMPROW rows[] = {colour ? rgb.data() : line.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  if (!progress.reached(height)) {
    jpeg_destroy_compress(&info);
    return kWritingStopped;
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return 0;
}

}  // namespace winsim::wia
