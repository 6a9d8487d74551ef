// The functions of libgphoto2 (libgphoto2.so.6) and its port library (libgphoto2_port.so.12)
// that the service calls, bound at run time. The declarations come from Debian's
// libgphoto2-dev; nothing is linked.
#pragma once

// winsim's TRUE and FALSE first: libgphoto2's headers define them again, as the same values.
#include "winsim/winsim.h"

#include <gphoto2/gphoto2.h>

#include <memory>
#include <string>

namespace winsim::drivers {

constexpr const char* kGphoto2Library = "libgphoto2.so.6";
constexpr const char* kGphoto2PortLibrary = "libgphoto2_port.so.12";

struct Gphoto2Api {
  decltype(&::gp_context_new) contextNew = nullptr;
  decltype(&::gp_context_unref) contextUnref = nullptr;
  decltype(&::gp_context_set_progress_funcs) contextSetProgressFuncs = nullptr;
  decltype(&::gp_abilities_list_new) abilitiesListNew = nullptr;
  decltype(&::gp_abilities_list_free) abilitiesListFree = nullptr;
  decltype(&::gp_abilities_list_load) abilitiesListLoad = nullptr;
  decltype(&::gp_abilities_list_detect) abilitiesListDetect = nullptr;
  decltype(&::gp_abilities_list_lookup_model) abilitiesListLookupModel = nullptr;
  decltype(&::gp_abilities_list_get_abilities) abilitiesListGetAbilities = nullptr;
  decltype(&::gp_list_new) listNew = nullptr;
  decltype(&::gp_list_free) listFree = nullptr;
  decltype(&::gp_list_count) listCount = nullptr;
  decltype(&::gp_list_get_name) listGetName = nullptr;
  decltype(&::gp_list_get_value) listGetValue = nullptr;
  decltype(&::gp_camera_new) cameraNew = nullptr;
  decltype(&::gp_camera_set_abilities) cameraSetAbilities = nullptr;
  decltype(&::gp_camera_set_port_info) cameraSetPortInfo = nullptr;
  decltype(&::gp_camera_init) cameraInit = nullptr;
  decltype(&::gp_camera_exit) cameraExit = nullptr;
  decltype(&::gp_camera_unref) cameraUnref = nullptr;
  decltype(&::gp_camera_folder_list_files) cameraFolderListFiles = nullptr;
  decltype(&::gp_camera_folder_list_folders) cameraFolderListFolders = nullptr;
  decltype(&::gp_camera_file_get_info) cameraFileGetInfo = nullptr;
  decltype(&::gp_camera_file_get) cameraFileGet = nullptr;
  decltype(&::gp_file_new_from_fd) fileNewFromFd = nullptr;
  decltype(&::gp_file_free) fileFree = nullptr;
  decltype(&::gp_result_as_string) resultAsString = nullptr;
  decltype(&::gp_port_info_list_new) portInfoListNew = nullptr;
  decltype(&::gp_port_info_list_free) portInfoListFree = nullptr;
  decltype(&::gp_port_info_list_load) portInfoListLoad = nullptr;
  decltype(&::gp_port_info_list_lookup_path) portInfoListLookupPath = nullptr;
  decltype(&::gp_port_info_list_get_info) portInfoListGetInfo = nullptr;

  // gp_result_as_string's text, or one of ours for a result it has none for.
  std::string resultText(int result) const;
};

// Loads both libraries and binds every function: null with the reason (the loader's
// message, or the function that is missing) when one cannot be had.
std::shared_ptr<const Gphoto2Api> loadGphoto2Api(const std::string& library, const std::string& portLibrary,
                                                 std::string* reason);

}  // namespace winsim::drivers
