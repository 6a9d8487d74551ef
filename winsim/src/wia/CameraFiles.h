// The pictures of a camera that a driver serves: the files its listings found. Each file
// keeps the index it was first given for as long as the session lives, so that an item
// made from one listing still names its file after the next one, and a listing that no
// longer has it leaves the item with a file that is gone (its transfer says so).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "winsim/winsim.h"

namespace winsim::wia {

// One file on a camera.
struct CameraFile {
  std::string path;  // where the camera keeps it, its identity: "/DCIM/100CANON/IMG_0001.JPG"
  GUID format{};     // of its type: WiaImgFmt_JPEG, _BMP, ..., WiaImgFmt_UNDEFINED when unknown
  bool hasSize = false;
  uint64_t size = 0;
  bool hasTime = false;
  int64_t modified = 0;  // seconds since 1970, UTC

  // "IMG_0001.JPG": the item's WIA_IPA_ITEM_NAME, and the name its transfer's file keeps.
  std::string name() const;
  // The name of its transfer's file: name(), unless no file system takes that (empty, "."
  // or "..", longer than 255 bytes: cut, keeping the extension).
  std::string transferName() const;
  // "DCIM/100CANON/IMG_0001.JPG": the item's name in its full name, unique on the camera.
  std::string itemPath() const;
  // "JPG": WIA_IPA_FILENAME_EXTENSION, from the name, else from the format.
  std::string extension() const;
};

// The format of a MIME type ("image/jpeg"), or of the name's extension when the type says
// nothing more: WiaImgFmt_UNDEFINED for what is not an image format of WIA's.
GUID formatOfFile(const std::string& mimeType, const std::string& name);

class CameraFiles {
 public:
  // A new listing: files already known keep their index (and take the new information),
  // new ones get the next. It becomes the current listing.
  void list(const std::vector<CameraFile>& files);
  // The current listing, as indexes, in its order.
  std::vector<unsigned> current() const;
  size_t currentCount() const;
  unsigned currentAt(size_t position) const;  // position < currentCount()
  CameraFile at(unsigned index) const;
  // The file of the current listing whose itemPath() is `itemPath`.
  bool find(const std::string& itemPath, unsigned* index) const;

 private:
  mutable std::mutex lock_;
  std::vector<CameraFile> files_;
  std::unordered_map<std::string, unsigned> byPath_;
  std::vector<unsigned> current_;
};

}  // namespace winsim::wia
