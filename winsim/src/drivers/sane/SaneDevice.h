// An open SANE device as a WIA scanner driver uses it: its options as the model of WIA's
// properties, settings written and read back, pages scanned into rows with progress,
// feeder batches and cancel.
//
// One operation at a time per device, as the service runs them; cancel() alone may come
// from another thread while a page is being read.
#pragma once

#include <sane/sane.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../DriverStatus.h"
#include "SaneOption.h"
#include "SanePage.h"
#include "SaneScannerModel.h"

namespace winsim::drivers {

struct SaneSession;

// Told after every read with data: bytes read of the page so far and the bytes it should
// take (0 while unknown, as with a hand scanner). Returning false cancels the scan.
using ScanProgress = std::function<bool(uint64_t bytesRead, uint64_t bytesExpected)>;

// After a page: end the scan (sane_cancel), or keep a feeder batch going so that the next
// scanPage takes the next sheet (the batch ends with endBatch or a failure).
enum class PageEnd { EndScan, KeepBatch };

class SaneDevice {
 public:
  SaneDevice(std::shared_ptr<SaneSession> session, std::string name, SANE_Handle handle,
             std::vector<SaneOption> options, std::vector<SaneDataType> dataTypes);
  ~SaneDevice();  // sane_close, after what is queued on the driver's thread
  SaneDevice(const SaneDevice&) = delete;
  SaneDevice& operator=(const SaneDevice&) = delete;

  const std::string& name() const { return name_; }
  // The model of the options as last read; every write reads them all again.
  const SaneScannerModel& model() const { return model_; }
  const std::vector<SaneOption>& options() const { return options_; }

  // Writes an option (a number in its unit, a bool as 0 or 1, or a string) and reads back
  // what the backend took: with SANE_INFO_INEXACT it is its nearest value. A device without
  // the option, or with it inactive or read-only: E_INVALIDARG.
  DriverStatus setNumber(const std::string& option, double value, double* taken = nullptr);
  DriverStatus setText(const std::string& option, const std::string& value, std::string* taken = nullptr);

  // The settings WIA's properties make: resolution in dpi; data type and depth (mode, then
  // depth); the area in pixels at `dpi`; the source of a document handling (FLATBED,
  // FEEDER, FEEDER | DUPLEX).
  DriverStatus setResolution(double dpi, double* taken = nullptr);
  DriverStatus setDataType(SaneDataType type);  // a copy: the model it may come from changes
  DriverStatus setArea(const PixelArea& area, double dpi, PixelArea* taken = nullptr);
  DriverStatus setDocumentHandling(LONG handling);

  // Scans one page: sane_start, sane_get_parameters and sane_read until the last frame's
  // end, three-pass frames put together and every depth made 8 bits a sample, each row to
  // `rows` as it is complete. S_FALSE when cancelled; a failure with SANE's status mapped
  // (an empty feeder: WIA_ERROR_PAPER_EMPTY), or the sink's own.
  DriverStatus scanPage(SaneRowSink& rows, const ScanProgress& progress = {}, PageEnd end = PageEnd::EndScan);
  // The same into a raster, which holds the page only when the scan succeeded.
  DriverStatus scanPage(SaneRaster* page, const ScanProgress& progress = {},
                        PageEnd end = PageEnd::EndScan);
  // Ends a feeder batch (sane_cancel).
  DriverStatus endBatch();
  // Scans sheet after sheet until the feeder is empty: `onPage` takes each (false stops the
  // batch); an empty feeder after at least one page is the batch's end, before any it is
  // WIA_ERROR_PAPER_EMPTY. `*pages` counts the pages handed on.
  DriverStatus scanFeeder(const std::function<bool(SaneRaster&&)>& onPage,
                          const ScanProgress& progress, int* pages);

  // From any thread: stops the page being read (sane_cancel at once; the scan then ends
  // with S_FALSE). Does nothing when no page is being read.
  void cancel();

 private:
  struct Written;
  DriverStatus write(const SaneOption& option, std::vector<char> value, const char* what);
  const SaneOption* settable(const std::string& name, DriverStatus* refusal) const;
  void takeOptions(std::vector<SaneOption> options);
  DriverStatus readFrames(SanePage* page, const ScanProgress& progress);
  DriverStatus cancelScan();
  void waitForReaderStart() const;

  std::shared_ptr<SaneSession> session_;
  std::string name_;
  SANE_Handle handle_;
  std::vector<SaneOption> options_;
  std::vector<SaneDataType> dataTypes_;  // every mode's, found at open
  SaneScannerModel model_;
  std::shared_ptr<std::vector<uint8_t>> buffer_;
  // When the last sane_start succeeded (steady clock, in its ticks): cancel() reads it from
  // any thread.
  std::atomic<std::chrono::steady_clock::rep> startedAt_{0};

  std::mutex cancelLock_;
  bool scanning_ = false;
  std::atomic<bool> cancelRequested_{false};
};

}  // namespace winsim::drivers
