#include "PropertyCatalogue.h"

#include <algorithm>

#include "Values.h"

namespace winsim::wia {
namespace {

constexpr ULONG kFixed = WIA_PROP_READ | WIA_PROP_NONE;
constexpr ULONG kReadList = WIA_PROP_READ | WIA_PROP_LIST;
constexpr ULONG kReadFlag = WIA_PROP_READ | WIA_PROP_FLAG;
constexpr ULONG kWriteList = WIA_PROP_RW | WIA_PROP_LIST;
constexpr ULONG kWriteRange = WIA_PROP_RW | WIA_PROP_RANGE;
constexpr ULONG kWriteFlag = WIA_PROP_RW | WIA_PROP_FLAG;
constexpr VARTYPE kTimeVector = VT_VECTOR | VT_UI2;

// Properties of one type and one access.
struct Properties {
  VARTYPE vt;
  ULONG flags;
  std::vector<PROPID> ids;
};
using Group = std::vector<Properties>;

// The groups an item's list is made of (the order within a list does not matter: it is
// sorted by ID).
enum GroupId {
  kInfo,            // the device information storage, and the root item's copy of it
  kItem,            // every item's: the root, the flatbed and the camera's pictures
  kRoot,            // every root item's
  kScannerRoot,     // a scanner's root
  kFeederRoot,      // a scanner's root with a document feeder, besides
  kCameraRoot,      // a camera's root
  kImage,           // shared by the flatbed item and the camera's pictures
  kFlatbed,         // the scan item's settings but its resolutions
  kResolutionRange, // the scan item's resolutions where the device has a range of them
  kResolutionList,  // where it has a list
  kPicture,         // a camera's picture
};

const Group& group(GroupId id) {
  static const Group groups[] = {
      /* kInfo */ {{VT_BSTR, kFixed, {WIA_DIP_DEV_ID, WIA_DIP_VEND_DESC, WIA_DIP_DEV_DESC, WIA_DIP_PORT_NAME,
                                      WIA_DIP_DEV_NAME, WIA_DIP_SERVER_NAME, WIA_DIP_REMOTE_DEV_ID, WIA_DIP_UI_CLSID,
                                      WIA_DIP_BAUDRATE, WIA_DIP_WIA_VERSION, WIA_DIP_DRIVER_VERSION}},
                    {VT_I4, kFixed, {WIA_DIP_DEV_TYPE, WIA_DIP_HW_CONFIG, WIA_DIP_STI_GEN_CAPABILITIES}}},
      /* kItem */ {{VT_BSTR, kFixed, {WIA_IPA_ITEM_NAME, WIA_IPA_FULL_ITEM_NAME}},
                    {VT_I4, kReadFlag, {WIA_IPA_ITEM_FLAGS, WIA_IPA_ACCESS_RIGHTS}}},
      /* kRoot */ {{VT_BSTR, kFixed, {WIA_DPA_FIRMWARE_VERSION}}, {VT_I4, kReadList, {WIA_DPA_CONNECT_STATUS}},
                    {kTimeVector, kFixed, {WIA_DPA_DEVICE_TIME}}},
      /* kScannerRoot */ {{VT_I4, kFixed, {WIA_DPS_HORIZONTAL_BED_SIZE, WIA_DPS_VERTICAL_BED_SIZE,
                                           WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES, WIA_DPS_DOCUMENT_HANDLING_STATUS,
                                           WIA_DPS_OPTICAL_XRES, WIA_DPS_OPTICAL_YRES, WIA_DPS_MAX_SCAN_TIME}},
                           {VT_I4, kWriteFlag, {WIA_DPS_DOCUMENT_HANDLING_SELECT}}},
      /* kFeederRoot */ {{VT_I4, kFixed, {WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, WIA_DPS_VERTICAL_SHEET_FEED_SIZE}},
                          {VT_I4, kWriteRange, {WIA_DPS_PAGES, WIA_DPS_PAGE_WIDTH, WIA_DPS_PAGE_HEIGHT}},
                          {VT_I4, kWriteList, {WIA_DPS_PAGE_SIZE}}},
      /* kCameraRoot */ {{VT_I4, kFixed, {WIA_DPC_PICTURES_TAKEN, WIA_DPC_PICTURES_REMAINING, WIA_DPC_BATTERY_STATUS,
                                          WIA_DPC_THUMB_WIDTH, WIA_DPC_THUMB_HEIGHT, WIA_DPC_PICT_WIDTH,
                                          WIA_DPC_PICT_HEIGHT}}},
      /* kImage */ {{VT_CLSID, kFixed, {WIA_IPA_PREFERRED_FORMAT}}, {VT_CLSID, kWriteList, {WIA_IPA_FORMAT}},
                     {VT_I4, kWriteList, {WIA_IPA_TYMED}},
                     {VT_I4, kFixed, {WIA_IPA_CHANNELS_PER_PIXEL, WIA_IPA_BITS_PER_CHANNEL, WIA_IPA_PIXELS_PER_LINE,
                                      WIA_IPA_BYTES_PER_LINE, WIA_IPA_NUMBER_OF_LINES, WIA_IPA_ITEM_SIZE,
                                      WIA_IPA_MIN_BUFFER_SIZE}},
                     {VT_I4, kReadList, {WIA_IPA_PLANAR}}, {VT_BSTR, kFixed, {WIA_IPA_FILENAME_EXTENSION}}},
      /* kFlatbed */ {{VT_I4, kWriteList, {WIA_IPA_DATATYPE, WIA_IPA_DEPTH, WIA_IPA_COMPRESSION}},
                       {VT_I4, kWriteFlag, {WIA_IPS_CUR_INTENT}},
                       {VT_I4, kWriteRange, {WIA_IPS_XPOS, WIA_IPS_YPOS, WIA_IPS_XEXTENT, WIA_IPS_YEXTENT,
                                             WIA_IPS_BRIGHTNESS, WIA_IPS_CONTRAST, WIA_IPS_THRESHOLD}},
                       {VT_I4, kReadList, {WIA_IPS_PHOTOMETRIC_INTERP, WIA_IPS_ORIENTATION}},
                       {VT_I4, kFixed, {WIA_IPS_WARM_UP_TIME}}},
      /* kResolutionRange */ {{VT_I4, kWriteRange, {WIA_IPS_XRES, WIA_IPS_YRES}}},
      /* kResolutionList */ {{VT_I4, kWriteList, {WIA_IPS_XRES, WIA_IPS_YRES}}},
      /* kPicture */ {{kTimeVector, kFixed, {WIA_IPA_ITEM_TIME}},
                       {VT_I4, kReadList, {WIA_IPA_DATATYPE, WIA_IPA_DEPTH, WIA_IPA_COMPRESSION}},
                       {VT_VECTOR | VT_UI1, kFixed, {WIA_IPC_THUMBNAIL}},
                       {VT_I4, kFixed, {WIA_IPC_THUMB_WIDTH, WIA_IPC_THUMB_HEIGHT}}},
  };
  return groups[id];
}

void append(std::vector<PropertyInfo>& list, GroupId id) {
  for (const Properties& properties : group(id)) {
    for (PROPID id : properties.ids) list.push_back({id, propertyName(id), properties.vt, properties.flags});
  }
}

bool isThumbnail(PROPID id) {
  return id == WIA_IPC_THUMBNAIL || id == WIA_IPC_THUMB_WIDTH || id == WIA_IPC_THUMB_HEIGHT ||
         id == WIA_DPC_THUMB_WIDTH || id == WIA_DPC_THUMB_HEIGHT;
}

}  // namespace

std::vector<PropertyInfo> buildProperties(ItemKind kind, DeviceKind deviceKind, bool resolutionList, bool feeder,
                                          const std::vector<std::pair<PROPID, PropertyValue>>& info, bool files) {
  std::vector<PropertyInfo> list;
  switch (kind) {
    case ItemKind::Info:
      append(list, kInfo);
      break;
    case ItemKind::Root:
      append(list, kInfo);
      append(list, kRoot);
      append(list, kItem);
      if (deviceKind == DeviceKind::Scanner) {
        append(list, kScannerRoot);
        if (feeder) append(list, kFeederRoot);
      } else {
        append(list, kCameraRoot);
      }
      break;
    case ItemKind::Flatbed:
      append(list, kItem);
      append(list, kImage);
      append(list, kFlatbed);
      append(list, resolutionList ? kResolutionList : kResolutionRange);
      break;
    case ItemKind::Picture:
      append(list, kItem);
      append(list, kImage);
      append(list, kPicture);
      break;
  }
  if (kind == ItemKind::Info || kind == ItemKind::Root) {
    for (const auto& [id, value] : info) {
      auto found = std::find_if(list.begin(), list.end(),
                                [id = id](const PropertyInfo& property) { return property.id == id; });
      if (value.vt == VT_EMPTY) {
        if (found != list.end()) list.erase(found);
      } else if (found != list.end()) {
        found->vt = value.vt;
      } else {
        list.push_back({id, propertyName(id), value.vt, kFixed});
      }
    }
  }
  if (files) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const PropertyInfo& property) { return isThumbnail(property.id); }),
               list.end());
  }
  std::sort(list.begin(), list.end(),
            [](const PropertyInfo& a, const PropertyInfo& b) { return a.id < b.id; });
  return list;
}

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

}  // namespace winsim::wia
