// The progress of one file transfer as a WIA driver reports it: IT_MSG_STATUS messages to the
// caller's IWiaDataCallback, IT_STATUS_TRANSFER_FROM_DEVICE at 0 % before anything is made
// and at the end of every band of rows (ending at 100 %), then IT_STATUS_TRANSFER_TO_CLIENT at
// 100 % once the file is complete. The device's transfer time is spread over the bands.
// S_FALSE from the callback cancels and a failure code stops the transfer; either is the
// transfer's result. Each message is a gated call, "IWiaDataCallback::BandedDataCallback", on
// the item's name: journaled with "msg=3 status=1 percent=40" and its answer, and a fault
// rule stands for the answer (the callback is then not called).
#pragma once

#include <chrono>
#include <string>

#include "Encode.h"

namespace winsim::wia {

class TransferProgress final : public RowProgress {
 public:
  // `rows` of the image in bands of `bandRows`, taking `millis` in all; `callback` may be null.
  TransferProgress(IWiaDataCallback* callback, const std::string& target, LONG rows, LONG bandRows,
                   unsigned millis);

  // Each returns whether the transfer goes on; stopReason() then says why not.
  bool start();
  bool reached(LONG rowsDone) override;
  // A driver's page `percent` done (reported when it grew since the last report).
  bool advanced(LONG percent);
  bool finish();
  HRESULT stopReason() const { return stop_; }

 private:
  bool report(LONG status, LONG percent);

  IWiaDataCallback* callback_;
  const std::string& target_;
  LONG rows_;
  LONG bandRows_;
  unsigned millis_;
  std::chrono::steady_clock::time_point begin_;
  HRESULT stop_ = S_OK;
  LONG reported_ = 0;  // the percentage of the last message
};

// The rows of a band: as many as a transfer buffer of WIA_IPA_MIN_BUFFER_SIZE holds, at least one.
LONG bandRowsOf(LONG width, LONG bitsPerPixel);

}  // namespace winsim::wia
