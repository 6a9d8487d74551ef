#include "WiaTestSupport.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>

#include "platform/posix/JpegErrorJump.h"

namespace wiatest {

const std::string kScannerId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";
const std::string kCameraId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";

void WiaTest::SetUp() {
  ASSERT_EQ(S_OK, CoInitialize(nullptr));
  winsim::reset();
  winsim::setJournalEnabled(true);
  start_ = winsim::census();
}

void WiaTest::TearDown() {
  EXPECT_EQ(start_, winsim::census()) << "still alive: " << winsim::describeLiveObjects();
  CoUninitialize();
}

ComPtr<IWiaDevMgr> manager() {
  ComPtr<IWiaDevMgr> result;
  EXPECT_EQ(S_OK, CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                                   result.putVoid()));
  return result;
}

HRESULT createDevice(const std::string& id, ComPtr<IWiaItem>* root) {
  std::u16string wide = winsim::toUtf16(id);
  BSTR name = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  const HRESULT hr = manager()->CreateDevice(name, root->put());
  SysFreeString(name);
  return hr;
}

ComPtr<IWiaItem> openDevice(const std::string& id) {
  ComPtr<IWiaItem> root;
  EXPECT_EQ(S_OK, createDevice(id, &root));
  return root;
}

ComPtr<IWiaItem> childAt(IWiaItem* root, unsigned position) {
  ComPtr<IEnumWiaItem> children;
  ComPtr<IWiaItem> child;
  EXPECT_EQ(S_OK, root->EnumChildItems(children.put()));
  if (!children) return child;
  if (position > 0) {
    EXPECT_EQ(S_OK, children->Skip(position));
  }
  EXPECT_EQ(S_OK, children->Next(1, child.put(), nullptr));
  return child;
}

ComPtr<IWiaPropertyStorage> storageOf(IUnknown* item) {
  ComPtr<IWiaPropertyStorage> storage;
  EXPECT_EQ(S_OK, item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()));
  return storage;
}

HRESULT read(IWiaPropertyStorage* storage, PROPID id, PROPVARIANT* value) {
  PROPSPEC propSpec{};
  propSpec.ulKind = PRSPEC_PROPID;
  propSpec.propid = id;
  return storage->ReadMultiple(1, &propSpec, value);
}

LONG readLong(IWiaPropertyStorage* storage, PROPID id) {
  PROPVARIANT value;
  EXPECT_EQ(S_OK, read(storage, id, &value));
  EXPECT_EQ(VT_I4, value.vt) << "property " << id;
  LONG result = value.lVal;
  FreePropVariantArray(1, &value);
  return result;
}

std::string readText(IWiaPropertyStorage* storage, PROPID id) {
  PROPVARIANT value;
  EXPECT_EQ(S_OK, read(storage, id, &value));
  EXPECT_EQ(VT_BSTR, value.vt) << "property " << id;
  std::string result =
      value.vt == VT_BSTR ? winsim::toUtf8(std::u16string(value.bstrVal, SysStringLen(value.bstrVal)))
                          : "";
  FreePropVariantArray(1, &value);
  return result;
}

HRESULT transfer(IUnknown* item, STGMEDIUM* medium, std::string* path, IWiaDataCallback* callback) {
  ComPtr<IWiaPropertyStorage> storage = storageOf(item);
  ComPtr<IWiaDataTransfer> data;
  path->clear();
  HRESULT hr = storage->QueryInterface(IID_IWiaDataTransfer, data.putVoid());
  if (FAILED(hr)) return hr;
  *medium = STGMEDIUM{};
  medium->tymed = TYMED_FILE;
  hr = data->idtGetData(medium, callback);
  if (hr == S_OK && medium->lpszFileName) *path = winsim::toUtf8(medium->lpszFileName);
  return hr;
}

