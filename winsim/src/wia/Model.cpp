// Items, properties and the write rules of the virtual devices.
#include "Model.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>

#include "CameraFiles.h"
#include "Feeder.h"
#include "Render.h"
#include "Values.h"

#ifdef _WIN32  // the C library of Windows names the UTC conversions differently
#define timegm _mkgmtime
#define gmtime_r(time, fields) gmtime_s((fields), (time))
#endif

namespace winsim::wia {
namespace {

constexpr ULONG kRead = WIA_PROP_READ;
constexpr ULONG kReadWrite = WIA_PROP_RW;
constexpr LONG kThumbWidth = 16;
constexpr LONG kThumbHeight = 12;
constexpr LONG kCameraDpi = 72;
constexpr LONG kMinBufferSize = 65536;
constexpr LONG kValidIntents = WIA_INTENT_IMAGE_TYPE_COLOR | WIA_INTENT_IMAGE_TYPE_GRAYSCALE |
                               WIA_INTENT_IMAGE_TYPE_TEXT | WIA_INTENT_MINIMIZE_SIZE |
                               WIA_INTENT_MAXIMIZE_QUALITY;
constexpr const char* kUiClsid = "{4DB1AD10-3391-11D2-9A33-00C04FA36145}";
constexpr VARTYPE kTimeVector = VT_VECTOR | VT_UI2;

struct Entry {
  PROPID id;
  VARTYPE vt;
  ULONG flags;
};

constexpr Entry kInfoProperties[] = {
    {WIA_DIP_DEV_ID, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_VEND_DESC, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_DEV_DESC, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_DEV_TYPE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DIP_PORT_NAME, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_DEV_NAME, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_SERVER_NAME, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_REMOTE_DEV_ID, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_UI_CLSID, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_HW_CONFIG, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DIP_BAUDRATE, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_STI_GEN_CAPABILITIES, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DIP_WIA_VERSION, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DIP_DRIVER_VERSION, VT_BSTR, kRead | WIA_PROP_NONE},
};

// Every item's: the root, the flatbed and the camera's pictures.
constexpr Entry kItemProperties[] = {
    {WIA_IPA_ITEM_NAME, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_IPA_FULL_ITEM_NAME, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_IPA_ITEM_FLAGS, VT_I4, kRead | WIA_PROP_FLAG},
    {WIA_IPA_ACCESS_RIGHTS, VT_I4, kRead | WIA_PROP_FLAG},
};

constexpr Entry kRootProperties[] = {
    {WIA_DPA_FIRMWARE_VERSION, VT_BSTR, kRead | WIA_PROP_NONE},
    {WIA_DPA_CONNECT_STATUS, VT_I4, kRead | WIA_PROP_LIST},
    {WIA_DPA_DEVICE_TIME, kTimeVector, kRead | WIA_PROP_NONE},
};

constexpr Entry kScannerRootProperties[] = {
    {WIA_DPS_HORIZONTAL_BED_SIZE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_VERTICAL_BED_SIZE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_DOCUMENT_HANDLING_STATUS, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_DOCUMENT_HANDLING_SELECT, VT_I4, kReadWrite | WIA_PROP_FLAG},
    {WIA_DPS_OPTICAL_XRES, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_OPTICAL_YRES, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_MAX_SCAN_TIME, VT_I4, kRead | WIA_PROP_NONE},
};

// A scanner's root with a document feeder has these besides.
constexpr Entry kFeederRootProperties[] = {
    {WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_VERTICAL_SHEET_FEED_SIZE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPS_PAGES, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_DPS_PAGE_SIZE, VT_I4, kReadWrite | WIA_PROP_LIST},
    {WIA_DPS_PAGE_WIDTH, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_DPS_PAGE_HEIGHT, VT_I4, kReadWrite | WIA_PROP_RANGE},
};

constexpr Entry kCameraRootProperties[] = {
    {WIA_DPC_PICTURES_TAKEN, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPC_PICTURES_REMAINING, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPC_BATTERY_STATUS, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPC_THUMB_WIDTH, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPC_THUMB_HEIGHT, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPC_PICT_WIDTH, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_DPC_PICT_HEIGHT, VT_I4, kRead | WIA_PROP_NONE},
};

// Shared by the flatbed item and the camera's pictures.
constexpr Entry kImageProperties[] = {
    {WIA_IPA_PREFERRED_FORMAT, VT_CLSID, kRead | WIA_PROP_NONE},
    {WIA_IPA_FORMAT, VT_CLSID, kReadWrite | WIA_PROP_LIST},
    {WIA_IPA_TYMED, VT_I4, kReadWrite | WIA_PROP_LIST},
    {WIA_IPA_CHANNELS_PER_PIXEL, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPA_BITS_PER_CHANNEL, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPA_PLANAR, VT_I4, kRead | WIA_PROP_LIST},
    {WIA_IPA_PIXELS_PER_LINE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPA_BYTES_PER_LINE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPA_NUMBER_OF_LINES, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPA_ITEM_SIZE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPA_MIN_BUFFER_SIZE, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPA_FILENAME_EXTENSION, VT_BSTR, kRead | WIA_PROP_NONE},
};

constexpr Entry kFlatbedProperties[] = {
    {WIA_IPA_DATATYPE, VT_I4, kReadWrite | WIA_PROP_LIST},
    {WIA_IPA_DEPTH, VT_I4, kReadWrite | WIA_PROP_LIST},
    {WIA_IPA_COMPRESSION, VT_I4, kReadWrite | WIA_PROP_LIST},
    {WIA_IPS_CUR_INTENT, VT_I4, kReadWrite | WIA_PROP_FLAG},
    {WIA_IPS_XRES, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_YRES, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_XPOS, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_YPOS, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_XEXTENT, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_YEXTENT, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_PHOTOMETRIC_INTERP, VT_I4, kRead | WIA_PROP_LIST},
    {WIA_IPS_BRIGHTNESS, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_CONTRAST, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_ORIENTATION, VT_I4, kRead | WIA_PROP_LIST},
    {WIA_IPS_THRESHOLD, VT_I4, kReadWrite | WIA_PROP_RANGE},
    {WIA_IPS_WARM_UP_TIME, VT_I4, kRead | WIA_PROP_NONE},
};

constexpr Entry kPictureProperties[] = {
    {WIA_IPA_ITEM_TIME, kTimeVector, kRead | WIA_PROP_NONE},
    {WIA_IPA_DATATYPE, VT_I4, kRead | WIA_PROP_LIST},
    {WIA_IPA_DEPTH, VT_I4, kRead | WIA_PROP_LIST},
    {WIA_IPA_COMPRESSION, VT_I4, kRead | WIA_PROP_LIST},
    {WIA_IPC_THUMBNAIL, VT_VECTOR | VT_UI1, kRead | WIA_PROP_NONE},
    {WIA_IPC_THUMB_WIDTH, VT_I4, kRead | WIA_PROP_NONE},
    {WIA_IPC_THUMB_HEIGHT, VT_I4, kRead | WIA_PROP_NONE},
};

template <size_t N>
void append(std::vector<PropertyInfo>& list, const Entry (&entries)[N]) {
  for (const auto& entry : entries) {
    list.push_back({entry.id, propertyName(entry.id), entry.vt, entry.flags});
  }
}

PropertyValue timeVector(const SYSTEMTIME& t) {
  return PropertyValue::vector(VT_UI2, {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour,
                                        t.wMinute, t.wSecond, t.wMilliseconds});
}

SYSTEMTIME systemTimeOf(std::time_t when) {
  std::tm t{};
  gmtime_r(&when, &t);
  return SYSTEMTIME{static_cast<WORD>(t.tm_year + 1900), static_cast<WORD>(t.tm_mon + 1),
                    static_cast<WORD>(t.tm_wday), static_cast<WORD>(t.tm_mday),
                    static_cast<WORD>(t.tm_hour), static_cast<WORD>(t.tm_min),
                    static_cast<WORD>(t.tm_sec), 0};
}

// The time `minutes` after 2024-05-03 10:30 UTC.
SYSTEMTIME timeAfter(long long minutes) {
  std::tm base{};
  base.tm_year = 2024 - 1900;
  base.tm_mon = 4;
  base.tm_mday = 3;
  base.tm_hour = 10;
  base.tm_min = 30;
  return systemTimeOf(timegm(&base) + static_cast<std::time_t>(minutes) * 60);
}

// A file's modification time, UTC; all zeros when the camera does not say.
SYSTEMTIME fileTime(const CameraFile& file) {
  // 1601-01-01 and 9999-12-31, the years a SYSTEMTIME and every C library hold.
  constexpr int64_t kEarliest = -11644473600LL;
  constexpr int64_t kLatest = 253402300799LL;
  if (!file.hasTime || file.modified < kEarliest || file.modified > kLatest) return SYSTEMTIME{};
  return systemTimeOf(static_cast<std::time_t>(file.modified));
}

LONG bytesPerLine(LONG width, LONG bitsPerPixel) {
  return static_cast<LONG>(((static_cast<long long>(width) * bitsPerPixel + 31) / 32) * 4);
}

// Bits per pixel of the file a transfer writes: files carry at most 8 bits per channel.
LONG fileDepth(LONG depth) { return depth == 16 ? 8 : depth == 48 ? 24 : depth; }

bool contains(const std::vector<LONG>& values, LONG value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

LONG nearestIn(const std::vector<LONG>& values, LONG value) {
  LONG best = values.front();
  for (LONG candidate : values) {
    if (std::llabs(static_cast<long long>(candidate) - value) <
        std::llabs(static_cast<long long>(best) - value)) {
      best = candidate;
    }
  }
  return best;
}

// Checks `value` against a range {min, nominal, max, step}. With `nearest`, replaces a value
// outside it by the nearest valid one instead of refusing it.
bool fitRange(LONG min, LONG max, LONG step, bool nearest, LONG* value) {
  if (max < min) return false;
  long long v = *value;
  bool valid = v >= min && v <= max && (v - min) % step == 0;
  if (valid) return true;
  if (!nearest) return false;
  v = std::clamp<long long>(v, min, max);
  long long steps = (v - min + step / 2) / step;
  v = std::min<long long>(min + steps * step, max - (max - min) % step);
  *value = static_cast<LONG>(v);
  return true;
}

bool fitList(const std::vector<LONG>& values, bool nearest, LONG* value) {
  if (contains(values, *value)) return true;
  if (!nearest || values.empty()) return false;
  *value = nearestIn(values, *value);
  return true;
}

// Keeps a scan area of one axis on the bed of `bed` pixels.
void clampArea(LONG bed, LONG* position, LONG* extent) {
  *position = std::clamp<LONG>(*position, 0, bed - 1);
  *extent = std::clamp<LONG>(*extent, 1, bed - *position);
}

LONG rescale(LONG value, LONG from, LONG to) {
  return static_cast<LONG>((static_cast<long long>(value) * to + from / 2) / from);
}

// One axis of the scan area: resolution, position and extent, and which of them the write
// names. Applies the driver rules in dependency order.
struct Axis {
  LONG* resolution;
  LONG* position;
  LONG* extent;
  const LONG* newResolution;
  const LONG* newPosition;
  const LONG* newExtent;
};

// The flatbed's image adjustments, ranges of whole numbers: GetPropertyAttributes reports
// them (with the item's default as the nominal value) and writes are checked against them.
struct Adjustment {
  PROPID id;
  LONG min, max;
  LONG ItemSettings::*setting;
};
constexpr Adjustment kAdjustments[] = {
    {WIA_IPS_BRIGHTNESS, -1000, 1000, &ItemSettings::brightness},
    {WIA_IPS_CONTRAST, -1000, 1000, &ItemSettings::contrast},
    {WIA_IPS_THRESHOLD, 0, 255, &ItemSettings::threshold},
};

const Adjustment* adjustmentOf(PROPID id) {
  for (const Adjustment& adjustment : kAdjustments) {
    if (adjustment.id == id) return &adjustment;
  }
  return nullptr;
}

// The page of a named WIA 1.0 size, portrait.
Glass namedPage(LONG pageSize) { return pageSize == WIA_PAGE_LETTER ? Glass{8500, 11000} : Glass{8267, 11692}; }

// A source selection a driver takes: one source, the duplexer only with the feeder, and a
// side order only with the duplexer.
bool validSelect(LONG select, LONG selectable) {
  if ((select & ~selectable) != 0) return false;
  const bool feeder = (select & FEEDER) != 0;
  if (feeder == ((select & FLATBED) != 0)) return false;
  if ((select & DUPLEX) && !feeder) return false;
  const LONG order = select & (FRONT_FIRST | BACK_FIRST);
  return order == 0 || ((select & DUPLEX) && order != (FRONT_FIRST | BACK_FIRST));
}

}  // namespace

bool ItemSettings::operator==(const ItemSettings& o) const {
  return tymed == o.tymed && format == o.format && dataType == o.dataType && depth == o.depth &&
         xres == o.xres && yres == o.yres && xpos == o.xpos && ypos == o.ypos &&
         xextent == o.xextent && yextent == o.yextent && brightness == o.brightness &&
         contrast == o.contrast && threshold == o.threshold && intent == o.intent &&
         documentSelect == o.documentSelect && pages == o.pages && pageSize == o.pageSize &&
         pageWidth == o.pageWidth && pageHeight == o.pageHeight;
}

LONG bedPixels(LONG thousandths, LONG dpi) {
  return static_cast<LONG>(static_cast<long long>(thousandths) * dpi / 1000);
}

namespace {

// The properties of an item of `kind`, in ascending ID order, with the device information
// overrides `info` applied to the information storage and the root item.
std::vector<PropertyInfo> buildProperties(ItemKind kind, DeviceKind deviceKind, bool resolutionList, bool feeder,
                                          const std::vector<std::pair<PROPID, PropertyValue>>& info,
                                          bool files = false) {
  std::vector<PropertyInfo> list;
  switch (kind) {
    case ItemKind::Info:
      append(list, kInfoProperties);
      break;
    case ItemKind::Root:
      append(list, kInfoProperties);
      append(list, kRootProperties);
      append(list, kItemProperties);
      if (deviceKind == DeviceKind::Scanner) {
        append(list, kScannerRootProperties);
        if (feeder) append(list, kFeederRootProperties);
      } else {
        append(list, kCameraRootProperties);
      }
      break;
    case ItemKind::Flatbed:
      append(list, kItemProperties);
      append(list, kImageProperties);
      append(list, kFlatbedProperties);
      if (resolutionList) {
        for (auto& info : list) {
          if (info.id == WIA_IPS_XRES || info.id == WIA_IPS_YRES) {
            info.flags = kReadWrite | WIA_PROP_LIST;
          }
        }
      }
      break;
    case ItemKind::Picture:
      append(list, kItemProperties);
      append(list, kImageProperties);
      append(list, kPictureProperties);
      break;
  }
  if (kind == ItemKind::Info || kind == ItemKind::Root) {
    for (const auto& [id, value] : info) {
      auto found = std::find_if(list.begin(), list.end(),
                                [id = id](const PropertyInfo& info) { return info.id == id; });
      if (value.vt == VT_EMPTY) {
        if (found != list.end()) list.erase(found);
      } else if (found != list.end()) {
        found->vt = value.vt;
      } else {
        list.push_back({id, propertyName(id), value.vt, kRead | WIA_PROP_NONE});
      }
    }
  }
  // Pictures that are a camera's own files have no thumbnail made up for them.
  if (files) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const PropertyInfo& info) {
                                return info.id == WIA_IPC_THUMBNAIL || info.id == WIA_IPC_THUMB_WIDTH ||
                                       info.id == WIA_IPC_THUMB_HEIGHT || info.id == WIA_DPC_THUMB_WIDTH ||
                                       info.id == WIA_DPC_THUMB_HEIGHT;
                              }),
               list.end());
  }
  std::sort(list.begin(), list.end(),
            [](const PropertyInfo& a, const PropertyInfo& b) { return a.id < b.id; });
  return list;
}

