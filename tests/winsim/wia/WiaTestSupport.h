// Helpers for tests of the virtual WIA service: a fixture that starts every test from a
// fresh platform and checks that it gave everything back, and short forms of the calls the
// library makes. COM references are held in the library's ComPtr.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ComPtr.h"
#include "PropertyWrite.h"
#include "winsim/control.h"
#include "winsim/devices.h"

namespace wiatest {

extern const std::string kScannerId;
extern const std::string kCameraId;

class WiaTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  winsim::Census start_;
};

ComPtr<IWiaDevMgr> manager();
ComPtr<IWiaItem> openDevice(const std::string& id);
// CreateDevice's result for `id`; the root, when there is one, in `*root`.
HRESULT createDevice(const std::string& id, ComPtr<IWiaItem>* root);
ComPtr<IWiaItem> childAt(IWiaItem* root, unsigned position);
ComPtr<IWiaPropertyStorage> storageOf(IUnknown* item);

// One property by ID; the value is owned by the caller.
HRESULT read(IWiaPropertyStorage* storage, PROPID id, PROPVARIANT* value);
LONG readLong(IWiaPropertyStorage* storage, PROPID id);
std::string readText(IWiaPropertyStorage* storage, PROPID id);
// The library's own writes (PropertyWrite.h): one VT_I4 property, and the pair it writes
// first, the format with TYMED_FILE.
inline HRESULT writeLong(IWiaPropertyStorage* storage, PROPID id, LONG value) {
  return writeLongProperty(storage, id, value);
}
inline HRESULT writeFormat(IWiaPropertyStorage* storage, const GUID& format) {
  return writeFileFormatPair(storage, format);
}

// idtGetData with a file medium; the path is empty when the call fails. The caller releases
// the medium.
HRESULT transfer(IUnknown* item, STGMEDIUM* medium, std::string* path, IWiaDataCallback* callback = nullptr);

// The valid values GetPropertyAttributes reports for one property, and its flags.
std::vector<LONG> validValues(IWiaPropertyStorage* storage, PROPID id, ULONG* flags);
// The message with which loadDevices() refuses the device set `json`, or "" when it takes it.
std::string refusalOf(const std::string& json);
// The file a journal entry of idtGetData names ("file="), or "".
std::string journaledFile(const winsim::JournalEntry& entry);
// What each idtGetData in the journal took from a feeder: "1 front", "2 back", "empty",
// "jammed", or "" for a flatbed scan.
std::vector<std::string> fedSides();

struct Decoded {
  int width = 0, height = 0, components = 0;
  unsigned xDensity = 0, yDensity = 0;
  std::vector<unsigned char> pixels;  // top-down rows
};
bool decodeJpeg(const std::string& path, Decoded* image);
// One page as transfer() gets it, its medium released at once: the result, and the file's
// pixels when it was a JPEG that arrived.
HRESULT transferPage(IUnknown* item, Decoded* image = nullptr, IWiaDataCallback* callback = nullptr);

struct Bitmap {
  uint32_t fileSize = 0, offBits = 0, headerSize = 0, clrUsed = 0, sizeImage = 0;
  int32_t width = 0, height = 0;
  uint16_t bitCount = 0;
  std::vector<unsigned char> bytes;  // the whole file
  size_t actualSize = 0;
  // The pixel at (x, y), y from the top, as grey (1 and 8 bits) or packed RGB.
  uint32_t pixel(int x, int y) const;
};
bool readBitmap(const std::string& path, Bitmap* bitmap);

}  // namespace wiatest
