// A SANE device as a WIA scanner driver runs it: each page's settings written to its options,
// the page read with sane_start and sane_read into the JPEG or BMP file, progress from the
// bytes read against those expected, the caller's cancel as sane_cancel, feeder batches.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "SaneScannerSpec.h"
#include "ServedDevice.h"
#include "sane/SaneDevice.h"

namespace winsim::drivers {

class SaneScannerDriver final : public ServedDevice {
 public:
  SaneScannerDriver(std::shared_ptr<const DeviceSpec> deviceSpec, std::unique_ptr<SaneDevice> device);
  ~SaneScannerDriver() override;

  // One page at a time on the device, whichever session asks. A feeder page goes on with
  // the batch the device is in when its settings are the batch's; anything else ends the
  // batch first.
  HRESULT scanPage(const wia::ScanJob& job) override;
  // Never waits for a page being scanned (a caller's progress callback may ask, on the
  // scanning thread): the batch then ends after that page.
  void endBatch() override;

 private:
  DriverStatus apply(const SaneScanSettings& settings);

  std::mutex lock_;
  std::unique_ptr<SaneDevice> device_;
  bool inBatch_ = false;
  std::atomic<bool> endAfterPage_{false};
  SaneScanSettings batch_;
};

}  // namespace winsim::drivers
