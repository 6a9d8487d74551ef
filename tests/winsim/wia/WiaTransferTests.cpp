// File transfers: real JPEG and BMP files of the size asked for, created safely, gone after
// ReleaseStgMedium.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "WiaTestSupport.h"

namespace wiatest {
namespace {

using TransferTest = WiaTest;

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

struct Scan {
  LONG dataType = WIA_DATA_COLOR;
  LONG dpi = 100;
  LONG x = -1, y = -1, width = -1, height = -1;
  LONG brightness = 0, contrast = 0;  // written when not 0
};

// Sets up the default scanner's flatbed item as the library does and transfers it.
HRESULT scan(const GUID& format, const Scan& settings, STGMEDIUM* medium, std::string* path) {
  auto root = openDevice(kScannerId);
  auto item = childAt(root.get(), 0);
  auto storage = storageOf(item.get());
  EXPECT_EQ(S_OK, writeFormat(storage.get(), format));
  EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_XRES, settings.dpi));
  EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_YRES, settings.dpi));
  EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPA_DATATYPE, settings.dataType));
  const std::pair<PROPID, LONG> area[] = {{WIA_IPS_XPOS, settings.x},
                                          {WIA_IPS_YPOS, settings.y},
                                          {WIA_IPS_XEXTENT, settings.width},
                                          {WIA_IPS_YEXTENT, settings.height}};
  for (const auto& [id, value] : area) {
    if (value != -1) {
      EXPECT_EQ(S_OK, writeLong(storage.get(), id, value)) << id;
    }
  }
  if (settings.brightness != 0) {
    EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_BRIGHTNESS, settings.brightness));
  }
  if (settings.contrast != 0) {
    EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_CONTRAST, settings.contrast));
  }
  return transfer(item.get(), medium, path);
}

TEST_F(TransferTest, ScannerJpegHasTheSizeAndDensityOfTheSettings) {
  STGMEDIUM medium;
  std::string path;
  Scan settings;
  settings.x = 100;
  settings.y = 50;
  settings.width = 300;
  settings.height = 200;
  ASSERT_EQ(S_OK, scan(WiaImgFmt_JPEG, settings, &medium, &path));
  Decoded image;
  ASSERT_TRUE(decodeJpeg(path, &image));
  EXPECT_EQ(300, image.width);
  EXPECT_EQ(200, image.height);
  EXPECT_EQ(3, image.components);
  EXPECT_EQ(100u, image.xDensity);
  ReleaseStgMedium(&medium);

  settings = Scan{};
  settings.dataType = WIA_DATA_GRAYSCALE;
  settings.dpi = 75;
  ASSERT_EQ(S_OK, scan(WiaImgFmt_JPEG, settings, &medium, &path));
  ASSERT_TRUE(decodeJpeg(path, &image));
  EXPECT_EQ(637, image.width);  // the whole bed at 75 dpi
  EXPECT_EQ(876, image.height);
  EXPECT_EQ(1, image.components);
  ReleaseStgMedium(&medium);
}

