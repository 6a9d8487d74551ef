// File transfers: the image of an item's current settings, written into a new file in the
// temporary directory (or the file the caller names) and handed back by name.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "Encode.h"
#include "Objects.h"

namespace winsim::wia {
namespace {

// Win32 errors for the file system failures a transfer can meet.
constexpr DWORD kErrorPathNotFound = 3;
constexpr DWORD kErrorWriteFault = 29;
constexpr DWORD kErrorDiskFull = 112;

HRESULT fromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return HRESULT_FROM_WIN32(kErrorPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
      return E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT:
      return HRESULT_FROM_WIN32(kErrorDiskFull);
    case ENOMEM:
      return E_OUTOFMEMORY;
    default:
      return HRESULT_FROM_WIN32(kErrorWriteFault);
  }
}

std::string temporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Creates a new file that no one else can have opened: exclusive creation, owner-only
// permissions, a name that is unlikely to be guessed and retried when it exists.
int createUniqueFile(const std::string& extension, std::string* path) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 random{std::random_device{}()};
  std::string dir = temporaryDirectory();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "/wia%x-%x-%08x%s", static_cast<unsigned>(getpid()),
                  counter.fetch_add(1), static_cast<unsigned>(random()), extension.c_str());
    std::string candidate = dir + name;
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      *path = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

PixelFormat pixelFormatOf(const ItemSettings& s, bool camera) {
  PixelFormat format;
  format.bitsPerPixel = camera                                ? 24
                        : s.dataType == WIA_DATA_THRESHOLD    ? 1
                        : s.dataType == WIA_DATA_GRAYSCALE    ? 8
                                                              : 24;
  format.threshold = s.threshold;
  format.xdpi = s.xres;
  format.ydpi = s.yres;
  return format;
}

// Tells the callback how far the transfer is; S_FALSE from it cancels.
HRESULT report(IWiaDataCallback* callback, LONG status, LONG percent) {
  if (!callback) return S_OK;
  return callback->BandedDataCallback(IT_MSG_STATUS, status, percent, 0, 0, 0, 0, nullptr);
}

}  // namespace

HRESULT transferToFile(const DeviceModel& model, ItemRef item, const ItemSettings& settings,
                       STGMEDIUM* medium, IWiaDataCallback* callback, std::string* path) {
  HRESULT progress = report(callback, IT_STATUS_TRANSFER_FROM_DEVICE, 0);
  if (progress != S_OK) return progress;

  bool jpeg = settings.format == WiaImgFmt_JPEG;
  bool ownName = medium->lpszFileName != nullptr;
  int fd = -1;
  if (ownName) {
    *path = toUtf8(medium->lpszFileName);
    fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  } else {
    fd = createUniqueFile(jpeg ? ".jpg" : ".bmp", path);
  }
  if (fd < 0) return fromErrno(errno);
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    int error = errno;
    ::close(fd);
    ::unlink(path->c_str());
    return fromErrno(error);
  }

  bool camera = item.kind == ItemKind::Picture;
  std::unique_ptr<Image> image =
      camera ? cameraImage(item.index, settings.xextent, settings.yextent)
             : scannerImage(model.deviceSpec(), settings);
  PixelFormat format = pixelFormatOf(settings, camera);
  errno = 0;
  int error = jpeg ? writeJpeg(file, *image, format) : writeBmp(file, *image, format);
  if (std::fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
  if (error == 0) {
    progress = report(callback, IT_STATUS_TRANSFER_TO_CLIENT, 100);
    if (FAILED(progress) || progress == S_FALSE) error = -1;
  }
  if (error != 0) {
    ::unlink(path->c_str());
    return error == -1 ? progress : fromErrno(error);
  }
  if (!ownName) {
    medium->lpszFileName = detail::taskMemString(toUtf16(*path));
    if (!medium->lpszFileName) {
      ::unlink(path->c_str());
      return E_OUTOFMEMORY;
    }
  }
  medium->pUnkForRelease = nullptr;
  return S_OK;
}

}  // namespace winsim::wia
