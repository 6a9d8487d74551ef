// Progress messages, cancellation and pacing of file transfers.
#include "Progress.h"

#include <algorithm>
#include <thread>

#include "runtime/Internal.h"

namespace winsim::wia {
namespace {

constexpr long long kBufferBytes = 65536;  // WIA_IPA_MIN_BUFFER_SIZE of the virtual items

}  // namespace

LONG bandRowsOf(LONG width, LONG bitsPerPixel) {
  const long long lineBytes = (static_cast<long long>(width) * bitsPerPixel + 31) / 32 * 4;
  return static_cast<LONG>(std::max<long long>(1, kBufferBytes / std::max<long long>(1, lineBytes)));
}

TransferProgress::TransferProgress(IWiaDataCallback* callback, const std::string& target, LONG rows,
                                   LONG bandRows, unsigned millis)
    : callback_(callback),
      target_(target),
      rows_(std::max<LONG>(rows, 1)),
      bandRows_(std::max<LONG>(bandRows, 1)),
      millis_(millis),
      begin_(std::chrono::steady_clock::now()) {}

bool TransferProgress::start() { return report(IT_STATUS_TRANSFER_FROM_DEVICE, 0); }

bool TransferProgress::reached(LONG rowsDone) {
  if (rowsDone <= 0 || (rowsDone % bandRows_ != 0 && rowsDone < rows_)) return true;
  if (millis_ != 0) {
    const auto share = std::chrono::microseconds(static_cast<long long>(millis_) * 1000 * rowsDone / rows_);
    std::this_thread::sleep_until(begin_ + share);
  }
  return report(IT_STATUS_TRANSFER_FROM_DEVICE, static_cast<LONG>(100LL * rowsDone / rows_));
}

bool TransferProgress::advanced(LONG percent) {
  percent = std::clamp<LONG>(percent, 0, 100);
  if (percent <= reported_) return true;
  reported_ = percent;
  return report(IT_STATUS_TRANSFER_FROM_DEVICE, percent);
}

bool TransferProgress::finish() { return report(IT_STATUS_TRANSFER_TO_CLIENT, 100); }

bool TransferProgress::report(LONG status, LONG percent) {
  if (!callback_) return true;
  detail::CallScope call("IWiaDataCallback::BandedDataCallback", target_);
  if (call.recording()) {
    call.detail("msg=" + std::to_string(IT_MSG_STATUS) + " status=" + std::to_string(status) +
                " percent=" + std::to_string(percent));
  }
  HRESULT answer = call.refused()
                       ? call.result()
                       : call.finish(callback_->BandedDataCallback(IT_MSG_STATUS, status, percent, 0, 0, 0, 0, nullptr));
  // Other success codes than S_FALSE go on, as S_OK does.
  if (answer == S_FALSE || FAILED(answer)) {
    stop_ = answer;
    return false;
  }
  return true;
}

}  // namespace winsim::wia
