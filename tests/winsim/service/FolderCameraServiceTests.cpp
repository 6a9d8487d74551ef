// Folders of JPEG files served as cameras through libgphoto2's "Directory Browse" driver,
// through the WIA interfaces: each file a picture item in order, with its name, size, time
// and format, transferred byte for byte under its own name; folders and files that go away.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "../drivers/PictureFolder.h"
#include "ServiceTestSupport.h"

namespace servicetest {
namespace {

using namespace wiatest;
using drivertest::contentsOf;
using drivertest::PictureFolder;
namespace fs = std::filesystem;

class FolderCamera : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    useDrivers("gphoto2");
  }
  // Serves `folders` as cameras; the ID of the first.
  std::string serve(const std::vector<fs::path>& folders) {
    std::string setting;
    for (const fs::path& folder : folders) setting += (setting.empty() ? "" : ":") + folder.string();
    setenv("VESTARO_FOLDER_CAMERAS", setting.c_str(), 1);
    return idOf(folders.front());
  }
  static std::string idOf(const fs::path& folder) {
    return "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\gphoto2:disk:" + folder.string();
  }
  // The one folder served as a camera, opened, and its pictures.
  std::vector<ComPtr<IWiaItem>> openCamera(const fs::path& folder, ComPtr<IWiaItem>* root);
};

// The root's children as one enumeration gives them.
std::vector<ComPtr<IWiaItem>> children(IWiaItem* root) {
  std::vector<ComPtr<IWiaItem>> items;
  ComPtr<IEnumWiaItem> list;
  EXPECT_EQ(S_OK, root->EnumChildItems(list.put()));
  if (!list) return items;
  for (;;) {
    ComPtr<IWiaItem> item;
    if (list->Next(1, item.put(), nullptr) != S_OK) break;
    items.push_back(std::move(item));
  }
  return items;
}

