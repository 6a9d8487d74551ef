// File transfers: the image of an item's current settings, written into a new file in the
// temporary directory (or the file the caller names) and handed back by name.
#include <cerrno>
#include <cstdio>

#include "Encode.h"
#include "Objects.h"
#include "Runtime.h"

namespace winsim::wia {
namespace {

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
  std::FILE* file = nullptr;
  HRESULT opened = E_FAIL;
  if (ownName) {
    *path = toUtf8(detail::utf16Of(medium->lpszFileName));
    opened = openNamedFile(*path, &file);
  } else {
    opened = createTemporaryFile(jpeg ? ".jpg" : ".bmp", &file, path);
  }
  if (FAILED(opened)) return opened;

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
    removeFile(*path);
    return error == -1 ? progress : writeFailure(error);
  }
  if (!ownName) {
    medium->lpszFileName = detail::taskMemString(toUtf16(*path));
    if (!medium->lpszFileName) {
      removeFile(*path);
      return E_OUTOFMEMORY;
    }
  }
  medium->pUnkForRelease = nullptr;
  return S_OK;
}

}  // namespace winsim::wia
