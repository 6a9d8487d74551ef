// The current value of each property, as ReadMultiple reads it: the device's information,
// the item's settings, and what follows from them (the image a transfer would deliver).
#include <algorithm>
#include <cstdint>

#include "CameraFiles.h"
#include "Feeder.h"
#include "ItemTimes.h"
#include "Model.h"
#include "Render.h"

namespace winsim::wia {
namespace {

constexpr LONG kThumbWidth = 16;
constexpr LONG kThumbHeight = 12;

// The properties whose value is a setting of the item, as written.
struct SettingProperty {
  PROPID id;
  LONG ItemSettings::*setting;
};
constexpr SettingProperty kSettingProperties[] = {
    {WIA_IPA_DATATYPE, &ItemSettings::dataType}, {WIA_IPA_DEPTH, &ItemSettings::depth},
    {WIA_IPA_TYMED, &ItemSettings::tymed}, {WIA_IPS_CUR_INTENT, &ItemSettings::intent},
    {WIA_IPS_XRES, &ItemSettings::xres}, {WIA_IPS_YRES, &ItemSettings::yres},
    {WIA_IPS_XPOS, &ItemSettings::xpos}, {WIA_IPS_YPOS, &ItemSettings::ypos},
    {WIA_IPS_XEXTENT, &ItemSettings::xextent}, {WIA_IPS_YEXTENT, &ItemSettings::yextent},
    {WIA_IPS_BRIGHTNESS, &ItemSettings::brightness}, {WIA_IPS_CONTRAST, &ItemSettings::contrast},
    {WIA_IPS_THRESHOLD, &ItemSettings::threshold}, {WIA_DPS_DOCUMENT_HANDLING_SELECT, &ItemSettings::documentSelect},
    {WIA_DPS_PAGES, &ItemSettings::pages}, {WIA_DPS_PAGE_SIZE, &ItemSettings::pageSize},
    {WIA_DPS_PAGE_WIDTH, &ItemSettings::pageWidth}, {WIA_DPS_PAGE_HEIGHT, &ItemSettings::pageHeight},
};

// The device information that its device description names.
struct SpecText {
  PROPID id;
  std::string DeviceSpec::*text;
};
const SpecText kSpecTexts[] = {
    {WIA_DIP_DEV_ID, &DeviceSpec::id}, {WIA_DIP_VEND_DESC, &DeviceSpec::vendor},
    {WIA_DIP_DEV_DESC, &DeviceSpec::description}, {WIA_DIP_PORT_NAME, &DeviceSpec::port},
    {WIA_DIP_DEV_NAME, &DeviceSpec::name},
};

// The values every virtual device has alike.
struct FixedNumber {
  PROPID id;
  LONG value;
};
constexpr FixedNumber kFixedNumbers[] = {
    {WIA_DIP_HW_CONFIG, 0}, {WIA_DIP_STI_GEN_CAPABILITIES, 0}, {WIA_IPA_COMPRESSION, 0},
    {WIA_IPA_PLANAR, 0}, {WIA_IPS_ORIENTATION, 0}, {WIA_IPS_WARM_UP_TIME, 0},
    {WIA_DPA_CONNECT_STATUS, 1}, {WIA_DPS_MAX_SCAN_TIME, 60000}, {WIA_DPC_PICTURES_REMAINING, 250},
    {WIA_DPC_BATTERY_STATUS, 100}, {WIA_DPC_THUMB_WIDTH, kThumbWidth}, {WIA_IPC_THUMB_WIDTH, kThumbWidth},
    {WIA_DPC_THUMB_HEIGHT, kThumbHeight}, {WIA_IPC_THUMB_HEIGHT, kThumbHeight},
    {WIA_IPA_MIN_BUFFER_SIZE, 65536}, {WIA_IPS_PHOTOMETRIC_INTERP, WIA_PHOTO_WHITE_1},
};
struct FixedText {
  PROPID id;
  const char* value;
};
constexpr FixedText kFixedTexts[] = {
    {WIA_DIP_SERVER_NAME, "local"}, {WIA_DIP_REMOTE_DEV_ID, ""}, {WIA_DIP_BAUDRATE, ""},
    {WIA_DIP_UI_CLSID, "{4DB1AD10-3391-11D2-9A33-00C04FA36145}"}, {WIA_DIP_WIA_VERSION, "1.0"},
    {WIA_DIP_DRIVER_VERSION, "1.0.0.0"}, {WIA_DPA_FIRMWARE_VERSION, "1.0"},
};

template <typename Row, size_t N>
const Row* rowOf(const Row (&rows)[N], PROPID id) {
  for (const Row& row : rows) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

LONG bytesPerLine(LONG width, LONG bitsPerPixel) {
  return static_cast<LONG>(((static_cast<long long>(width) * bitsPerPixel + 31) / 32) * 4);
}

// Bits per pixel of the file a transfer writes: files carry at most 8 bits per channel.
LONG fileDepth(LONG depth) { return depth == 16 ? 8 : depth == 48 ? 24 : depth; }

}  // namespace

PropertyValue DeviceModel::value(ItemRef item, const ItemSettings& s, PROPID id) const {
  PropertyInfo info;
  if (!property(item, id, &info)) return PropertyValue::missing();
  if (item.kind == ItemKind::Info || item.kind == ItemKind::Root) {
    if (const PropertyValue* replaced = infoOverride(id)) return *replaced;
  }
  if (const SettingProperty* row = rowOf(kSettingProperties, id)) return PropertyValue::i4(s.*row->setting);
  const DeviceSpec& d = *spec_;
  if (const SpecText* row = rowOf(kSpecTexts, id)) return PropertyValue::bstr(d.*row->text);
  if (const FixedNumber* row = rowOf(kFixedNumbers, id)) return PropertyValue::i4(row->value);
  if (const FixedText* row = rowOf(kFixedTexts, id)) return PropertyValue::bstr(row->value);
  bool camera = d.kind == DeviceKind::Camera;
  // The image a transfer would deliver; the root has none.
  bool image = item.kind == ItemKind::Flatbed || item.kind == ItemKind::Picture;
  LONG width = image ? s.xextent : 0;
  LONG height = image ? s.yextent : 0;
  LONG channels = s.dataType == WIA_DATA_COLOR ? 3 : 1;
  LONG paletteBytes = fileDepth(s.depth) <= 8 ? (4 << fileDepth(s.depth)) : 0;
  LONG lineBytes = bytesPerLine(width, fileDepth(s.depth));
  switch (id) {
    case WIA_DIP_DEV_TYPE:
      return PropertyValue::i4(static_cast<LONG>(
          (static_cast<DWORD>(camera ? StiDeviceTypeDigitalCamera : StiDeviceTypeScanner) << 16) |
          d.subtype));
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
    case WIA_DPS_OPTICAL_XRES:
    case WIA_DPS_OPTICAL_YRES:
      return PropertyValue::i4(d.resolutions.empty()
                                   ? d.resolutionMax
                                   : *std::max_element(d.resolutions.begin(), d.resolutions.end()));
    case WIA_DPC_PICTURES_TAKEN:
      return PropertyValue::i4(static_cast<LONG>(childCount()));
    case WIA_DPC_PICT_WIDTH:
      return PropertyValue::i4(!files_ && childCount() ? picture(0).width : 0);
    case WIA_DPC_PICT_HEIGHT:
      return PropertyValue::i4(!files_ && childCount() ? picture(0).height : 0);
    case WIA_IPA_PREFERRED_FORMAT:
      return PropertyValue::clsid(preferredFormat(item, TYMED_FILE));
    case WIA_IPA_FORMAT:
      return PropertyValue::clsid(s.format);
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
    case WIA_IPA_FILENAME_EXTENSION:
      if (isFile(item)) return PropertyValue::bstr(files_->at(item.index).extension());
      return PropertyValue::bstr(s.format == WiaImgFmt_JPEG ? "JPG" : "BMP");
    case WIA_IPC_THUMBNAIL: {
      PropertyValue thumbnail;
      thumbnail.vt = VT_VECTOR | VT_UI1;
      thumbnail.elements = thumbnailBytes(item.index, kThumbWidth, kThumbHeight);
      return thumbnail;
    }
    default:
      return PropertyValue::missing();
  }
}

}  // namespace winsim::wia
