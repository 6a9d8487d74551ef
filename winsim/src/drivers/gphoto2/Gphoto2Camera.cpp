#include "Gphoto2Camera.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "../DriverThread.h"
#include "Gphoto2Result.h"
#include "Gphoto2Session.h"

namespace winsim::drivers {
namespace {

struct Listed : Gphoto2Outcome {
  std::vector<CameraPicture> pictures;
};

struct Fetched : Gphoto2Outcome {
  int error = 0;  // errno of a failed file operation
  uint64_t written = 0;
};

std::string joined(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The names of a folder's files or folders, in byte order.
int namesIn(const Gphoto2Api& api, Camera* camera, GPContext* context, const std::string& folder,
            bool folders, std::vector<std::string>* names) {
  CameraList* list = nullptr;
  int result = api.listNew(&list);
  if (result >= GP_OK)
    result = folders ? api.cameraFolderListFolders(camera, folder.c_str(), list, context)
                     : api.cameraFolderListFiles(camera, folder.c_str(), list, context);
  if (result >= GP_OK) {
    int count = api.listCount(list);
    for (int i = 0; i < count; ++i) {
      const char* name = nullptr;
      if (api.listGetName(list, i, &name) >= GP_OK && name && *name) names->push_back(name);
    }
    result = GP_OK;
  }
  if (list) api.listFree(list);
  std::sort(names->begin(), names->end());
  return result;
}

CameraPicture pictureOf(const std::string& folder, const std::string& name, const CameraFileInfo& info) {
  CameraPicture picture;
  picture.folder = folder;
  picture.name = name;
  const CameraFileInfoFile& file = info.file;
  if (file.fields & GP_FILE_INFO_SIZE) {
    picture.hasSize = true;
    picture.size = file.size;
  }
  if (file.fields & GP_FILE_INFO_TYPE) picture.mimeType.assign(file.type, strnlen(file.type, sizeof file.type));
  if (file.fields & GP_FILE_INFO_MTIME) {
    picture.hasTime = true;
    picture.modified = static_cast<int64_t>(file.mtime);
  }
  return picture;
}

void listFolder(const Gphoto2Api& api, Camera* camera, GPContext* context, const std::string& folder,
                int depth, Listed* listed) {
  std::vector<std::string> files;
  listed->call = "gp_camera_folder_list_files";
  listed->result = namesIn(api, camera, context, folder, false, &files);
  if (listed->result < GP_OK) return;
  for (const std::string& name : files) {
    CameraFileInfo info{};
    int result = api.cameraFileGetInfo(camera, folder.c_str(), name.c_str(), &info, context);
    if (result == GP_ERROR_NOT_SUPPORTED) {
      info = CameraFileInfo{};
    } else if (result < GP_OK) {
      listed->result = result;
      listed->call = "gp_camera_file_get_info";
      return;
    }
    listed->pictures.push_back(pictureOf(folder, name, info));
    DriverThread::keepCurrentCallAlive();  // a long listing that moves is alive
  }
  if (depth >= Gphoto2Camera::kMaxFolderDepth) return;
  std::vector<std::string> folders;
  listed->call = "gp_camera_folder_list_folders";
  listed->result = namesIn(api, camera, context, folder, true, &folders);
  if (listed->result < GP_OK) return;
  for (const std::string& name : folders) {
    listFolder(api, camera, context, joined(folder, name), depth + 1, listed);
    if (listed->result < GP_OK) return;
  }
}

// Fetches into `path` through a copy of the descriptor, which the camera file closes: the
// original is closed here, so that a failed close (a full disk) is seen.
Fetched fetchInto(const Gphoto2Api& api, Camera* camera, GPContext* context, const CameraPicture& picture,
                  const std::string& path) {
  Fetched fetched;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    fetched.error = errno;
    return fetched;
  }
  int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  CameraFile* file = nullptr;
  if (copy < 0) {
    fetched.error = errno;
  } else {
    fetched.call = "gp_file_new_from_fd";
    fetched.result = api.fileNewFromFd(&file, copy);
    if (fetched.result < GP_OK) {
      ::close(copy);
      file = nullptr;
    }
  }
  if (file) {
    fetched.call = "gp_camera_file_get";
    fetched.result = api.cameraFileGet(camera, picture.folder.c_str(), picture.name.c_str(),
                                       GP_FILE_TYPE_NORMAL, file, context);
    api.fileFree(file);
  }
  struct stat status {};
  if (fetched.error == 0 && fetched.result >= GP_OK) {
    if (::fstat(fd, &status) == 0) fetched.written = static_cast<uint64_t>(status.st_size);
    else fetched.error = errno;
  }
  if (::close(fd) != 0 && fetched.error == 0 && fetched.result >= GP_OK) fetched.error = errno;
  if (fetched.error != 0 || fetched.result < GP_OK || (picture.hasSize && fetched.written < picture.size))
    ::unlink(path.c_str());
  return fetched;
}

HRESULT codeOfErrno(int error) {
  switch (error) {
    case ENOENT: return HRESULT_FROM_WIN32(3);   // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM: return E_ACCESSDENIED;
    case ENOSPC: return HRESULT_FROM_WIN32(112);  // ERROR_DISK_FULL
    case ENOMEM: return E_OUTOFMEMORY;
    default: return HRESULT_FROM_WIN32(29);       // ERROR_WRITE_FAULT
  }
}

}  // namespace

std::string CameraPicture::path() const { return joined(folder, name); }

Gphoto2Camera::Gphoto2Camera(std::shared_ptr<Gphoto2Session> session, std::string port, Camera* camera)
    : session_(std::move(session)), port_(std::move(port)), camera_(camera) {}

Gphoto2Camera::~Gphoto2Camera() {
  session_->thread->post([api = session_->api, context = session_->context, camera = camera_] {
    api->cameraExit(camera, context);
    api->cameraUnref(camera);
  });
}

DriverStatus Gphoto2Camera::listPictures(std::vector<CameraPicture>* pictures) {
  pictures->clear();
  auto api = session_->api;
  Listed listed;
  DriverStatus called = session_->transfer<Listed>(
      "gp_camera_folder_list_files",
      [api, context = session_->context, camera = camera_] {
        Listed result;
        // libgphoto2 keeps what it listed; leaving the camera first (it connects again by
        // itself on the next call) makes it list what is there now.
        api->cameraExit(camera, context);
        listFolder(*api, camera, context, "/", 0, &result);
        return result;
      },
      &listed);
  if (!called.ok()) return called;
  if (listed.failed()) return gphoto2Failure(listed, api->resultText(listed.result));
  *pictures = std::move(listed.pictures);
  return DriverStatus{};
}

DriverStatus Gphoto2Camera::fetch(const CameraPicture& picture, const std::string& path) {
  auto api = session_->api;
  Fetched fetched;
  DriverStatus called = session_->transfer<Fetched>(
      "gp_camera_file_get",
      [api, context = session_->context, camera = camera_, picture, path] {
        return fetchInto(*api, camera, context, picture, path);
      },
      &fetched, [path](Fetched&) { ::unlink(path.c_str()); });
  if (!called.ok()) return called;
  if (fetched.failed()) return gphoto2Failure(fetched, api->resultText(fetched.result));
  if (fetched.error != 0)
    return driverFailure(codeOfErrno(fetched.error), path + ": " + std::strerror(fetched.error), "write");
  if (picture.hasSize && fetched.written < picture.size)
    return driverFailure(WIA_ERROR_INVALID_DRIVER_RESPONSE,
                         "the camera sent " + std::to_string(fetched.written) + " of the " +
                             std::to_string(picture.size) + " bytes of " + picture.path(),
                         "gp_camera_file_get");
  return DriverStatus{};
}

}  // namespace winsim::drivers
