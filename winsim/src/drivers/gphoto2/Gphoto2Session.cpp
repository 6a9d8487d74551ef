#include "Gphoto2Session.h"

#include "Gphoto2Result.h"

namespace winsim::drivers {
namespace {

struct Started : Gphoto2Outcome {
  GPContext* context = nullptr;
  CameraAbilitiesList* abilities = nullptr;
};

// A download that reports progress is alive: its time limit starts again.
unsigned int progressStarted(GPContext*, float, const char*, void*) {
  DriverThread::keepCurrentCallAlive();
  return 0;
}
void progressMade(GPContext*, unsigned int, float, void*) { DriverThread::keepCurrentCallAlive(); }
void progressStopped(GPContext*, unsigned int, void*) {}

void release(const Gphoto2Api& api, GPContext* context, CameraAbilitiesList* abilities) {
  if (abilities) api.abilitiesListFree(abilities);
  if (context) api.contextUnref(context);
}

}  // namespace

std::shared_ptr<Gphoto2Session> Gphoto2Session::start(const std::string& library, const std::string& portLibrary,
                                                      const DriverLimits& limits, std::string* reason) {
  std::shared_ptr<const Gphoto2Api> api = loadGphoto2Api(library, portLibrary, reason);
  if (!api) return nullptr;
  auto session = std::make_shared<Gphoto2Session>(api, "libgphoto2", limits);
  Started started;
  const bool returned = session->startCall<Started>(
      "gp_abilities_list_load",
      [api] {
        Started result;
        result.context = api->contextNew();
        if (!result.context) {
          result.result = GP_ERROR_NO_MEMORY;
          result.call = "gp_context_new";
          return result;
        }
        api->contextSetProgressFuncs(result.context, progressStarted, progressMade, progressStopped, nullptr);
        result.call = "gp_abilities_list_new";
        result.result = api->abilitiesListNew(&result.abilities);
        if (result.result >= GP_OK) {
          result.call = "gp_abilities_list_load";
          result.result = api->abilitiesListLoad(result.abilities, result.context);
        }
        if (result.result < GP_OK) {
          release(*api, result.context, result.abilities);
          result.context = nullptr;
          result.abilities = nullptr;
        }
        return result;
      },
      &started, [api](Started& late) { release(*api, late.context, late.abilities); }, reason);
  if (!returned) return nullptr;
  if (started.result < GP_OK) {
    *reason = std::string(started.call) + ": " + api->resultText(started.result);
    return nullptr;
  }
  session->context = started.context;
  session->abilities = started.abilities;
  return session;
}

Gphoto2Session::~Gphoto2Session() {
  if (context || abilities)
    thread->post([api = api, context = context, abilities = abilities] { release(*api, context, abilities); });
  thread.reset();
}

}  // namespace winsim::drivers
