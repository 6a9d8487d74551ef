#include "SaneDevice.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "SaneSession.h"
#include "SaneStatus.h"

namespace winsim::drivers {
namespace {

// What one call on the driver's thread reads: sane_read after sane_read into a buffer of
// kReadSize bytes, until it is full, the frame ends, a read gives nothing or fails, or
// kReadBatch has passed (so that progress is told at least that often). Backends answer a
// read with what they have (SANE's test backend, a pipe's 64 KiB); taking several per
// hand-over to the driver's thread keeps the hand-overs' cost out of a scan's time. Each
// read that brings data starts the call's time limit again: the limit bounds one read.
constexpr size_t kReadSize = 1024 * 1024;
constexpr std::chrono::milliseconds kReadBatch(50);

struct Started {
  int status = SANE_STATUS_GOOD;
  int parametersStatus = SANE_STATUS_GOOD;
  SANE_Parameters parameters{};
};

struct Read {
  int status = SANE_STATUS_GOOD;  // of the last read
  size_t length = 0;              // bytes read by all of them
  bool overrun = false;           // a read returned more than it was given room for
};

Read readBatch(const SaneApi& api, SANE_Handle handle, std::vector<uint8_t>& buffer) {
  Read batch;
  auto started = std::chrono::steady_clock::now();
  while (batch.length < buffer.size()) {
    SANE_Int room = static_cast<SANE_Int>(buffer.size() - batch.length);
    SANE_Int length = 0;
    batch.status = api.read(handle, buffer.data() + batch.length, room, &length);
    if (batch.status != SANE_STATUS_GOOD) break;
    if (length < 0 || length > room) {
      batch.overrun = true;
      break;
    }
    if (length == 0) break;
    batch.length += static_cast<size_t>(length);
    DriverThread::keepCurrentCallAlive();
    if (std::chrono::steady_clock::now() - started >= kReadBatch) break;
  }
  return batch;
}

DriverStatus cancelled() { return DriverStatus{S_FALSE, "the scan was cancelled", "sane_cancel"}; }

DriverStatus refused(const std::string& option, const std::string& why) {
  return driverFailure(E_INVALIDARG, "the scanner's option " + option + " " + why, "sane_control_option");
}

}  // namespace

struct SaneDevice::Written {
  int status = SANE_STATUS_GOOD;
  SANE_Int info = 0;
  int readStatus = SANE_STATUS_GOOD;
  std::vector<SaneOption> options;
};

SaneDevice::SaneDevice(std::shared_ptr<SaneSession> session, std::string name, SANE_Handle handle,
                       std::vector<SaneOption> options, std::vector<SaneDataType> dataTypes)
    : session_(std::move(session)), name_(std::move(name)), handle_(handle),
      dataTypes_(std::move(dataTypes)) {
  takeOptions(std::move(options));
}

SaneDevice::~SaneDevice() {
  session_->thread->post([api = session_->api, handle = handle_] { api->close(handle); });
}

void SaneDevice::takeOptions(std::vector<SaneOption> options) {
  options_ = std::move(options);
  model_ = scannerModelOf(options_);
  if (!dataTypes_.empty()) model_.dataTypes = dataTypes_;
}

const SaneOption* SaneDevice::settable(const std::string& name, DriverStatus* refusal) const {
  const SaneOption* option = findSaneOption(options_, name);
  if (!option) *refusal = refused(name, "does not exist");
  else if (!option->active()) *refusal = refused(name, "is inactive");
  else if (!option->settable()) *refusal = refused(name, "cannot be set");
  else return option;
  return nullptr;
}

// Sets the value and reads every option again: that gives the value the backend took and,
// when it answers SANE_INFO_RELOAD_OPTIONS, the options it changed with it.
DriverStatus SaneDevice::write(const SaneOption& option, std::vector<char> value, const char* what) {
  auto api = session_->api;
  Written written;
  DriverStatus called = session_->poll<Written>(
      what,
      [api, handle = handle_, index = option.index, value = std::move(value)]() mutable {
        Written result;
        result.status = api->controlOption(handle, index, SANE_ACTION_SET_VALUE, value.data(), &result.info);
        result.readStatus = readSaneOptions(*api, handle, &result.options);
        return result;
      },
      &written);
  if (!called.ok()) return called;
  if (written.readStatus == SANE_STATUS_GOOD) takeOptions(std::move(written.options));
  if (written.status != SANE_STATUS_GOOD)
    return saneFailure(written.status, api->statusText(written.status), "sane_control_option");
  if (written.readStatus != SANE_STATUS_GOOD)
    return saneFailure(written.readStatus, api->statusText(written.readStatus), "sane_control_option");
  return DriverStatus{};
}

DriverStatus SaneDevice::setNumber(const std::string& name, double value, double* taken) {
  DriverStatus refusal;
  const SaneOption* option = settable(name, &refusal);
  if (!option) return refusal;
  if (!option->numeric() && option->type != SANE_TYPE_BOOL) return refused(name, "is not a number");
  if (option->size != sizeof(SANE_Word)) return refused(name, "holds more than one value");
  SANE_Word word = value != 0 ? SANE_TRUE : SANE_FALSE;
  if (option->numeric() && !wordOfNumber(option->type, value, &word))
    return refused(name, "cannot hold " + std::to_string(value));
  std::vector<char> bytes(sizeof word);
  std::memcpy(bytes.data(), &word, sizeof word);
  DriverStatus status = write(*option, std::move(bytes), "sane_control_option");
  if (status.ok() && taken) {
    const SaneOption* now = findSaneOption(options_, name);
    *taken = now && now->hasValue ? now->number : value;
  }
  return status;
}

DriverStatus SaneDevice::setText(const std::string& name, const std::string& value, std::string* taken) {
  DriverStatus refusal;
  const SaneOption* option = settable(name, &refusal);
  if (!option) return refusal;
  if (option->type != SANE_TYPE_STRING) return refused(name, "is not a text");
  if (value.size() + 1 > static_cast<size_t>(option->size)) return refused(name, "cannot hold \"" + value + "\"");
  std::vector<char> bytes(static_cast<size_t>(option->size), '\0');
  std::memcpy(bytes.data(), value.data(), value.size());
  DriverStatus status = write(*option, std::move(bytes), "sane_control_option");
  if (status.ok() && taken) {
    const SaneOption* now = findSaneOption(options_, name);
    *taken = now && now->hasValue ? now->text : value;
  }
  return status;
}

DriverStatus SaneDevice::setResolution(double dpi, double* taken) {
  if (model_.resolution.option.empty()) return refused(SANE_NAME_SCAN_RESOLUTION, "does not exist");
  std::string option = model_.resolution.option;
  DriverStatus status = setNumber(option, dpi, taken);
  // Devices with separate resolutions per axis get the same on both.
  if (status.ok() && option == SANE_NAME_SCAN_X_RESOLUTION) {
    const SaneOption* y = findSaneOption(options_, SANE_NAME_SCAN_Y_RESOLUTION);
    if (y && y->settable()) status = setNumber(SANE_NAME_SCAN_Y_RESOLUTION, dpi);
  }
  return status;
}

DriverStatus SaneDevice::setDataType(SaneDataType type) {
  if (!type.mode.empty()) {
    const SaneOption* mode = findSaneOption(options_, SANE_NAME_SCAN_MODE);
    if (!mode || !mode->hasValue || mode->text != type.mode) {
      DriverStatus status = setText(SANE_NAME_SCAN_MODE, type.mode);
      if (!status.ok()) return status;
    }
  }
  if (type.depth != 0) return setNumber(SANE_NAME_BIT_DEPTH, type.depth);
  return DriverStatus{};
}

DriverStatus SaneDevice::setArea(const PixelArea& pixels, double dpi, PixelArea* taken) {
  const SaneArea& area = model_.area;
  if (!area.present || !area.settable) return refused(SANE_NAME_SCAN_TL_X, "and its area cannot be set");
  if (!(dpi > 0)) return refused(SANE_NAME_SCAN_TL_X, "needs a resolution for an area in pixels");
  const SaneOption* corner = findSaneOption(options_, SANE_NAME_SCAN_TL_X);
  // The options' own unit: millimetres, or pixels at the current resolution.
  double perMillimetre = corner->unit == SANE_UNIT_PIXEL ? model_.resolution.current / 25.4 : 1;
  struct Edge {
    const char* option;
    double value;
  };
  double left = area.bedLeft + pixelsToMillimetres(pixels.x, dpi);
  double top = area.bedTop + pixelsToMillimetres(pixels.y, dpi);
  double right = area.bedLeft + pixelsToMillimetres(pixels.x + pixels.width, dpi);
  double bottom = area.bedTop + pixelsToMillimetres(pixels.y + pixels.height, dpi);
  // The near edge first unless it would pass the far edge as it stands; then the far edge.
  Edge x[2] = {{SANE_NAME_SCAN_TL_X, left}, {SANE_NAME_SCAN_BR_X, right}};
  Edge y[2] = {{SANE_NAME_SCAN_TL_Y, top}, {SANE_NAME_SCAN_BR_Y, bottom}};
  if (left >= area.right) std::swap(x[0], x[1]);
  if (top >= area.bottom) std::swap(y[0], y[1]);
  for (const Edge& edge : {x[0], x[1], y[0], y[1]}) {
    DriverStatus status = setNumber(edge.option, edge.value * perMillimetre);
    if (!status.ok()) return status;
  }
  if (taken) *taken = pixelAreaOf(model_.area, dpi);
  return DriverStatus{};
}

DriverStatus SaneDevice::setDocumentHandling(LONG handling) {
  if (model_.sources.empty() && handling == FLATBED) return DriverStatus{};
  const SaneSource* source = model_.sourceFor(handling);
  if (!source)
    return refused(SANE_NAME_SCAN_SOURCE, "has no value for document handling " + std::to_string(handling));
  if (source->name == model_.currentSource) return DriverStatus{};
  std::string name = source->name;
  return setText(SANE_NAME_SCAN_SOURCE, name);
}

// SANE's backends end a scan's reader thread with pthread_cancel of the asynchronous type.
// One that lands while that thread is still making its first allocations leaves the C
// library's allocator locked, and the whole process hangs at its next allocation. A scan
// that ends right after sane_start (a first read that fails, a cancel at once) therefore
// gives the reader thread this long to get going before sane_cancel.
constexpr std::chrono::milliseconds kReaderStartTime{20};

void SaneDevice::waitForReaderStart() const {
  using Clock = std::chrono::steady_clock;
  std::this_thread::sleep_until(Clock::time_point(Clock::duration(startedAt_.load())) + kReaderStartTime);
}

void SaneDevice::cancel() {
  std::lock_guard<std::mutex> guard(cancelLock_);
  if (!scanning_) return;
  cancelRequested_ = true;
  waitForReaderStart();
  // sane_cancel may be called at any time, from any thread, even inside a blocked sane_read.
  session_->api->cancel(handle_);
}

DriverStatus SaneDevice::cancelScan() {
  waitForReaderStart();
  int unused = 0;
  return session_->poll<int>(
      "sane_cancel",
      [api = session_->api, handle = handle_] {
        api->cancel(handle);
        return 0;
      },
      &unused);
}

DriverStatus SaneDevice::readFrames(SanePage* page, const ScanProgress& progress) {
  using Clock = std::chrono::steady_clock;
  auto api = session_->api;
  if (!buffer_) buffer_ = std::make_shared<std::vector<uint8_t>>(kReadSize);
  auto cancelAfter = [api, handle = handle_](auto&) { api->cancel(handle); };
  for (;;) {
    if (cancelRequested_) return cancelled();
    Started started;
    DriverStatus called = session_->transfer<Started>(
        "sane_start",
        [api, handle = handle_] {
          Started result;
          result.status = api->start(handle);
          if (result.status == SANE_STATUS_GOOD)
            result.parametersStatus = api->getParameters(handle, &result.parameters);
          return result;
        },
        &started, std::function<void(Started&)>(cancelAfter));
    if (started.status == SANE_STATUS_GOOD) startedAt_ = Clock::now().time_since_epoch().count();
    if (!called.ok()) return called;
    if (cancelRequested_) return cancelled();
    if (started.status != SANE_STATUS_GOOD)
      return saneFailure(started.status, api->statusText(started.status), "sane_start");
    if (started.parametersStatus != SANE_STATUS_GOOD)
      return saneFailure(started.parametersStatus, api->statusText(started.parametersStatus),
                         "sane_get_parameters");
    DriverStatus begun = page->beginFrame(started.parameters);
    if (!begun.ok()) return begun;

    Clock::time_point lastData = Clock::now();
    for (;;) {
      if (cancelRequested_) return cancelled();
      Read read;
      called = session_->transfer<Read>(
          "sane_read",
          [api, handle = handle_, buffer = buffer_] { return readBatch(*api, handle, *buffer); }, &read,
          std::function<void(Read&)>(cancelAfter));
      if (!called.ok()) return called;
      // After sane_cancel a backend may end the frame as if it were complete (SANE's test
      // backend answers EOF): what it says then is no page.
      if (cancelRequested_) return cancelled();
      if (read.overrun)
        return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE,
                             "sane_read returned more bytes than the buffer it was given", "sane_read");
      if (read.length > 0) {
        lastData = Clock::now();
        DriverStatus added = page->add(buffer_->data(), read.length);
        if (!added.ok()) return added;
        if (progress && !progress(page->bytesRead(), page->bytesExpected())) {
          cancel();
          return cancelled();
        }
      }
      if (read.status == SANE_STATUS_EOF) break;
      if (read.status != SANE_STATUS_GOOD)
        return saneFailure(read.status, api->statusText(read.status), "sane_read");
      if (read.length == 0) {
        // Nothing yet, though the reads block: wait a little, up to the transfer limit.
        if (Clock::now() - lastData > session_->limits.transfer)
          return driverFailure(WIA_ERROR_BUSY, "the scanner sent no data within its time limit", "sane_read");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    DriverStatus ended = page->endFrame();
    if (!ended.ok()) return ended;
    if (page->complete()) return DriverStatus{};
    if (started.parameters.last_frame)
      return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE,
                           "the scanner's last frame came before all three colours", "sane_get_parameters");
  }
}

DriverStatus SaneDevice::scanPage(SaneRaster* raster, const ScanProgress& progress, PageEnd end) {
  SaneRaster page;
  SaneRasterSink sink(&page);
  DriverStatus status = scanPage(sink, progress, end);
  if (status.ok()) *raster = std::move(page);
  return status;
}

DriverStatus SaneDevice::scanPage(SaneRowSink& rows, const ScanProgress& progress, PageEnd end) {
  {
    std::lock_guard<std::mutex> guard(cancelLock_);
    scanning_ = true;
    cancelRequested_ = false;
  }
  SanePage page(rows);
  DriverStatus status = readFrames(&page, progress);
  {
    std::lock_guard<std::mutex> guard(cancelLock_);
    scanning_ = false;
  }
  // A cancel asked for while the page was read wins, whatever the backend answered then.
  if (cancelRequested_) status = cancelled();
  // A scan that ends, fails or is cancelled ends with sane_cancel; a feeder batch goes on.
  if (end == PageEnd::EndScan || !status.ok()) (void)cancelScan();
  return status;
}

DriverStatus SaneDevice::endBatch() { return cancelScan(); }

DriverStatus SaneDevice::scanFeeder(const std::function<bool(SaneRaster&&)>& onPage,
                                    const ScanProgress& progress, int* pages) {
  *pages = 0;
  for (;;) {
    SaneRaster page;
    DriverStatus status = scanPage(&page, progress, PageEnd::KeepBatch);
    if (status.code == WIA_ERROR_PAPER_EMPTY && *pages > 0) return DriverStatus{};
    if (!status.ok()) return status;
    ++*pages;
    if (!onPage(std::move(page))) return endBatch();
  }
}

}  // namespace winsim::drivers
