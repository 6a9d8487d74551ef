#include "Gphoto2Backend.h"

#include <sys/stat.h>

#include <algorithm>

#include "Gphoto2Camera.h"
#include "Gphoto2Result.h"
#include "Gphoto2Session.h"

namespace winsim::drivers {
namespace {

struct Listed : Gphoto2Outcome {
  std::vector<CameraInfo> cameras;
};

struct Opened : Gphoto2Outcome {
  Camera* camera = nullptr;
};

std::string textOf(const char* text) { return text ? text : ""; }

// The cameras libgphoto2 detects on the ports there are now.
Listed detectCameras(const Gphoto2Api& api, GPContext* context, CameraAbilitiesList* abilities) {
  Listed listed;
  GPPortInfoList* ports = nullptr;
  CameraList* found = nullptr;
  listed.call = "gp_port_info_list_load";
  listed.result = api.portInfoListNew(&ports);
  if (listed.result >= GP_OK) listed.result = api.portInfoListLoad(ports);
  if (listed.result >= GP_OK) {
    listed.call = "gp_abilities_list_detect";
    listed.result = api.listNew(&found);
  }
  if (listed.result >= GP_OK) listed.result = api.abilitiesListDetect(abilities, ports, found, context);
  if (listed.result >= GP_OK) {
    int count = api.listCount(found);
    for (int i = 0; i < count; ++i) {
      const char* model = nullptr;
      const char* port = nullptr;
      if (api.listGetName(found, i, &model) < GP_OK || api.listGetValue(found, i, &port) < GP_OK) continue;
      if (!port || !*port) continue;
      listed.cameras.push_back({port, textOf(model), false});
    }
    listed.result = GP_OK;
  }
  if (found) api.listFree(found);
  if (ports) api.portInfoListFree(ports);
  return listed;
}

bool isFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Opens the camera `model` on `port`: the port and the driver looked up afresh, since
// ports come and go.
Opened openCamera(const Gphoto2Api& api, GPContext* context, CameraAbilitiesList* abilities,
                  const std::string& port, const std::string& model) {
  Opened opened;
  GPPortInfoList* ports = nullptr;
  GPPortInfo portInfo = nullptr;
  CameraAbilities cameraAbilities{};
  opened.call = "gp_port_info_list_lookup_path";
  int found = api.portInfoListNew(&ports);
  if (found >= GP_OK) found = api.portInfoListLoad(ports);
  if (found >= GP_OK) found = api.portInfoListLookupPath(ports, port.c_str());
  if (found >= GP_OK) found = api.portInfoListGetInfo(ports, found, &portInfo);
  if (found >= GP_OK) {
    opened.call = "gp_abilities_list_lookup_model";
    found = api.abilitiesListLookupModel(abilities, model.c_str());
    if (found >= GP_OK) found = api.abilitiesListGetAbilities(abilities, found, &cameraAbilities);
  }
  if (found >= GP_OK) {
    opened.call = "gp_camera_new";
    found = api.cameraNew(&opened.camera);
  }
  if (found >= GP_OK) found = api.cameraSetAbilities(opened.camera, cameraAbilities);
  if (found >= GP_OK) found = api.cameraSetPortInfo(opened.camera, portInfo);  // copies what it needs
  if (found >= GP_OK) {
    opened.call = "gp_camera_init";
    found = api.cameraInit(opened.camera, context);
  }
  if (ports) api.portInfoListFree(ports);
  opened.result = found < GP_OK ? found : GP_OK;
  if (found < GP_OK && opened.camera) {
    api.cameraUnref(opened.camera);
    opened.camera = nullptr;
  }
  return opened;
}

}  // namespace

Gphoto2Backend::Gphoto2Backend(const Gphoto2BackendOptions& options)
    : started_([&options](std::string* reason) {
        return Gphoto2Session::start(options.library, options.portLibrary, options.limits, reason);
      }),
      folders_(options.folders) {}

Gphoto2Backend::~Gphoto2Backend() = default;

DriverStatus Gphoto2Backend::listCameras(const std::vector<std::string>& folders, std::vector<CameraInfo>* cameras) {
  cameras->clear();
  const std::shared_ptr<Gphoto2Session>& session = started_.session();
  if (!session) return DriverStatus{};
  auto api = session->api;
  Listed listed;
  DriverStatus called = session->poll<Listed>(
      "gp_abilities_list_detect",
      [api, context = session->context, abilities = session->abilities, folders] {
        Listed result = detectCameras(*api, context, abilities);
        bool folderDriver = api->abilitiesListLookupModel(abilities, kFolderCameraModel) >= GP_OK;
        for (const std::string& folder : folders) {
          if (!isFolder(folder)) continue;
          CameraInfo camera{"disk:" + folder, kFolderCameraModel, true};
          auto samePort = [&](const CameraInfo& c) { return c.port == camera.port; };
          if (std::any_of(result.cameras.begin(), result.cameras.end(), samePort)) continue;
          if (!folderDriver) {
            if (result.result >= GP_OK) {
              result.result = GP_ERROR_MODEL_NOT_FOUND;
              result.call = "gp_abilities_list_lookup_model";
            }
            continue;
          }
          result.cameras.push_back(std::move(camera));
        }
        return result;
      },
      &listed);
  if (!called.ok()) return called;
  *cameras = std::move(listed.cameras);
  if (listed.failed()) return gphoto2Failure(listed, api->resultText(listed.result));
  return DriverStatus{};
}

DriverStatus Gphoto2Backend::open(const CameraInfo& camera, std::unique_ptr<Gphoto2Camera>* opened) {
  opened->reset();
  const std::shared_ptr<Gphoto2Session>& session = started_.session();
  if (!session) return started_.offline("libgphoto2", "gp_camera_init");
  auto api = session->api;
  Opened result;
  DriverStatus called = session->poll<Opened>(
      "gp_camera_init",
      [api, context = session->context, abilities = session->abilities, camera] {
        return openCamera(*api, context, abilities, camera.port, camera.model);
      },
      &result,
      [api, context = session->context](Opened& late) {
        if (!late.camera) return;
        api->cameraExit(late.camera, context);
        api->cameraUnref(late.camera);
      });
  if (!called.ok()) return called;
  if (result.failed()) return gphoto2Failure(result, api->resultText(result.result));
  *opened = std::make_unique<Gphoto2Camera>(session, camera.port, result.camera);
  return DriverStatus{};
}

}  // namespace winsim::drivers
