#include "CameraFiles.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace winsim::wia {
namespace {

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct Named {
  const char* name;
  const GUID* format;
};
const Named kMimeTypes[] = {
    {"image/jpeg", &WiaImgFmt_JPEG}, {"image/jpg", &WiaImgFmt_JPEG},  {"image/pjpeg", &WiaImgFmt_JPEG},
    {"image/bmp", &WiaImgFmt_BMP},   {"image/x-ms-bmp", &WiaImgFmt_BMP}, {"image/x-bmp", &WiaImgFmt_BMP},
    {"image/png", &WiaImgFmt_PNG},   {"image/gif", &WiaImgFmt_GIF},   {"image/tiff", &WiaImgFmt_TIFF},
    {"image/x-tiff", &WiaImgFmt_TIFF}, {"image/x-exif", &WiaImgFmt_EXIF},
};
const Named kExtensions[] = {
    {"jpg", &WiaImgFmt_JPEG}, {"jpeg", &WiaImgFmt_JPEG}, {"jpe", &WiaImgFmt_JPEG}, {"bmp", &WiaImgFmt_BMP},
    {"dib", &WiaImgFmt_BMP},  {"png", &WiaImgFmt_PNG},   {"gif", &WiaImgFmt_GIF},  {"tif", &WiaImgFmt_TIFF},
    {"tiff", &WiaImgFmt_TIFF},
};

const GUID* formatNamed(const std::string& name, const Named* table, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (name == table[i].name) return table[i].format;
  }
  return nullptr;
}

}  // namespace

std::string CameraFile::name() const {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CameraFile::transferName() const {
  constexpr size_t kLongestName = 255;
  std::string file = name();
  if (file.empty() || file == "." || file == "..") return "picture";
  if (file.size() <= kLongestName) return file;
  const size_t dot = file.rfind('.');
  const std::string ending = dot != std::string::npos && file.size() - dot <= 16 ? file.substr(dot) : "";
  size_t cut = kLongestName - ending.size();
  while (cut > 0 && (static_cast<unsigned char>(file[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
  return file.substr(0, cut) + ending;
}

std::string CameraFile::itemPath() const {
  size_t start = 0;
  while (start < path.size() && path[start] == '/') ++start;
  return path.substr(start);
}

std::string CameraFile::extension() const {
  const std::string file = name();
  const size_t dot = file.rfind('.');
  if (dot != std::string::npos && dot > 0 && dot + 1 < file.size()) return file.substr(dot + 1);
  if (format == WiaImgFmt_JPEG) return "JPG";
  if (format == WiaImgFmt_BMP) return "BMP";
  if (format == WiaImgFmt_PNG) return "PNG";
  if (format == WiaImgFmt_GIF) return "GIF";
  if (format == WiaImgFmt_TIFF) return "TIF";
  return "";
}

GUID formatOfFile(const std::string& mimeType, const std::string& name) {
  const std::string type = lowerCase(mimeType.substr(0, mimeType.find(';')));
  if (const GUID* format = formatNamed(type, kMimeTypes, std::size(kMimeTypes))) return *format;
  // Types that say no more than "some bytes" leave it to the name.
  if (!type.empty() && type != "application/octet-stream" && type != "application/x-unknown") {
    return WiaImgFmt_UNDEFINED;
  }
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return WiaImgFmt_UNDEFINED;
  const GUID* format = formatNamed(lowerCase(name.substr(dot + 1)), kExtensions, std::size(kExtensions));
  return format ? *format : WiaImgFmt_UNDEFINED;
}

void CameraFiles::list(const std::vector<CameraFile>& files) {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<unsigned> listing;
  listing.reserve(files.size());
  for (const CameraFile& file : files) {
    auto [found, added] = byPath_.emplace(file.itemPath(), static_cast<unsigned>(files_.size()));
    if (added) {
      files_.push_back(file);
    } else {
      files_[found->second] = file;
    }
    listing.push_back(found->second);
  }
  current_ = std::move(listing);
}

std::vector<unsigned> CameraFiles::current() const {
  std::lock_guard<std::mutex> guard(lock_);
  return current_;
}

size_t CameraFiles::currentCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return current_.size();
}

unsigned CameraFiles::currentAt(size_t position) const {
  std::lock_guard<std::mutex> guard(lock_);
  return position < current_.size() ? current_[position] : 0;
}

CameraFile CameraFiles::at(unsigned index) const {
  std::lock_guard<std::mutex> guard(lock_);
  return index < files_.size() ? files_[index] : CameraFile{};
}

bool CameraFiles::find(const std::string& itemPath, unsigned* index) const {
  std::lock_guard<std::mutex> guard(lock_);
  auto found = byPath_.find(itemPath);
  if (found == byPath_.end()) return false;
  if (std::find(current_.begin(), current_.end(), found->second) == current_.end()) return false;
  *index = found->second;
  return true;
}

}  // namespace winsim::wia
