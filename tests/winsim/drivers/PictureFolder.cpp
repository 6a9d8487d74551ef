#include "PictureFolder.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace drivertest {

namespace fs = std::filesystem;

void writeJpeg(const fs::path& path, int width, int height, int shade) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(file) << path;
  jpeg_compress_struct compressor{};
  jpeg_error_mgr errors{};
  compressor.err = jpeg_std_error(&errors);
  jpeg_create_compress(&compressor);
  jpeg_stdio_dest(&compressor, file);
  compressor.image_width = width;
  compressor.image_height = height;
  compressor.input_components = 3;
  compressor.in_color_space = JCS_RGB;
  jpeg_set_defaults(&compressor);
  jpeg_start_compress(&compressor, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
  while (compressor.next_scanline < compressor.image_height) {
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<JSAMPLE>(shade);
      row[3 * x + 1] = static_cast<JSAMPLE>(x * 255 / width);
      row[3 * x + 2] = static_cast<JSAMPLE>(compressor.next_scanline * 255 / height);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&compressor, rows, 1);
  }
  jpeg_finish_compress(&compressor);
  jpeg_destroy_compress(&compressor);
  std::fclose(file);
}

std::string contentsOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

PictureFolder::PictureFolder() {
  char name[] = "/tmp/vestaro-camera-XXXXXX";
  root = mkdtemp(name);
}

PictureFolder::~PictureFolder() {
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

fs::path PictureFolder::add(const std::string& relative, int width, int height, int shade) {
  fs::path path = root / relative;
  fs::create_directories(path.parent_path());
  writeJpeg(path, width, height, shade);
  return path;
}

}  // namespace drivertest