// The tables of devices without information overrides, built once for the process: every
// device of a kind shares them, so opening a device builds no table.
const std::vector<PropertyInfo>& standardTable(ItemKind kind, DeviceKind deviceKind, bool resolutionList,
                                               bool feeder) {
  constexpr ItemKind kKinds[] = {ItemKind::Info, ItemKind::Root, ItemKind::Flatbed, ItemKind::Picture};
  constexpr DeviceKind kDevices[] = {DeviceKind::Scanner, DeviceKind::Camera};
  auto indexOf = [](size_t k, size_t d, bool list, bool withFeeder) {
    return ((k * 2 + d) * 2 + (list ? 1 : 0)) * 2 + (withFeeder ? 1 : 0);
  };
  static const std::vector<std::vector<PropertyInfo>> tables = [&] {
    std::vector<std::vector<PropertyInfo>> built(32);
    for (size_t k = 0; k < 4; ++k) {
      for (size_t d = 0; d < 2; ++d) {
        for (bool list : {false, true}) {
          for (bool withFeeder : {false, true}) {
            built[indexOf(k, d, list, withFeeder)] = buildProperties(kKinds[k], kDevices[d], list, withFeeder, {});
          }
        }
      }
    }
    return built;
  }();
  const size_t device = deviceKind == DeviceKind::Scanner ? 0 : 1;
  return tables[indexOf(static_cast<size_t>(kind), device, resolutionList, feeder)];
}

}  // namespace

