// libgphoto2's folder camera ("Directory Browse" on disk:FOLDER) over folders of JPEG
// files these tests write: listing, names, order, sizes and times, byte-identical fetches,
// and folders and files that go away.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "PictureFolder.h"
#include "gphoto2/Gphoto2Backend.h"
#include "gphoto2/Gphoto2Camera.h"

namespace winsim::drivers {
namespace {

namespace fs = std::filesystem;
using drivertest::contentsOf;
using drivertest::PictureFolder;

int openDescriptors() {
  int count = 0;
  for (auto& entry : fs::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

Gphoto2BackendOptions folderOptions(std::vector<std::string> folders) {
  Gphoto2BackendOptions options;
  options.folders = std::move(folders);
  return options;
}

const CameraInfo* folderCamera(const std::vector<CameraInfo>& cameras, const fs::path& folder) {
  for (const CameraInfo& camera : cameras)
    if (camera.folder && camera.port == "disk:" + folder.string()) return &camera;
  return nullptr;
}

TEST(Gphoto2FolderCamera, ListsEveryPictureInOrderWithItsNameSizeTypeAndTime) {
  PictureFolder pictures;
  pictures.add("b.jpg", 40, 30, 10);
  pictures.add("a.jpg", 30, 40, 20);
  pictures.add("sub/c.JPG", 50, 20, 30);
  pictures.add("sub/deeper/d.jpg", 20, 20, 40);
  pictures.add("z/e.jpg", 64, 48, 50);
  std::ofstream(pictures.root / "notes.txt") << "not a picture";

  Gphoto2Backend backend(folderOptions({pictures.root.string()}));
  ASSERT_TRUE(backend.available()) << backend.unavailableReason();
  std::vector<CameraInfo> cameras;
  DriverStatus listed = backend.listCameras(&cameras);
  ASSERT_TRUE(listed.ok()) << listed.text;
  const CameraInfo* camera = folderCamera(cameras, pictures.root);
  ASSERT_TRUE(camera);
  EXPECT_EQ(camera->model, "Directory Browse");

  std::unique_ptr<Gphoto2Camera> opened;
  DriverStatus status = backend.open(*camera, &opened);
  ASSERT_TRUE(status.ok()) << status.text;
  std::vector<CameraPicture> found;
  status = opened->listPictures(&found);
  ASSERT_TRUE(status.ok()) << status.text;

  std::vector<std::string> paths;
  for (const CameraPicture& picture : found) paths.push_back(picture.path());
  EXPECT_EQ(paths, (std::vector<std::string>{"/a.jpg", "/b.jpg", "/sub/c.JPG", "/sub/deeper/d.jpg", "/z/e.jpg"}));
  for (const CameraPicture& picture : found) {
    fs::path file = pictures.root / picture.path().substr(1);
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_TRUE(picture.hasSize);
    EXPECT_EQ(picture.size, static_cast<uint64_t>(status.st_size)) << picture.path();
    EXPECT_EQ(picture.mimeType, "image/jpeg") << picture.path();
    EXPECT_TRUE(picture.hasTime);
    EXPECT_EQ(picture.modified, status.st_mtime) << picture.path();
  }
}

TEST(Gphoto2FolderCamera, FetchesEveryPictureByteForByteAndLeavesNoDescriptorOpen) {
  PictureFolder pictures;
  pictures.add("one.jpg", 120, 80, 0);
  pictures.add("two.jpg", 80, 120, 128);
  pictures.add("album/three.jpg", 333, 17, 255);
  PictureFolder fetched;

  Gphoto2Backend backend(folderOptions({pictures.root.string()}));
  std::vector<CameraInfo> cameras;
  ASSERT_TRUE(backend.listCameras(&cameras).ok());
  ASSERT_TRUE(folderCamera(cameras, pictures.root));
  std::unique_ptr<Gphoto2Camera> camera;
  ASSERT_TRUE(backend.open(*folderCamera(cameras, pictures.root), &camera).ok());
  std::vector<CameraPicture> found;
  ASSERT_TRUE(camera->listPictures(&found).ok());
  ASSERT_EQ(found.size(), 3u);

  int descriptors = openDescriptors();
  for (size_t i = 0; i < found.size(); ++i) {
    fs::path target = fetched.root / ("picture-" + std::to_string(i) + ".jpg");
    DriverStatus status = camera->fetch(found[i], target.string());
    ASSERT_TRUE(status.ok()) << status.text;
    EXPECT_EQ(contentsOf(target), contentsOf(pictures.root / found[i].path().substr(1))) << found[i].path();
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_EQ(openDescriptors(), descriptors);
}

TEST(Gphoto2FolderCamera, AFolderRemovedBetweenListingsVanishesAndItsOpenCameraFails) {
  PictureFolder kept;
  kept.add("k.jpg", 10, 10, 1);
  auto removed = std::make_unique<PictureFolder>();
  removed->add("r.jpg", 10, 10, 2);
  fs::path removedRoot = removed->root;
  Gphoto2Backend backend(folderOptions({removedRoot.string(), kept.root.string(), "/no/such/folder"}));

  std::vector<CameraInfo> cameras;
  ASSERT_TRUE(backend.listCameras(&cameras).ok());
  ASSERT_TRUE(folderCamera(cameras, removedRoot));
  ASSERT_TRUE(folderCamera(cameras, kept.root));
  EXPECT_LT(folderCamera(cameras, removedRoot), folderCamera(cameras, kept.root));  // the setting's order
  EXPECT_EQ(cameras.size(), 2u + std::count_if(cameras.begin(), cameras.end(),
                                               [](const CameraInfo& c) { return !c.folder; }));
  std::unique_ptr<Gphoto2Camera> camera;
  ASSERT_TRUE(backend.open(*folderCamera(cameras, removedRoot), &camera).ok());
  std::vector<CameraPicture> found;
  ASSERT_TRUE(camera->listPictures(&found).ok());
  ASSERT_EQ(found.size(), 1u);

  removed.reset();
  ASSERT_TRUE(backend.listCameras(&cameras).ok());
  EXPECT_FALSE(folderCamera(cameras, removedRoot));
  EXPECT_TRUE(folderCamera(cameras, kept.root));

  // The camera opened before: its pictures are gone, reported as a failure.
  PictureFolder fetched;
  fs::path target = fetched.root / "gone.jpg";
  DriverStatus fetch = camera->fetch(found[0], target.string());
  EXPECT_TRUE(FAILED(fetch.code)) << fetch.text;
  EXPECT_FALSE(fetch.text.empty());
  EXPECT_FALSE(fs::exists(target));
  DriverStatus relisted = camera->listPictures(&found);
  EXPECT_TRUE(FAILED(relisted.code)) << relisted.text;
  EXPECT_TRUE(found.empty());
}

TEST(Gphoto2FolderCamera, APictureDeletedAfterTheListingFailsItsFetchAndLeavesNoFile) {
  PictureFolder pictures;
  fs::path doomed = pictures.add("doomed.jpg", 10, 10, 3);
  pictures.add("stays.jpg", 10, 10, 4);
  Gphoto2Backend backend(folderOptions({pictures.root.string()}));
  std::vector<CameraInfo> cameras;
  ASSERT_TRUE(backend.listCameras(&cameras).ok());
  std::unique_ptr<Gphoto2Camera> camera;
  ASSERT_TRUE(backend.open(*folderCamera(cameras, pictures.root), &camera).ok());
  std::vector<CameraPicture> found;
  ASSERT_TRUE(camera->listPictures(&found).ok());
  ASSERT_EQ(found.size(), 2u);
  fs::remove(doomed);

  PictureFolder fetched;
  fs::path target = fetched.root / "doomed.jpg";
  DriverStatus failed = camera->fetch(found[0], target.string());
  EXPECT_TRUE(FAILED(failed.code));
  EXPECT_EQ(failed.call, "gp_camera_file_get");
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(camera->fetch(found[1], (fetched.root / "stays.jpg").string()).ok());
}

TEST(Gphoto2Backend, ALibraryThatIsMissingMeansNoCamerasAndSaysWhy) {
  Gphoto2BackendOptions options = folderOptions({"/tmp"});
  options.library = "libgphoto2-not-installed.so.6";
  Gphoto2Backend backend(options);
  EXPECT_FALSE(backend.available());
  EXPECT_NE(backend.unavailableReason().find("libgphoto2-not-installed.so.6"), std::string::npos);
  std::vector<CameraInfo> cameras;
  EXPECT_TRUE(backend.listCameras(&cameras).ok());
  EXPECT_TRUE(cameras.empty());
  std::unique_ptr<Gphoto2Camera> camera;
  EXPECT_EQ(backend.open(CameraInfo{"disk:/tmp", kFolderCameraModel, true}, &camera).code, WIA_ERROR_OFFLINE);

  options.library = "libm.so.6";
  Gphoto2Backend wrong(options);
  EXPECT_FALSE(wrong.available());
  EXPECT_NE(wrong.unavailableReason().find("gp_context_new"), std::string::npos) << wrong.unavailableReason();
}

}  // namespace
}  // namespace winsim::drivers
