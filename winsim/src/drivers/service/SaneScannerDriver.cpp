#include "SaneScannerDriver.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "wia/Encode.h"
#include "wia/Platform.h"
#include "wia/Progress.h"
#include "wia/Render.h"

namespace winsim::drivers {
namespace {

// libjpeg's own default quality, the one SANE's scanimage writes its pages with: a scanned
// page's JPEG is the size a SANE user knows (the virtual devices' pictures keep 90).
constexpr int kPageQuality = 75;

DriverStatus writeFailed(int error) {
  return driverFailure(wia::writeFailure(error), std::string("the image file: ") + std::strerror(error), "write");
}

// The page's rows into the item's file, as they come: 1-bit, grey or colour as the rows and
// the data type make it, brightness and contrast applied. A page whose height the device
// does not know (a hand scanner) is kept until its end, since the file's header needs it.
class PageFile final : public SaneRowSink {
 public:
  // `dpi`: the resolution the device took, which the file records.
  PageFile(const wia::ScanJob& job, LONG dpi) : job_(job), dpi_(dpi) {
    const wia::ItemSettings& s = job.settings;
    adjusted_ = s.brightness != 0 || s.contrast != 0;
    for (int level = 0; level < 256; ++level) {
      levels_[level] = wia::adjustedChannel(static_cast<uint8_t>(level), s.brightness, s.contrast);
    }
  }

  DriverStatus begin(LONG width, LONG height, int channels) override {
    width_ = width;
    channels_ = channels;
    rowBytes_ = static_cast<size_t>(width) * channels;
    adjustedRow_.resize(adjusted_ ? rowBytes_ : 0);
    if (height < 0) return DriverStatus{};  // kept until the end
    return started(height);
  }

  DriverStatus row(const uint8_t* samples) override {
    if (adjusted_) {
      for (size_t i = 0; i < rowBytes_; ++i) adjustedRow_[i] = levels_[samples[i]];
      samples = adjustedRow_.data();
    }
    if (!writer_) {
      kept_.insert(kept_.end(), samples, samples + rowBytes_);
      return DriverStatus{};
    }
    const int error = writer_->row(samples);
    return error ? writeFailed(error) : DriverStatus{};
  }

  DriverStatus end(LONG height, bool) override {
    if (!writer_) {
      DriverStatus begun = started(height);
      if (!begun.ok()) return begun;
      for (LONG y = 0; y < height; ++y) {
        if (int error = writer_->row(kept_.data() + static_cast<size_t>(y) * rowBytes_)) return writeFailed(error);
      }
      kept_.clear();
    }
    // A page the device ended early is padded to its announced height.
    const int error = writer_->end();
    return error ? writeFailed(error) : DriverStatus{};
  }

 private:
  DriverStatus started(LONG height) {
    wia::PixelFormat format;
    format.bitsPerPixel = channels_ == 3 ? 24 : job_.settings.dataType == WIA_DATA_THRESHOLD ? 1 : 8;
    format.threshold = job_.settings.threshold;
    format.xdpi = format.ydpi = dpi_;
    format.jpegQuality = kPageQuality;
    writer_ = job_.jpeg ? wia::jpegRowWriter(job_.file, format) : wia::bmpRowWriter(job_.file, format);
    const int error = writer_->begin(width_, height, channels_);
    return error ? writeFailed(error) : DriverStatus{};
  }

  const wia::ScanJob& job_;
  LONG dpi_;
  bool adjusted_ = false;
  uint8_t levels_[256] = {};
  LONG width_ = 0;
  int channels_ = 3;
  size_t rowBytes_ = 0;
  std::vector<uint8_t> adjustedRow_;
  std::vector<uint8_t> kept_;
  std::unique_ptr<wia::RowWriter> writer_;
};

}  // namespace

SaneScannerDriver::SaneScannerDriver(std::shared_ptr<const DeviceSpec> deviceSpec, std::unique_ptr<SaneDevice> device)
    : ServedDevice(std::move(deviceSpec)), device_(std::move(device)) {}

SaneScannerDriver::~SaneScannerDriver() {
  if (inBatch_) (void)device_->endBatch();
}

DriverStatus SaneScannerDriver::apply(const SaneScanSettings& settings) {
  const SaneScannerModel& model = device_->model();
  // The source first (the area may depend on it), then the mode and depth, the resolution,
  // the area at that resolution. A device without a flatbed source scans from the one it has.
  if (!model.sources.empty() && (settings.handling != FLATBED || model.sourceFor(FLATBED))) {
    DriverStatus status = device_->setDocumentHandling(settings.handling);
    if (!status.ok()) return status;
  }
  if (settings.dataType) {
    DriverStatus status = device_->setDataType(*settings.dataType);
    if (!status.ok()) return status;
  }
  if (device_->model().resolution.settable) {
    DriverStatus status = device_->setResolution(settings.dpi);
    if (!status.ok()) return status;
  }
  if (device_->model().area.present && device_->model().area.settable) {
    DriverStatus status = device_->setArea(settings.area, settings.dpi);
    if (!status.ok()) return status;
  }
  return DriverStatus{};
}

HRESULT SaneScannerDriver::scanPage(const wia::ScanJob& job) {
  std::lock_guard<std::mutex> guard(lock_);
  const wia::ItemSettings& s = job.settings;
  const SaneScanSettings settings =
      saneScanSettings(device_->model(), s.documentSelect, s.dataType, s.depth, s.xres,
                       PixelArea{s.xpos, s.ypos, s.xextent, s.yextent});
  if (inBatch_ && (!job.feeder || settings != batch_)) {
    inBatch_ = false;
    (void)device_->endBatch();
  }
  if (!inBatch_) {
    DriverStatus applied = apply(settings);
    if (!applied.ok()) return applied.code;
  }
  const double taken = device_->model().resolution.current;
  PageFile file(job, taken >= 1 ? static_cast<LONG>(std::lround(taken)) : s.xres);
  ScanProgress progress = [&job](uint64_t bytesRead, uint64_t bytesExpected) {
    if (bytesExpected == 0) return true;  // a page of unknown length has no percentage
    return job.progress.advanced(static_cast<LONG>(bytesRead * 100 / bytesExpected));
  };
  endAfterPage_ = false;
  const DriverStatus scanned = device_->scanPage(file, progress, job.feeder ? PageEnd::KeepBatch : PageEnd::EndScan);
  inBatch_ = job.feeder && scanned.ok();
  if (inBatch_ && endAfterPage_.exchange(false)) {
    inBatch_ = false;
    (void)device_->endBatch();
  }
  if (inBatch_) batch_ = settings;
  // A cancel from the progress ends the page as the caller's callback said.
  if (scanned.code == S_FALSE) return job.progress.stopReason() != S_OK ? job.progress.stopReason() : S_FALSE;
  return scanned.code;
}

void SaneScannerDriver::endBatch() {
  std::unique_lock<std::mutex> guard(lock_, std::try_to_lock);
  if (!guard.owns_lock()) {
    endAfterPage_ = true;
    return;
  }
  if (!inBatch_) return;
  inBatch_ = false;
  (void)device_->endBatch();
}

}  // namespace winsim::drivers
