// Folders of real JPEG pictures that the camera tests write and own, each picture of its own
// size and colour.
#pragma once

#include <filesystem>
#include <string>

namespace drivertest {

// A JPEG file of `width` x `height` pixels, shaded by `shade` (0 to 255).
void writeJpeg(const std::filesystem::path& path, int width, int height, int shade);
// A file's bytes.
std::string contentsOf(const std::filesystem::path& path);

// A new folder below /tmp, removed with everything in it at the end.
struct PictureFolder {
  std::filesystem::path root;
  PictureFolder();
  ~PictureFolder();
  PictureFolder(const PictureFolder&) = delete;
  PictureFolder& operator=(const PictureFolder&) = delete;
  // A picture at `relative` (folders made as needed); its path.
  std::filesystem::path add(const std::string& relative, int width, int height, int shade);
};

}  // namespace drivertest
