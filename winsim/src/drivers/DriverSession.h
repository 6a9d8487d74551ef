// A driver library loaded at run time, with the one thread that calls it and the limits of
// its calls: shared by the backend and the devices it opened, so that the library's own
// clean-up (SANE's exit, libgphoto2's context) comes after the last of them. Each driver's
// session adds what it started in the library.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "DriverSettings.h"
#include "DriverThread.h"

namespace winsim::drivers {

template <typename Api>
struct DriverSession {
  std::shared_ptr<const Api> api;
  DriverLimits limits;
  std::unique_ptr<DriverThread> thread;

  // `library` names the library in failure texts ("SANE").
  DriverSession(std::shared_ptr<const Api> loaded, const char* library, const DriverLimits& callLimits)
      : api(std::move(loaded)), limits(callLimits), thread(std::make_unique<DriverThread>(library, callLimits.poll)) {}

  // A call of a poll (starting, listing, opening, settings) on the thread, within the poll's
  // limit; see DriverThread::call.
  template <typename T>
  DriverStatus poll(const char* what, std::function<T()> work, T* result,
                    std::function<void(T&)> abandoned = {}) const {
    return thread->call<T>(what, limits.poll, std::move(work), result, std::move(abandoned));
  }
  // The call that starts the library (a poll's call): false with the thread's reason when
  // it did not return in time; the library's own failure is the caller's to read in
  // `*result`.
  template <typename T>
  bool startCall(const char* what, std::function<T()> work, T* result, std::function<void(T&)> abandoned,
                 std::string* reason) const {
    const DriverStatus called = poll<T>(what, std::move(work), result, std::move(abandoned));
    if (!called.ok()) *reason = called.text;
    return called.ok();
  }
  // A call of a transfer (a page's start and reads, a camera's files), within its limit.
  template <typename T>
  DriverStatus transfer(const char* what, std::function<T()> work, T* result,
                        std::function<void(T&)> abandoned = {}) const {
    return thread->call<T>(what, limits.transfer, std::move(work), result, std::move(abandoned));
  }
};

// A backend's session once its library started, else the reason it did not: a library that
// is missing or fails to start means no devices of its kind.
template <typename Session>
class StartedSession {
 public:
  // `start(&reason)` returns the session, or null with the reason.
  template <typename Start>
  explicit StartedSession(Start start) : session_(start(&reason_)) {}

  bool available() const { return session_ != nullptr; }
  const std::string& unavailableReason() const { return reason_; }
  const std::shared_ptr<Session>& session() const { return session_; }
  // What opening a device answers without the library: offline, saying why.
  DriverStatus offline(const char* library, const char* call) const {
    return driverFailure(WIA_ERROR_OFFLINE, std::string(library) + " is not available: " + reason_, call);
  }

 private:
  std::string reason_;  // before session_, which its start writes into
  std::shared_ptr<Session> session_;
};

}  // namespace winsim::drivers
