#include "Gphoto2Api.h"

#include "../DynamicLibrary.h"

namespace winsim::drivers {

std::string Gphoto2Api::resultText(int result) const {
  const char* text = resultAsString ? resultAsString(result) : nullptr;
  if (text && *text) return text;
  return "libgphoto2 result " + std::to_string(result);
}

std::shared_ptr<const Gphoto2Api> loadGphoto2Api(const std::string& library, const std::string& portLibrary,
                                                 std::string* reason) {
  DynamicLibrary port;
  DynamicLibrary camera;
  if (!port.load(portLibrary, reason) || !camera.load(library, reason)) return nullptr;
  auto api = std::make_shared<Gphoto2Api>();
  bool bound =
      camera.bind("gp_context_new", &api->contextNew, reason) &&
      camera.bind("gp_context_unref", &api->contextUnref, reason) &&
      camera.bind("gp_context_set_progress_funcs", &api->contextSetProgressFuncs, reason) &&
      camera.bind("gp_abilities_list_new", &api->abilitiesListNew, reason) &&
      camera.bind("gp_abilities_list_free", &api->abilitiesListFree, reason) &&
      camera.bind("gp_abilities_list_load", &api->abilitiesListLoad, reason) &&
      camera.bind("gp_abilities_list_detect", &api->abilitiesListDetect, reason) &&
      camera.bind("gp_abilities_list_lookup_model", &api->abilitiesListLookupModel, reason) &&
      camera.bind("gp_abilities_list_get_abilities", &api->abilitiesListGetAbilities, reason) &&
      camera.bind("gp_list_new", &api->listNew, reason) &&
      camera.bind("gp_list_free", &api->listFree, reason) &&
      camera.bind("gp_list_count", &api->listCount, reason) &&
      camera.bind("gp_list_get_name", &api->listGetName, reason) &&
      camera.bind("gp_list_get_value", &api->listGetValue, reason) &&
      camera.bind("gp_camera_new", &api->cameraNew, reason) &&
      camera.bind("gp_camera_set_abilities", &api->cameraSetAbilities, reason) &&
      camera.bind("gp_camera_set_port_info", &api->cameraSetPortInfo, reason) &&
      camera.bind("gp_camera_init", &api->cameraInit, reason) &&
      camera.bind("gp_camera_exit", &api->cameraExit, reason) &&
      camera.bind("gp_camera_unref", &api->cameraUnref, reason) &&
      camera.bind("gp_camera_folder_list_files", &api->cameraFolderListFiles, reason) &&
      camera.bind("gp_camera_folder_list_folders", &api->cameraFolderListFolders, reason) &&
      camera.bind("gp_camera_file_get_info", &api->cameraFileGetInfo, reason) &&
      camera.bind("gp_camera_file_get", &api->cameraFileGet, reason) &&
      camera.bind("gp_file_new_from_fd", &api->fileNewFromFd, reason) &&
      camera.bind("gp_file_free", &api->fileFree, reason) &&
      camera.bind("gp_result_as_string", &api->resultAsString, reason) &&
      port.bind("gp_port_info_list_new", &api->portInfoListNew, reason) &&
      port.bind("gp_port_info_list_free", &api->portInfoListFree, reason) &&
      port.bind("gp_port_info_list_load", &api->portInfoListLoad, reason) &&
      port.bind("gp_port_info_list_lookup_path", &api->portInfoListLookupPath, reason) &&
      port.bind("gp_port_info_list_get_info", &api->portInfoListGetInfo, reason);
  if (!bound) return nullptr;
  return api;
}

}  // namespace winsim::drivers
