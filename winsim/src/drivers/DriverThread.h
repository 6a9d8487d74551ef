// The one thread that makes every call into a driver library, each call within a time
// limit.
//
// Drivers block: a network scanner during sane_get_devices, a camera that stops answering.
// A poll or a transfer must not wait for ever, so the library's calls run here, one at a
// time in the order they came, and the caller waits at most the call's limit. A call
// that overruns keeps this thread, and with it the library, until it returns: its caller
// gets WIA_ERROR_BUSY, and every later call fails the same way at once until then. When
// the overrunning call does return, its clean-up (closing what it opened) runs here, since
// no one waits for its result any more. The process stays sound meanwhile: a call's work
// owns everything it touches (it captures by value), never the caller's stack.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "DriverStatus.h"

namespace winsim::drivers {

class DriverThread {
 public:
  // `library` names the library in failure texts ("SANE", "libgphoto2"); `stopLimit` is how
  // long its end waits for what was posted.
  DriverThread(std::string library, std::chrono::milliseconds stopLimit);
  // Lets what was posted run, then ends the thread: waits for that at most `stopLimit`,
  // and not at all while a call is held past its limit; a thread not waited for ends on
  // its own when the library returns.
  ~DriverThread();
  DriverThread(const DriverThread&) = delete;
  DriverThread& operator=(const DriverThread&) = delete;

  // Runs `work` here and waits for its result at most `limit`. On time: S_OK with the
  // result in `*result` (`work` reports its own failures inside T). Past the limit, or
  // while an earlier call still overruns: WIA_ERROR_BUSY, `*result` untouched, and
  // `abandoned` runs here with the result once `work` returns (if it ever started).
  template <typename T>
  DriverStatus call(const char* what, std::chrono::milliseconds limit, std::function<T()> work,
                    T* result, std::function<void(T&)> abandoned = {}) {
    auto slot = std::make_shared<std::optional<T>>();
    DriverStatus status = run(
        what, limit, [slot, work = std::move(work)] { slot->emplace(work()); },
        [slot, abandoned = std::move(abandoned)] {
          if (abandoned && slot->has_value()) abandoned(**slot);
        });
    if (status.ok()) *result = std::move(**slot);
    return status;
  }

  // Runs `work` here after what is queued, without waiting for it (closing a handle, the
  // library's exit).
  void post(std::function<void()> work);

  // Called from inside a call on this thread: the call is making progress (a download
  // moving), so its limit starts again. Anywhere else it does nothing.
  static void keepCurrentCallAlive();

  // True while a call is past its limit and has not returned.
  bool held() const;

 private:
  struct Job;
  struct Shared;
  DriverStatus run(const char* what, std::chrono::milliseconds limit, std::function<void()> work,
                   std::function<void()> abandoned);

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace winsim::drivers