TEST_F(TransferTest, BitmapsCarryTheirColourTablesAndBottomUpPaddedRows) {
  struct Case {
    LONG dataType, bits, paletteEntries;
  } cases[] = {{WIA_DATA_THRESHOLD, 1, 2}, {WIA_DATA_GRAYSCALE, 8, 256}, {WIA_DATA_COLOR, 24, 0}};
  for (const auto& c : cases) {
    STGMEDIUM medium;
    std::string path;
    Scan settings;
    settings.dataType = c.dataType;
    settings.dpi = 50;
    settings.height = 101;  // 425 x 101 pixels: odd widths in bytes need padding
    ASSERT_EQ(S_OK, scan(WiaImgFmt_BMP, settings, &medium, &path));
    Bitmap bmp;
    ASSERT_TRUE(readBitmap(path, &bmp));
    SCOPED_TRACE(c.bits);
    EXPECT_EQ(425, bmp.width);
    EXPECT_EQ(101, bmp.height);
    EXPECT_EQ(c.bits, bmp.bitCount);
    EXPECT_EQ(40u, bmp.headerSize);
    EXPECT_EQ(static_cast<uint32_t>(c.paletteEntries), bmp.clrUsed);
    EXPECT_EQ(14u + 40u + 4u * c.paletteEntries, bmp.offBits);
    size_t stride = ((425u * c.bits + 31) / 32) * 4;
    EXPECT_EQ(stride * 101, bmp.sizeImage);
    EXPECT_EQ(bmp.offBits + stride * 101, bmp.fileSize);
    EXPECT_EQ(bmp.fileSize, bmp.actualSize);
    // Top left is the orientation mark; between colour bars and grey steps the chart is white.
    EXPECT_EQ(0u, bmp.pixel(10, 10));
    uint32_t white = c.bits == 24 ? 0xFFFFFFu : 255u;
    EXPECT_EQ(white, bmp.pixel(100, 95));
    ReleaseStgMedium(&medium);
  }
}