HRESULT transferPage(IUnknown* item, Decoded* image, IWiaDataCallback* callback) {
  STGMEDIUM medium;
  std::string path;
  const HRESULT hr = transfer(item, &medium, &path, callback);
  if (hr != S_OK) {
    EXPECT_EQ(nullptr, medium.lpszFileName) << "a failed transfer hands out no file";
    return hr;
  }
  if (image) {
    EXPECT_TRUE(decodeJpeg(path, image)) << path;
  }
  ReleaseStgMedium(&medium);
  return hr;
}

std::vector<LONG> validValues(IWiaPropertyStorage* storage, PROPID id, ULONG* flags) {
  PROPSPEC propSpec{PRSPEC_PROPID, {id}};
  PROPVARIANT valid;
  EXPECT_EQ(S_OK, storage->GetPropertyAttributes(1, &propSpec, flags, &valid)) << "property " << id;
  std::vector<LONG> values;
  if (valid.vt == (VT_VECTOR | VT_I4)) values.assign(valid.cal.pElems, valid.cal.pElems + valid.cal.cElems);
  FreePropVariantArray(1, &valid);
  return values;
}

std::string refusalOf(const std::string& json) {
  try {
    winsim::loadDevices(json);
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "";
}

std::string journaledFile(const winsim::JournalEntry& entry) {
  const size_t at = entry.detail.find("file=");
  return at == std::string::npos ? std::string() : entry.detail.substr(at + 5);
}

std::vector<std::string> fedSides() {
  static const std::regex fed("sheet=([0-9]+ (front|back))|feeder=(empty|jammed)");
  std::vector<std::string> sides;
  for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) {
    std::smatch match;
    sides.push_back(!std::regex_search(entry.detail, match, fed) ? "" : match[match[1].matched ? 1 : 3].str());
  }
  return sides;
}

bool decodeJpeg(const std::string& path, Decoded* image) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  jpeg_decompress_struct info;
  winsim::wia::JpegErrorJump error;
  info.err = winsim::wia::jumpingErrors(&error);
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  image->width = static_cast<int>(info.output_width);
  image->height = static_cast<int>(info.output_height);
  image->components = info.output_components;
  image->xDensity = info.X_density;
  image->yDensity = info.Y_density;
  image->pixels.resize(static_cast<size_t>(image->width) * image->height * image->components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &image->pixels[static_cast<size_t>(info.output_scanline) * image->width *
                                  image->components];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return true;
}

namespace {
uint32_t le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<unsigned char>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
}  // namespace

bool readBitmap(const std::string& path, Bitmap* bmp) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bmp->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  bmp->actualSize = bmp->bytes.size();
  if (bmp->bytes.size() < 54 || bmp->bytes[0] != 'B' || bmp->bytes[1] != 'M') return false;
  bmp->fileSize = le32(bmp->bytes, 2);
  bmp->offBits = le32(bmp->bytes, 10);
  bmp->headerSize = le32(bmp->bytes, 14);
  bmp->width = static_cast<int32_t>(le32(bmp->bytes, 18));
  bmp->height = static_cast<int32_t>(le32(bmp->bytes, 22));
  bmp->bitCount = le16(bmp->bytes, 28);
  bmp->sizeImage = le32(bmp->bytes, 34);
  bmp->clrUsed = le32(bmp->bytes, 46);
  return true;
}

uint32_t Bitmap::pixel(int x, int y) const {
  size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
  size_t row = offBits + stride * static_cast<size_t>(height - 1 - y);  // bottom-up
  auto paletteGrey = [this](unsigned index) { return bytes[14 + headerSize + 4 * index]; };
  switch (bitCount) {
    case 1:
      return paletteGrey((bytes[row + x / 8] >> (7 - x % 8)) & 1);
    case 8:
      return paletteGrey(bytes[row + x]);
    default: {
      const unsigned char* p = &bytes[row + 3 * static_cast<size_t>(x)];
      return static_cast<uint32_t>(p[2]) << 16 | p[1] << 8 | p[0];
    }
  }
}

}  // namespace wiatest
