#include "SaneSession.h"

namespace winsim::drivers {
namespace {

struct Initialised {
  int status = SANE_STATUS_GOOD;
  SANE_Int version = 0;
};

}  // namespace

std::shared_ptr<SaneSession> SaneSession::start(const std::string& library, const DriverLimits& limits,
                                                std::string* reason) {
  std::shared_ptr<const SaneApi> api = loadSaneApi(library, reason);
  if (!api) return nullptr;
  auto session = std::make_shared<SaneSession>(api, "SANE", limits);
  Initialised initialised;
  const bool returned = session->startCall<Initialised>(
      "sane_init",
      [api] {
        Initialised result;
        // No authorisation callback: a backend that asks for a password answers
        // SANE_STATUS_ACCESS_DENIED, which is reported.
        result.status = api->init(&result.version, nullptr);
        return result;
      },
      &initialised,
      [api](Initialised& late) {
        if (late.status == SANE_STATUS_GOOD) api->exit();
      },
      reason);
  if (!returned) return nullptr;
  if (initialised.status != SANE_STATUS_GOOD) {
    *reason = "sane_init: " + api->statusText(initialised.status);
    return nullptr;
  }
  session->initialised = true;
  if (SANE_VERSION_MAJOR(initialised.version) != SANE_CURRENT_MAJOR) {
    *reason = library + " is SANE " + std::to_string(SANE_VERSION_MAJOR(initialised.version)) +
              ", not " + std::to_string(SANE_CURRENT_MAJOR);
    return nullptr;
  }
  return session;
}

SaneSession::~SaneSession() {
  if (initialised && thread) thread->post([api = api] { api->exit(); });
  thread.reset();
}

}  // namespace winsim::drivers