std::string generatedPictureName(unsigned number) {
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%04u", number);
  return name;
}

unsigned generatedPictureNumber(const std::string& name) {
  const std::string digits = name.substr(std::min<size_t>(name.size(), 4));
  if (name.compare(0, 4, "IMG_") != 0 || digits.empty() || digits.size() > 10 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  const unsigned long long number = std::stoull(digits);
  if (number == 0 || number > UINT32_MAX) return 0;
  return generatedPictureName(static_cast<unsigned>(number)) == name ? static_cast<unsigned>(number) : 0;
}

DeviceModel::DeviceModel(std::shared_ptr<const DeviceSpec> deviceSpec, std::shared_ptr<Feeder> feeder,
                         std::shared_ptr<const CameraFiles> files)
    : spec_(std::move(deviceSpec)), feeder_(std::move(feeder)), files_(std::move(files)) {
  listedPictures_ = static_cast<unsigned>(spec_->pictures.size());
  const bool resolutionList = !spec_->resolutions.empty();
  const bool withFeeder = spec_->kind == DeviceKind::Scanner && spec_->feeder.has_value();
  for (ItemKind kind : {ItemKind::Info, ItemKind::Root, ItemKind::Flatbed, ItemKind::Picture}) {
    const auto index = static_cast<size_t>(kind);
    standardTables_[index] = &standardTable(kind, spec_->kind, resolutionList, withFeeder);
    // A device with information overrides has tables of its own for the items they touch.
    ownsTable_[index] = (!spec_->info.empty() && (kind == ItemKind::Info || kind == ItemKind::Root)) ||
                        (files_ && (kind == ItemKind::Root || kind == ItemKind::Picture));
    if (ownsTable_[index]) {
      ownTables_[index] = buildProperties(kind, spec_->kind, resolutionList, withFeeder, spec_->info, files_ != nullptr);
    }
  }
}

bool DeviceModel::hasSettings(ItemRef item) const {
  return item.kind == ItemKind::Flatbed || item.kind == ItemKind::Picture ||
         (item.kind == ItemKind::Root && spec_->kind == DeviceKind::Scanner);
}

Glass DeviceModel::glass(const ItemSettings& s) const {
  if (s.documentSelect & FEEDER) return {s.pageWidth, s.pageHeight};
  return {spec_->bedWidth, spec_->bedHeight};
}

LONG DeviceModel::selectableBits() const {
  LONG bits = spec_->flatbed ? FLATBED : 0;
  if (spec_->feeder) bits |= FEEDER;
  if (spec_->feeder && spec_->feeder->duplex) bits |= DUPLEX | FRONT_FIRST;
  if (spec_->feeder && spec_->feeder->duplex && spec_->feeder->backFirst) bits |= BACK_FIRST;
  return bits;
}

std::vector<LONG> DeviceModel::pageSizes() const {
  std::vector<LONG> sizes;
  if (!spec_->feeder) return sizes;
  for (LONG size : {WIA_PAGE_A4, WIA_PAGE_LETTER}) {
    const Glass page = namedPage(size);
    if (page.width <= spec_->feeder->sheetWidth && page.height <= spec_->feeder->sheetHeight) sizes.push_back(size);
  }
  sizes.push_back(WIA_PAGE_CUSTOM);
  return sizes;
}

LONG DeviceModel::mostPages() const {
  return static_cast<LONG>(kFeederCapacity) * (spec_->feeder && spec_->feeder->duplex ? 2 : 1);
}

unsigned DeviceModel::childCount() const {
  if (spec_->kind == DeviceKind::Scanner) return 1;
  if (files_) return static_cast<unsigned>(files_->currentCount());
  return listedPictures_ + spec_->generatedPictures;
}

ItemRef DeviceModel::child(unsigned position) const {
  if (spec_->kind == DeviceKind::Scanner) return {ItemKind::Flatbed, 0};
  if (files_) return {ItemKind::Picture, files_->currentAt(position)};
  return {ItemKind::Picture, position};
}

bool DeviceModel::findChild(const std::string& name, ItemRef* item) const {
  if (spec_->kind == DeviceKind::Scanner) {
    if (name != "Flatbed") return false;
    *item = {ItemKind::Flatbed, 0};
    return true;
  }
  if (files_) {
    unsigned index = 0;
    if (!files_->find(name, &index)) return false;
    *item = {ItemKind::Picture, index};
    return true;
  }
  for (unsigned i = 0; i < listedPictures_; ++i) {
    if (spec_->pictures[i].name == name) {
      *item = {ItemKind::Picture, i};
      return true;
    }
  }
  const unsigned number = generatedPictureNumber(name);
  if (number > listedPictures_ && number <= childCount()) {
    *item = {ItemKind::Picture, number - 1};
    return true;
  }
  return false;
}

PictureSpec DeviceModel::picture(unsigned index) const {
  if (index < listedPictures_) return spec_->pictures[index];
  PictureSpec generated;
  generated.name = generatedPictureName(index + 1);
  generated.width = spec_->generatedWidth;
  generated.height = spec_->generatedHeight;
  generated.taken = timeAfter(index);
  return generated;
}

std::string DeviceModel::itemName(ItemRef item) const {
  switch (item.kind) {
    case ItemKind::Info:
    case ItemKind::Root:
      return "Root";
    case ItemKind::Flatbed:
      return "Flatbed";
    case ItemKind::Picture:
      return isFile(item) ? files_->at(item.index).name() : picture(item.index).name;
  }
  return {};
}

std::string DeviceModel::fullName(ItemRef item) const {
  if (item.kind == ItemKind::Info) return spec_->id;
  // A camera's file is named by its place on the camera, its name being no more unique there.
  if (isFile(item)) return fullItemName(spec_->id, files_->at(item.index).itemPath());
  return fullItemName(spec_->id, item.kind == ItemKind::Root ? "" : itemName(item));
}

LONG DeviceModel::itemType(ItemRef item) const {
  if (item.kind == ItemKind::Root) {
    return WiaItemTypeFolder | WiaItemTypeDevice | WiaItemTypeRoot;
  }
  if (isFile(item) && files_->at(item.index).format == WiaImgFmt_UNDEFINED) return WiaItemTypeFile;
  return WiaItemTypeImage | WiaItemTypeFile;
}

std::vector<LONG> DeviceModel::tymeds(ItemRef item) const {
  // A camera's file goes out as the file it is; nothing decodes it for a callback.
  if (isFile(item)) return {TYMED_FILE};
  std::vector<LONG> media;
  if (spec_->jpegFiles || spec_->bmpFiles) media.push_back(TYMED_FILE);
  media.push_back(TYMED_CALLBACK);
  return media;
}

std::vector<GUID> DeviceModel::formatsFor(ItemRef item, LONG tymed) const {
  std::vector<GUID> formats;
  if (isFile(item)) {
    if (tymed == TYMED_FILE) formats.push_back(files_->at(item.index).format);
  } else if (tymed == TYMED_CALLBACK) {
    formats.push_back(WiaImgFmt_MEMORYBMP);
  } else if (tymed == TYMED_FILE) {
    // Cameras list their native JPEG first; scanners their native BMP.
    bool camera = spec_->kind == DeviceKind::Camera;
    if (camera && spec_->jpegFiles) formats.push_back(WiaImgFmt_JPEG);
    if (spec_->bmpFiles) formats.push_back(WiaImgFmt_BMP);
    if (!camera && spec_->jpegFiles) formats.push_back(WiaImgFmt_JPEG);
  }
  return formats;
}

GUID DeviceModel::preferredFormat(ItemRef item, LONG tymed) const {
  if (isFile(item)) return files_->at(item.index).format;
  std::vector<GUID> formats = formatsFor(item, tymed);
  if (formats.empty()) formats = formatsFor(item, TYMED_CALLBACK);
  return formats.front();
}

std::vector<LONG> DeviceModel::depthsFor(LONG dataType) const {
  switch (dataType) {
    case WIA_DATA_THRESHOLD:
      return {1};
    case WIA_DATA_GRAYSCALE:
      return spec_->deepColour ? std::vector<LONG>{8, 16} : std::vector<LONG>{8};
    default:
      return spec_->deepColour ? std::vector<LONG>{24, 48} : std::vector<LONG>{24};
  }
}

ItemSettings DeviceModel::defaults(ItemRef item) const {
  ItemSettings s;
  if (isFile(item)) {
    // Its size in pixels is the file's business: unknown here.
    s.tymed = TYMED_FILE;
    s.format = preferredFormat(item, s.tymed);
    s.xres = s.yres = kCameraDpi;
    return s;
  }
  if (item.kind == ItemKind::Picture) {
    PictureSpec p = picture(item.index);
    s.tymed = tymeds(item).front();
    s.format = preferredFormat(item, s.tymed);
    s.xres = s.yres = kCameraDpi;
    s.xextent = p.width;
    s.yextent = p.height;
    return s;
  }
  if (!hasSettings(item)) return s;
  // Scanners start as their drivers do: a callback transfer of a memory bitmap from the
  // flatbed; the feeder's page is the first named size the feeder takes, else its sheet.
  if (spec_->feeder) {
    s.pageSize = pageSizes().front();
    const Glass page = s.pageSize == WIA_PAGE_CUSTOM ? Glass{spec_->feeder->sheetWidth, spec_->feeder->sheetHeight}
                                                     : namedPage(s.pageSize);
    s.pageWidth = page.width;
    s.pageHeight = page.height;
  }
  s.tymed = TYMED_CALLBACK;
  s.format = WiaImgFmt_MEMORYBMP;
  s.dataType = contains(spec_->dataTypes, WIA_DATA_COLOR) ? WIA_DATA_COLOR : spec_->dataTypes.front();
  s.depth = depthsFor(s.dataType).front();
  s.xres = s.yres = spec_->resolutionNominal;
  s.documentSelect = spec_->flatbed || !spec_->feeder ? FLATBED : FEEDER;
  s.xextent = bedPixels(glass(s).width, s.xres);
  s.yextent = bedPixels(glass(s).height, s.yres);
  return s;
}

const PropertyValue* DeviceModel::infoOverride(PROPID id) const {
  const PropertyValue* found = nullptr;
  for (const auto& [propid, value] : spec_->info) {
    if (propid == id) found = &value;
  }
  return found;
}

const std::vector<PropertyInfo>& DeviceModel::properties(ItemRef item) const {
  const auto kind = static_cast<size_t>(item.kind);
  return ownsTable_[kind] ? ownTables_[kind] : *standardTables_[kind];
}

bool DeviceModel::property(ItemRef item, PROPID id, PropertyInfo* info) const {
  const std::vector<PropertyInfo>& list = properties(item);
  auto found = std::lower_bound(list.begin(), list.end(), id,
                                [](const PropertyInfo& candidate, PROPID wanted) { return candidate.id < wanted; });
  if (found == list.end() || found->id != id) return false;
  *info = *found;
  return true;
}

PropertyValue DeviceModel::value(ItemRef item, const ItemSettings& s, PROPID id) const {
  PropertyInfo info;
  if (!property(item, id, &info)) return PropertyValue::missing();
  if (item.kind == ItemKind::Info || item.kind == ItemKind::Root) {
    if (const PropertyValue* replaced = infoOverride(id)) return *replaced;
  }
  const DeviceSpec& d = *spec_;
  bool camera = d.kind == DeviceKind::Camera;
  // The image a transfer would deliver; the root has none.
  bool image = item.kind == ItemKind::Flatbed || item.kind == ItemKind::Picture;
  LONG width = image ? s.xextent : 0;
  LONG height = image ? s.yextent : 0;
  LONG channels = s.dataType == WIA_DATA_COLOR ? 3 : 1;
  LONG paletteBytes = fileDepth(s.depth) <= 8 ? (4 << fileDepth(s.depth)) : 0;
  LONG lineBytes = bytesPerLine(width, fileDepth(s.depth));
  switch (id) {
    case WIA_DIP_DEV_ID:
      return PropertyValue::bstr(d.id);
    case WIA_DIP_VEND_DESC:
      return PropertyValue::bstr(d.vendor);
    case WIA_DIP_DEV_DESC:
      return PropertyValue::bstr(d.description);
    case WIA_DIP_DEV_TYPE:
      return PropertyValue::i4(static_cast<LONG>(
          (static_cast<DWORD>(camera ? StiDeviceTypeDigitalCamera : StiDeviceTypeScanner) << 16) |
          d.subtype));
    case WIA_DIP_PORT_NAME:
      return PropertyValue::bstr(d.port);
    case WIA_DIP_DEV_NAME:
      return PropertyValue::bstr(d.name);
    case WIA_DIP_SERVER_NAME:
      return PropertyValue::bstr("local");
    case WIA_DIP_REMOTE_DEV_ID:
    case WIA_DIP_BAUDRATE:
      return PropertyValue::bstr("");
    case WIA_DIP_UI_CLSID:
      return PropertyValue::bstr(kUiClsid);
    case WIA_DIP_HW_CONFIG:
    case WIA_DIP_STI_GEN_CAPABILITIES:
    case WIA_IPA_COMPRESSION:
    case WIA_IPA_PLANAR:
    case WIA_IPS_ORIENTATION:
    case WIA_IPS_WARM_UP_TIME:
      return PropertyValue::i4(0);
    case WIA_DIP_WIA_VERSION:
      return PropertyValue::bstr("1.0");
    case WIA_DIP_DRIVER_VERSION:
      return PropertyValue::bstr("1.0.0.0");
    case WIA_DPA_FIRMWARE_VERSION:
      return PropertyValue::bstr("1.0");
    case WIA_DPA_CONNECT_STATUS:
      return PropertyValue::i4(1);
    case WIA_DPA_DEVICE_TIME:
      return timeVector(timeAfter(0));
    case WIA_IPA_ITEM_NAME:
      return PropertyValue::bstr(itemName(item));
    case WIA_IPA_FULL_ITEM_NAME:
      return PropertyValue::bstr(fullName(item));
    case WIA_IPA_ITEM_FLAGS:
      return PropertyValue::i4(itemType(item));
    case WIA_IPA_ITEM_TIME:
      return timeVector(isFile(item) ? fileTime(files_->at(item.index)) : picture(item.index).taken);
    case WIA_IPA_ACCESS_RIGHTS:
      return PropertyValue::i4(item.kind == ItemKind::Picture ? WIA_ITEM_RD : WIA_ITEM_READ);
    case WIA_DPS_HORIZONTAL_BED_SIZE:
      return PropertyValue::i4(d.bedWidth);
    case WIA_DPS_VERTICAL_BED_SIZE:
      return PropertyValue::i4(d.bedHeight);
    case WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE:
      return PropertyValue::i4(d.feeder ? d.feeder->sheetWidth : 0);
    case WIA_DPS_VERTICAL_SHEET_FEED_SIZE:
      return PropertyValue::i4(d.feeder ? d.feeder->sheetHeight : 0);
    case WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES: {
      LONG capabilities = d.flatbed ? FLAT : 0;
      if (d.feeder) capabilities |= FEED;
      if (feeder_) capabilities |= DETECT_FEED;
      if (d.feeder && d.feeder->duplex) capabilities |= DUP;
      return PropertyValue::i4(capabilities);
    }
    case WIA_DPS_DOCUMENT_HANDLING_STATUS: {
      LONG status = d.flatbed ? FLAT_READY : 0;
      if (d.feeder && !feeder_) {
        // A feeder that cannot tell whether paper is loaded is ready to try: an empty one
        // shows when a page starts.
        status |= FEED_READY;
        if (s.documentSelect & DUPLEX) status |= DUP_READY;
      } else if (feeder_) {
        const FeederState paper = feeder_->state();
        const bool ready = !paper.jammed && (paper.sheetsLeft > 0 || paper.sideWaiting);
        if (ready) status |= FEED_READY;
        if (ready && (s.documentSelect & DUPLEX)) status |= DUP_READY;
        if (paper.jammed) status |= PAPER_JAM;
      }
      return PropertyValue::i4(status);
    }
    case WIA_DPS_DOCUMENT_HANDLING_SELECT:
      return PropertyValue::i4(s.documentSelect);
    case WIA_DPS_PAGES:
      return PropertyValue::i4(s.pages);
    case WIA_DPS_PAGE_SIZE:
      return PropertyValue::i4(s.pageSize);
    case WIA_DPS_PAGE_WIDTH:
      return PropertyValue::i4(s.pageWidth);
    case WIA_DPS_PAGE_HEIGHT:
      return PropertyValue::i4(s.pageHeight);
    case WIA_DPS_OPTICAL_XRES:
    case WIA_DPS_OPTICAL_YRES:
      return PropertyValue::i4(d.resolutions.empty()
                                   ? d.resolutionMax
                                   : *std::max_element(d.resolutions.begin(), d.resolutions.end()));
    case WIA_DPS_MAX_SCAN_TIME:
      return PropertyValue::i4(60000);
    case WIA_DPC_PICTURES_TAKEN:
      return PropertyValue::i4(static_cast<LONG>(childCount()));
    case WIA_DPC_PICTURES_REMAINING:
      return PropertyValue::i4(250);
    case WIA_DPC_BATTERY_STATUS:
      return PropertyValue::i4(100);
    case WIA_DPC_THUMB_WIDTH:
    case WIA_IPC_THUMB_WIDTH:
      return PropertyValue::i4(kThumbWidth);
    case WIA_DPC_THUMB_HEIGHT:
    case WIA_IPC_THUMB_HEIGHT:
      return PropertyValue::i4(kThumbHeight);
    case WIA_DPC_PICT_WIDTH:
      return PropertyValue::i4(!files_ && childCount() ? picture(0).width : 0);
    case WIA_DPC_PICT_HEIGHT:
      return PropertyValue::i4(!files_ && childCount() ? picture(0).height : 0);
    case WIA_IPA_DATATYPE:
      return PropertyValue::i4(s.dataType);
    case WIA_IPA_DEPTH:
      return PropertyValue::i4(s.depth);
    case WIA_IPA_PREFERRED_FORMAT:
      return PropertyValue::clsid(preferredFormat(item, TYMED_FILE));
    case WIA_IPA_FORMAT:
      return PropertyValue::clsid(s.format);
    case WIA_IPA_TYMED:
      return PropertyValue::i4(s.tymed);
    case WIA_IPA_CHANNELS_PER_PIXEL:
      return PropertyValue::i4(channels);
    case WIA_IPA_BITS_PER_CHANNEL:
      return PropertyValue::i4(s.depth / channels);
    case WIA_IPA_PIXELS_PER_LINE:
      return PropertyValue::i4(width);
    case WIA_IPA_BYTES_PER_LINE:
      return PropertyValue::i4(lineBytes);
    case WIA_IPA_NUMBER_OF_LINES:
      return PropertyValue::i4(height);
    case WIA_IPA_ITEM_SIZE: {
      if (isFile(item)) {
        const CameraFile file = files_->at(item.index);
        return PropertyValue::i4(static_cast<LONG>(std::min<uint64_t>(file.hasSize ? file.size : 0, 0x7FFFFFFF)));
      }
      // Compressed formats cannot tell their size before the transfer.
      if (s.format == WiaImgFmt_JPEG) return PropertyValue::i4(0);
      long long size = static_cast<long long>(lineBytes) * height + 40 + paletteBytes;
      if (s.format == WiaImgFmt_BMP) size += 14;
      return PropertyValue::i4(static_cast<LONG>(std::min<long long>(size, 0x7FFFFFFF)));
    }
    case WIA_IPA_MIN_BUFFER_SIZE:
      return PropertyValue::i4(kMinBufferSize);
    case WIA_IPA_FILENAME_EXTENSION:
      if (isFile(item)) return PropertyValue::bstr(files_->at(item.index).extension());
      return PropertyValue::bstr(s.format == WiaImgFmt_JPEG ? "JPG" : "BMP");
    case WIA_IPC_THUMBNAIL: {
      PropertyValue thumbnail;
      thumbnail.vt = VT_VECTOR | VT_UI1;
      thumbnail.elements = thumbnailBytes(item.index, kThumbWidth, kThumbHeight);
      return thumbnail;
    }
    case WIA_IPS_CUR_INTENT:
      return PropertyValue::i4(s.intent);
    case WIA_IPS_XRES:
      return PropertyValue::i4(s.xres);
    case WIA_IPS_YRES:
      return PropertyValue::i4(s.yres);
    case WIA_IPS_XPOS:
      return PropertyValue::i4(s.xpos);
    case WIA_IPS_YPOS:
      return PropertyValue::i4(s.ypos);
    case WIA_IPS_XEXTENT:
      return PropertyValue::i4(s.xextent);
    case WIA_IPS_YEXTENT:
      return PropertyValue::i4(s.yextent);
    case WIA_IPS_PHOTOMETRIC_INTERP:
      return PropertyValue::i4(WIA_PHOTO_WHITE_1);
    case WIA_IPS_BRIGHTNESS:
      return PropertyValue::i4(s.brightness);
    case WIA_IPS_CONTRAST:
      return PropertyValue::i4(s.contrast);
    case WIA_IPS_THRESHOLD:
      return PropertyValue::i4(s.threshold);
    default:
      return PropertyValue::missing();
  }
}

ValidValues DeviceModel::valid(ItemRef item, const ItemSettings& s, PROPID id) const {
  PropertyInfo info;
  ValidValues v;
  if (!property(item, id, &info)) return v;
  v.kind = info.flags & (WIA_PROP_NONE | WIA_PROP_RANGE | WIA_PROP_LIST | WIA_PROP_FLAG);
  const DeviceSpec& d = *spec_;
  ItemSettings nominal = defaults(item);
  auto range = [&v](LONG min, LONG nom, LONG max, LONG step) { v.numbers = {min, nom, max, step}; };
  auto list = [&v](LONG nom, const std::vector<LONG>& values) {
    v.numbers = {nom};
    v.numbers.insert(v.numbers.end(), values.begin(), values.end());
  };
  if (const Adjustment* adjustment = adjustmentOf(id)) {
    range(adjustment->min, nominal.*adjustment->setting, adjustment->max, 1);
    return v;
  }
  switch (id) {
    case WIA_IPA_DATATYPE:
      list(nominal.dataType, item.kind == ItemKind::Flatbed ? d.dataTypes
                                                            : std::vector<LONG>{WIA_DATA_COLOR});
      break;
    case WIA_IPA_DEPTH: {
      std::vector<LONG> depths = depthsFor(s.dataType);
      list(depths.front(), depths);
      break;
    }
    case WIA_IPA_TYMED:
      list(nominal.tymed, tymeds(item));
      break;
    case WIA_IPA_FORMAT:
      v.guids = formatsFor(item, s.tymed);
      v.guids.insert(v.guids.begin(), preferredFormat(item, s.tymed));
      break;
    case WIA_IPS_XRES:
    case WIA_IPS_YRES:
      if (d.resolutions.empty()) {
        range(d.resolutionMin, d.resolutionNominal, d.resolutionMax, d.resolutionStep);
      } else {
        list(d.resolutionNominal, d.resolutions);
      }
      break;
    case WIA_IPS_XPOS:
      range(0, 0, bedPixels(glass(s).width, s.xres) - 1, 1);
      break;
    case WIA_IPS_YPOS:
      range(0, 0, bedPixels(glass(s).height, s.yres) - 1, 1);
      break;
    case WIA_IPS_XEXTENT: {
      LONG max = bedPixels(glass(s).width, s.xres) - s.xpos;
      range(1, max, max, 1);
      break;
    }
    case WIA_IPS_YEXTENT: {
      LONG max = bedPixels(glass(s).height, s.yres) - s.ypos;
      range(1, max, max, 1);
      break;
    }
    case WIA_DPS_DOCUMENT_HANDLING_SELECT:
      v.numbers = {nominal.documentSelect, selectableBits()};
      break;
    case WIA_DPS_PAGES:
      range(0, nominal.pages, mostPages(), 1);
      break;
    case WIA_DPS_PAGE_SIZE:
      list(nominal.pageSize, pageSizes());
      break;
    case WIA_DPS_PAGE_WIDTH:
      range(kSmallestPage, nominal.pageWidth, d.feeder ? d.feeder->sheetWidth : kSmallestPage, 1);
      break;
    case WIA_DPS_PAGE_HEIGHT:
      range(kSmallestPage, nominal.pageHeight, d.feeder ? d.feeder->sheetHeight : kSmallestPage, 1);
      break;
    case WIA_IPS_CUR_INTENT:
      v.numbers = {WIA_INTENT_NONE, kValidIntents};
      break;
    default: {
      // Read-only lists and flags declare their one current value.
      PropertyValue current = value(item, s, id);
      if (current.vt != VT_I4) break;
      LONG number = static_cast<LONG>(current.number);
      if (v.kind == WIA_PROP_LIST) list(number, {number});
      if (v.kind == WIA_PROP_FLAG) v.numbers = {number, number};
      break;
    }
  }
  return v;
}

HRESULT DeviceModel::write(ItemRef item, ItemSettings& settings,
                           const std::vector<Write>& writes) const {
  // The last value written for a property wins, as in any property storage.
  std::map<PROPID, const PROPVARIANT*> latest;
  for (const auto& [id, value] : writes) {
    PropertyInfo info;
    if (!property(item, id, &info)) return E_INVALIDARG;
    if (!(info.flags & WIA_PROP_WRITE)) return E_ACCESSDENIED;
    if (value->vt != info.vt || (value->vt == VT_CLSID && !value->puuid)) return E_INVALIDARG;
    latest[id] = value;
  }
  auto number = [&latest](PROPID id) -> const LONG* {
    auto found = latest.find(id);
    return found == latest.end() ? nullptr : &found->second->lVal;
  };

  const DeviceSpec& d = *spec_;
  const bool nearest = d.nearestValues;
  ItemSettings s = settings;

  // The document handling of a scanner's root comes first: it decides the glass.
  if (item.kind == ItemKind::Root) {
    HRESULT handled = writeDocumentHandling(s, number(WIA_DPS_DOCUMENT_HANDLING_SELECT), number(WIA_DPS_PAGES),
                                            number(WIA_DPS_PAGE_SIZE), number(WIA_DPS_PAGE_WIDTH),
                                            number(WIA_DPS_PAGE_HEIGHT));
    if (FAILED(handled)) return handled;
  }

  // One resolution for both directions: a write of either is a write of both.
  const LONG* xres = number(WIA_IPS_XRES);
  const LONG* yres = number(WIA_IPS_YRES);
  if (d.linkedResolutions) {
    if (xres && yres && *xres != *yres) return E_INVALIDARG;
    if (!xres) xres = yres;
    if (!yres) yres = xres;
  }
  // The scan area, axis by axis: resolution, then position, then extent.
  Axis axes[] = {
      {&s.xres, &s.xpos, &s.xextent, xres, number(WIA_IPS_XPOS), number(WIA_IPS_XEXTENT)},
      {&s.yres, &s.ypos, &s.yextent, yres, number(WIA_IPS_YPOS), number(WIA_IPS_YEXTENT)},
  };
  const LONG beds[] = {glass(s).width, glass(s).height};
  for (int i = 0; i < 2; ++i) {
    Axis& axis = axes[i];
    if (axis.newResolution) {
      LONG dpi = *axis.newResolution;
      bool ok = d.resolutions.empty()
                    ? fitRange(d.resolutionMin, d.resolutionMax, d.resolutionStep, nearest, &dpi)
                    : fitList(d.resolutions, nearest, &dpi);
      if (!ok) return E_INVALIDARG;
      if (dpi != *axis.resolution) {
        // The area stays where it was on the glass.
        *axis.position = rescale(*axis.position, *axis.resolution, dpi);
        *axis.extent = rescale(*axis.extent, *axis.resolution, dpi);
        *axis.resolution = dpi;
        clampArea(bedPixels(beds[i], dpi), axis.position, axis.extent);
      }
    }
    LONG bed = bedPixels(beds[i], *axis.resolution);
    if (axis.newPosition) {
      LONG position = *axis.newPosition;
      if (!fitRange(0, bed - 1, 1, nearest, &position)) return E_INVALIDARG;
      *axis.position = position;
      *axis.extent = std::min(*axis.extent, bed - position);
    }
    if (axis.newExtent) {
      LONG extent = *axis.newExtent;
      if (!fitRange(1, bed - *axis.position, 1, nearest, &extent)) return E_INVALIDARG;
      *axis.extent = extent;
    }
  }

  // The medium, then the format offered for it.
  if (const LONG* tymed = number(WIA_IPA_TYMED)) {
    if (!contains(tymeds(item), *tymed)) return E_INVALIDARG;
    s.tymed = *tymed;
    std::vector<GUID> formats = formatsFor(item, s.tymed);
    if (std::find(formats.begin(), formats.end(), s.format) == formats.end()) {
      s.format = preferredFormat(item, s.tymed);
    }
  }
  if (auto found = latest.find(WIA_IPA_FORMAT); found != latest.end()) {
    std::vector<GUID> formats = formatsFor(item, s.tymed);
    if (std::find(formats.begin(), formats.end(), *found->second->puuid) == formats.end()) {
      return E_INVALIDARG;
    }
    s.format = *found->second->puuid;
  }

  // The intent picks a data type the way the driver's dialog would, unless the same write
  // names the data type itself.
  if (const LONG* intent = number(WIA_IPS_CUR_INTENT)) {
    if ((*intent & ~kValidIntents) != 0) return E_INVALIDARG;
    s.intent = *intent;
    LONG type = (*intent & WIA_INTENT_IMAGE_TYPE_COLOR)       ? WIA_DATA_COLOR
                : (*intent & WIA_INTENT_IMAGE_TYPE_GRAYSCALE) ? WIA_DATA_GRAYSCALE
                : (*intent & WIA_INTENT_IMAGE_TYPE_TEXT)      ? WIA_DATA_THRESHOLD
                                                              : -1;
    if (type >= 0 && contains(d.dataTypes, type) && !number(WIA_IPA_DATATYPE)) {
      s.dataType = type;
      s.depth = depthsFor(type).front();
    }
  }

  // The data type, then the depths it allows.
  if (const LONG* dataType = number(WIA_IPA_DATATYPE)) {
    LONG type = *dataType;
    if (!fitList(d.dataTypes, false, &type)) return E_INVALIDARG;
    s.dataType = type;
    if (!contains(depthsFor(type), s.depth)) s.depth = depthsFor(type).front();
  }
  if (const LONG* depth = number(WIA_IPA_DEPTH)) {
    LONG bits = *depth;
    if (!fitList(depthsFor(s.dataType), nearest, &bits)) return E_INVALIDARG;
    s.depth = bits;
  }

  for (const Adjustment& adjustment : kAdjustments) {
    if (const LONG* written = number(adjustment.id)) {
      LONG value = *written;
      if (!fitRange(adjustment.min, adjustment.max, 1, nearest, &value)) return E_INVALIDARG;
      s.*adjustment.setting = value;
    }
  }
  if (const LONG* compression = number(WIA_IPA_COMPRESSION)) {
    if (*compression != WIA_COMPRESSION_NONE) return E_INVALIDARG;
  }

  settings = s;
  return S_OK;
}

HRESULT DeviceModel::writeDocumentHandling(ItemSettings& s, const LONG* select, const LONG* pages, const LONG* size,
                                           const LONG* width, const LONG* height) const {
  const Glass before = glass(s);
  const LONG sourceBefore = s.documentSelect & (FEEDER | FLATBED);
  if (select) {
    if (!validSelect(*select, selectableBits())) return E_INVALIDARG;
    s.documentSelect = *select;
  }
  if (pages) {
    LONG count = *pages;
    if (!fitRange(0, mostPages(), 1, spec_->nearestValues, &count)) return E_INVALIDARG;
    s.pages = count;
  }
  // A named size brings its page; a side written beside it makes the page a custom one.
  if (size) {
    LONG named = *size;
    if (!fitList(pageSizes(), false, &named)) return E_INVALIDARG;
    s.pageSize = named;
    if (named != WIA_PAGE_CUSTOM) {
      s.pageWidth = namedPage(named).width;
      s.pageHeight = namedPage(named).height;
    }
  }
  struct Side {
    const LONG* written;
    LONG longest;
    LONG* page;
  };
  const FeederSpec paper = spec_->feeder.value_or(FeederSpec{});
  for (const Side& side : {Side{width, paper.sheetWidth, &s.pageWidth}, Side{height, paper.sheetHeight, &s.pageHeight}}) {
    if (!side.written) continue;
    LONG value = *side.written;
    if (!fitRange(kSmallestPage, side.longest, 1, spec_->nearestValues, &value)) return E_INVALIDARG;
    *side.page = value;
  }
  if ((width || height) && s.pageSize != WIA_PAGE_CUSTOM &&
      Glass{s.pageWidth, s.pageHeight} != namedPage(s.pageSize)) {
    s.pageSize = WIA_PAGE_CUSTOM;
  }
  // Another source or another page in the feeder: the scan area becomes all of it.
  const Glass after = glass(s);
  if ((s.documentSelect & (FEEDER | FLATBED)) != sourceBefore || after != before) {
    s.xpos = s.ypos = 0;
    s.xextent = bedPixels(after.width, s.xres);
    s.yextent = bedPixels(after.height, s.yres);
  }
  return S_OK;
}

}  // namespace winsim::wia