TEST_F(TransferTest, FilesAreNewPrivateAndGoneAfterReleaseStgMedium) {
  char dir[] = "/tmp/winsim-wia-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  const char* saved = std::getenv("TMPDIR");
  std::string savedValue = saved ? saved : "";
  setenv("TMPDIR", dir, 1);

  auto root = openDevice(kCameraId);
  auto picture = childAt(root.get(), 0);
  STGMEDIUM first, second;
  std::string firstPath, secondPath;
  ASSERT_EQ(S_OK, transfer(picture.get(), &first, &firstPath));  // cameras start with JPEG files
  ASSERT_EQ(S_OK, transfer(picture.get(), &second, &secondPath));
  EXPECT_NE(firstPath, secondPath);
  EXPECT_EQ(0u, firstPath.rfind(std::string(dir) + "/", 0)) << firstPath;
  struct stat info;
  ASSERT_EQ(0, ::stat(firstPath.c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 0777);
  EXPECT_EQ(nullptr, first.pUnkForRelease);
  ReleaseStgMedium(&first);
  ReleaseStgMedium(&second);
  EXPECT_FALSE(exists(firstPath));
  EXPECT_FALSE(exists(secondPath));

  if (saved) {
    setenv("TMPDIR", savedValue.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  EXPECT_EQ(0, ::rmdir(dir));  // empty: nothing was left behind
}

TEST_F(TransferTest, CameraPicturesDifferFromEachOther) {
  auto root = openDevice(kCameraId);
  std::vector<Decoded> pictures(3);
  for (unsigned i = 0; i < 3; ++i) {
    auto picture = childAt(root.get(), i);
    STGMEDIUM medium;
    std::string path;
    ASSERT_EQ(S_OK, transfer(picture.get(), &medium, &path));
    ASSERT_TRUE(decodeJpeg(path, &pictures[i]));
    EXPECT_EQ(320, pictures[i].width);
    EXPECT_EQ(240, pictures[i].height);
    ReleaseStgMedium(&medium);
  }
  auto difference = [](const Decoded& a, const Decoded& b) {
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / a.pixels.size();
  };
  EXPECT_GT(difference(pictures[0], pictures[1]), 20.0);
  EXPECT_GT(difference(pictures[1], pictures[2]), 20.0);
  EXPECT_GT(difference(pictures[0], pictures[2]), 20.0);
}

TEST_F(TransferTest, TheTestChartKeepsItsPhysicalSizeAtEveryResolution) {
  // The grid's half-inch squares: at 100 dpi a square is 50 pixels wide, at 200 dpi 100.
  // Find the first dark/light boundary of the grid row right of the left margin.
  auto squareWidth = [](LONG dpi) {
    STGMEDIUM medium;
    std::string path;
    Scan settings;
    settings.dpi = dpi;
    settings.y = 3000 * dpi / 1000;  // a row through the grid
    settings.height = 1;
    EXPECT_EQ(S_OK, scan(WiaImgFmt_BMP, settings, &medium, &path));
    Bitmap bmp;
    EXPECT_TRUE(readBitmap(path, &bmp));
    ReleaseStgMedium(&medium);
    int start = 800 * dpi / 1000 + 1;
    uint32_t first = bmp.pixel(start, 0);
    int x = start;
    while (x < bmp.width && bmp.pixel(x, 0) == first) ++x;
    return x - (800 * dpi / 1000);
  };
  EXPECT_EQ(50, squareWidth(100));
  EXPECT_EQ(100, squareWidth(200));
}

// FNV-1a over a bitmap's pixel bytes.
uint64_t fingerprintOf(const Bitmap& bmp) {
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = bmp.offBits; i < bmp.bytes.size(); ++i) hash = (hash ^ bmp.bytes[i]) * 1099511628211ull;
  return hash;
}

TEST_F(TransferTest, ScansAndPicturesKeepTheirPixels) {
  // The chart and the pictures pixel for pixel as they were first drawn, so that a faster
  // way of drawing them cannot move an edge: whole beds, areas across the ring, the bars and
  // the steps at odd resolutions, with brightness and contrast, in all three data types.
  struct Case {
    Scan settings;
    uint64_t fingerprint;
  };
  auto area = [](LONG dataType, LONG dpi, LONG x, LONG y, LONG width, LONG height) {
    Scan settings;
    settings.dataType = dataType;
    settings.dpi = dpi;
    settings.x = x, settings.y = y, settings.width = width, settings.height = height;
    return settings;
  };
  Scan adjusted = area(WIA_DATA_COLOR, 97, 3, 5, 700, 1000);
  adjusted.brightness = 300;
  adjusted.contrast = -200;
  const Case cases[] = {
      {area(WIA_DATA_COLOR, 75, -1, -1, -1, -1), 14713988983628364309ull},
      {area(WIA_DATA_COLOR, 300, 0, 0, 2550, 3507), 11140216576389087006ull},
      {area(WIA_DATA_GRAYSCALE, 131, 17, 33, 900, 1300), 2009182814675157164ull},
      {area(WIA_DATA_THRESHOLD, 600, 1000, 2500, 3000, 4000), 3167392298851175198ull},
      {area(WIA_DATA_COLOR, 1200, 5000, 9000, 1000, 600), 9071694351887505189ull},
      {adjusted, 11867695944514194875ull},
  };
  for (const Case& c : cases) {
    STGMEDIUM medium;
    std::string path;
    ASSERT_EQ(S_OK, scan(WiaImgFmt_BMP, c.settings, &medium, &path));
    Bitmap bmp;
    ASSERT_TRUE(readBitmap(path, &bmp));
    EXPECT_EQ(c.fingerprint, fingerprintOf(bmp)) << c.settings.dpi << " dpi, data type " << c.settings.dataType;
    ReleaseStgMedium(&medium);
  }

  const uint64_t pictures[] = {4375342537164013785ull, 12860444872679047438ull, 5155395654223457320ull};
  auto root = openDevice(kCameraId);
  for (unsigned i = 0; i < 3; ++i) {
    auto picture = childAt(root.get(), i);
    ASSERT_EQ(S_OK, writeFormat(storageOf(picture.get()).get(), WiaImgFmt_BMP));
    STGMEDIUM medium;
    std::string path;
    ASSERT_EQ(S_OK, transfer(picture.get(), &medium, &path));
    Bitmap bmp;
    ASSERT_TRUE(readBitmap(path, &bmp));
    EXPECT_EQ(pictures[i], fingerprintOf(bmp)) << "picture " << i;
    ReleaseStgMedium(&medium);
  }
}

}  // namespace
}  // namespace wiatest
