// File transfers: the image of an item's current settings, written into a new file in the
// temporary directory (or the file the caller names) and handed back by name, with the
// progress messages, pace and cancellation of TransferProgress.
#include <cerrno>
#include <cstdio>

#include "Encode.h"
#include "Objects.h"
#include "Platform.h"
#include "Progress.h"

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

// What a page from the feeder shows at its top: "SHEET 12 FRONT".
std::string labelOf(const FedPage& page) {
  if (page.sheet == 0) return {};
  return "SHEET " + std::to_string(page.sheet) + (page.back ? " BACK" : " FRONT");
}

}  // namespace

HRESULT transferToFile(const PageRequest& request, STGMEDIUM* medium, std::string* path) {
  const ItemSettings& settings = request.settings;
  const bool camera = request.item.kind == ItemKind::Picture;
  const PixelFormat format = pixelFormatOf(settings, camera);
  TransferProgress progress(request.callback, request.target, settings.yextent,
                            bandRowsOf(settings.xextent, format.bitsPerPixel),
                            request.model.deviceSpec().transferMillis);
  if (!progress.start()) return progress.stopReason();

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

  errno = 0;
  int error = 0;
  HRESULT scanned = S_OK;
  if (request.driver) {
    // A real scanner's page, as its driver reads it, with the driver's progress.
    scanned = request.driver->scanPage({settings, request.page.sheet != 0, file, jpeg, progress});
  } else {
    std::unique_ptr<Image> image =
        camera ? cameraImage(request.item.index, settings.xextent, settings.yextent)
               : scannerImage(request.model.glass(settings), settings, labelOf(request.page));
    error = jpeg ? writeJpeg(file, *image, format, progress) : writeBmp(file, *image, format, progress);
  }
  if (std::fclose(file) != 0 && error == 0 && scanned == S_OK) error = errno ? errno : EIO;
  if (error == 0 && scanned == S_OK && !progress.finish()) error = kWritingStopped;
  if (error != 0 || scanned != S_OK) {
    removeFile(*path);
    if (scanned != S_OK) return scanned;
    return error == kWritingStopped ? progress.stopReason() : writeFailure(error);
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

HRESULT transferCameraFile(const PageRequest& request, STGMEDIUM* medium, std::string* path) {
  // A file has no rows to count: its transfer reports its start and its end.
  TransferProgress progress(request.callback, request.target, 1, 1, 0);
  if (!progress.start()) return progress.stopReason();
  const CameraFile file = request.model.files()->at(request.item.index);
  const bool ownName = medium->lpszFileName != nullptr;
  std::string folder;
  if (ownName) {
    *path = toUtf8(detail::utf16Of(medium->lpszFileName));
  } else {
    const HRESULT made = createTransferFolder(&folder);
    if (FAILED(made)) return made;
    *path = folder + "/" + file.transferName();
  }
  auto discard = [&] {
    removeFile(*path);
    if (!ownName) removeTransferFolder(folder);
  };
  HRESULT hr = request.driver->fetch(file, *path);
  if (hr == S_OK && !progress.finish()) hr = progress.stopReason();
  if (hr != S_OK) {
    discard();
    return hr;
  }
  if (!ownName) {
    medium->lpszFileName = detail::taskMemString(toUtf16(*path));
    if (!medium->lpszFileName) {
      discard();
      return E_OUTOFMEMORY;
    }
  }
  medium->pUnkForRelease = nullptr;
  return S_OK;
}

}  // namespace winsim::wia