bool contains(const std::vector<std::string>& ids, const std::string& id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::vector<ComPtr<IWiaItem>> FolderCamera::openCamera(const fs::path& folder, ComPtr<IWiaItem>* root) {
  const std::string id = serve({folder});
  EXPECT_TRUE(contains(listedIds(), id));
  *root = openDevice(id);
  if (!*root) return {};
  return children(root->get());
}

TEST_F(FolderCamera, EveryPictureArrivesByteForByteInOrderUnderItsOwnName) {
  PictureFolder pictures;
  pictures.add("b.jpg", 40, 30, 10);
  pictures.add("a.jpg", 30, 40, 20);
  pictures.add("sub/c.JPG", 50, 20, 30);
  ComPtr<IWiaItem> root;
  std::vector<ComPtr<IWiaItem>> items = openCamera(pictures.root, &root);
  ASSERT_EQ(items.size(), 3u);
  auto rootProperties = storageOf(root.get());
  EXPECT_EQ(readLong(rootProperties.get(), WIA_DIP_DEV_TYPE) >> 16, StiDeviceTypeDigitalCamera);
  EXPECT_EQ(readText(rootProperties.get(), WIA_DIP_DEV_NAME), pictures.root.filename().string());
  EXPECT_EQ(readLong(rootProperties.get(), WIA_DPC_PICTURES_TAKEN), 3);

  const std::vector<std::string> files = {"a.jpg", "b.jpg", "sub/c.JPG"};
  const std::string instance = "gphoto2:disk:" + pictures.root.string();
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(files[i]);
    auto properties = storageOf(items[i].get());
    const fs::path original = pictures.root / files[i];
    EXPECT_EQ(readText(properties.get(), WIA_IPA_ITEM_NAME), original.filename().string());
    EXPECT_EQ(readText(properties.get(), WIA_IPA_FULL_ITEM_NAME), instance + "\\Root\\" + files[i]);
    EXPECT_EQ(readLong(properties.get(), WIA_IPA_ITEM_SIZE), static_cast<LONG>(fs::file_size(original)));
    EXPECT_EQ(readText(properties.get(), WIA_IPA_FILENAME_EXTENSION), original.extension().string().substr(1));
    LONG type = 0;
    EXPECT_EQ(items[i]->GetItemType(&type), S_OK);
    EXPECT_EQ(type, WiaItemTypeImage | WiaItemTypeFile);
    PROPVARIANT time;
    ASSERT_EQ(read(properties.get(), WIA_IPA_ITEM_TIME, &time), S_OK);
    ASSERT_EQ(time.vt, VT_VECTOR | VT_UI2);
    EXPECT_GE(time.caui.pElems[0], 2024);  // written just now
    FreePropVariantArray(1, &time);

    // As the library asks: a JPEG file.
    ASSERT_EQ(writeFormat(properties.get(), WiaImgFmt_JPEG), S_OK);
    STGMEDIUM medium;
    std::string path;
    ASSERT_EQ(transfer(items[i].get(), &medium, &path), S_OK);
    const fs::path arrived(path);
    EXPECT_EQ(arrived.filename(), original.filename());
    EXPECT_EQ(arrived.parent_path().filename().string().substr(0, 8), "vestaro-");
    EXPECT_EQ(fs::status(arrived).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(arrived.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(contentsOf(arrived), contentsOf(original));
    ReleaseStgMedium(&medium);
    EXPECT_FALSE(fs::exists(arrived.parent_path())) << "the file's folder goes with it";
  }
  EXPECT_TRUE(temporaryEntries("").empty());
}

TEST_F(FolderCamera, APictureOfAnotherFormatIsThatFormatAndRefusesJpegAndBmp) {
  PictureFolder pictures;
  const fs::path png = pictures.root / "drawing.png";
  std::ofstream(png, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n", 8) << "not decoded";
  ComPtr<IWiaItem> root;
  std::vector<ComPtr<IWiaItem>> items = openCamera(pictures.root, &root);
  ASSERT_EQ(items.size(), 1u);
  auto properties = storageOf(items[0].get());
  EXPECT_EQ(writeFormat(properties.get(), WiaImgFmt_JPEG), E_INVALIDARG);
  EXPECT_EQ(writeFormat(properties.get(), WiaImgFmt_BMP), E_INVALIDARG);
  ULONG flags = 0;
  PROPSPEC propSpec{PRSPEC_PROPID, {WIA_IPA_FORMAT}};
  PROPVARIANT valid;
  ASSERT_EQ(properties->GetPropertyAttributes(1, &propSpec, &flags, &valid), S_OK);
  EXPECT_EQ(valid.vt, VT_VECTOR | VT_CLSID);
  const std::vector<GUID> formats(valid.cauuid.pElems + 1, valid.cauuid.pElems + valid.cauuid.cElems);
  FreePropVariantArray(1, &valid);
  EXPECT_EQ(formats, (std::vector<GUID>{WiaImgFmt_PNG, WiaImgFmt_PNG}));  // the nominal, and PNG alone
  ASSERT_EQ(writeFormat(properties.get(), WiaImgFmt_PNG), S_OK);
  STGMEDIUM medium;
  std::string path;
  ASSERT_EQ(transfer(items[0].get(), &medium, &path), S_OK);
  EXPECT_EQ(contentsOf(path), contentsOf(png));
  ReleaseStgMedium(&medium);
}

TEST_F(FolderCamera, AFolderRemovedBetweenPollsVanishesAndItsDeviceIsOffline) {
  PictureFolder kept;
  kept.add("k.jpg", 10, 10, 1);
  auto removed = std::make_unique<PictureFolder>();
  removed->add("r.jpg", 10, 10, 2);
  const std::string removedId = serve({removed->root, kept.root});
  const std::string keptId = idOf(kept.root);
  std::vector<std::string> ids = listedIds();
  ASSERT_TRUE(contains(ids, removedId) && contains(ids, keptId));
  EXPECT_LT(std::find(ids.begin(), ids.end(), removedId), std::find(ids.begin(), ids.end(), keptId));

  removed.reset();
  ids = listedIds();
  EXPECT_FALSE(contains(ids, removedId));
  EXPECT_TRUE(contains(ids, keptId));
  ComPtr<IWiaItem> gone;
  EXPECT_EQ(createDevice(removedId, &gone), WIA_ERROR_OFFLINE);
}

TEST_F(FolderCamera, AFileGoneFromAnOpenCameraFailsItsTransferWithACode) {
  PictureFolder pictures;
  const fs::path doomed = pictures.add("doomed.jpg", 10, 10, 3);
  pictures.add("stays.jpg", 10, 10, 4);
  ComPtr<IWiaItem> root;
  std::vector<ComPtr<IWiaItem>> items = openCamera(pictures.root, &root);
  ASSERT_EQ(items.size(), 2u);
  fs::remove(doomed);
  for (auto& item : items) ASSERT_EQ(writeFormat(storageOf(item.get()).get(), WiaImgFmt_JPEG), S_OK);
  STGMEDIUM medium;
  std::string path;
  EXPECT_EQ(transfer(items[0].get(), &medium, &path), WIA_ERROR_ITEM_DELETED);
  EXPECT_EQ(medium.lpszFileName, nullptr);
  EXPECT_TRUE(temporaryEntries("").empty());
  ASSERT_EQ(transfer(items[1].get(), &medium, &path), S_OK);
  ReleaseStgMedium(&medium);
  // The next enumeration has the one that is there.
  EXPECT_EQ(children(root.get()).size(), 1u);
  pictures.add("new.jpg", 10, 10, 5);
  EXPECT_EQ(children(root.get()).size(), 2u);
}

}  // namespace
}  // namespace servicetest
