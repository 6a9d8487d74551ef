// The behaviour of one virtual device as a driver declares it: its items, their properties
// with access rights and valid values, and the rules by which written values are checked
// and dependent values follow. Pure functions over a DeviceSpec and an item's settings;
// the COM objects keep the state and call these.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "winsim/devices.h"

namespace winsim::wia {

// Info: the device information storage that EnumDeviceInfo hands out (not an item).
enum class ItemKind { Info, Root, Flatbed, Picture };

struct ItemRef {
  ItemKind kind = ItemKind::Root;
  unsigned index = 0;  // Picture: the picture's position in the camera
};

// What an application can change on a transferable item.
struct ItemSettings {
  LONG tymed = TYMED_CALLBACK;
  GUID format{};
  LONG dataType = WIA_DATA_COLOR;
  LONG depth = 24;
  LONG xres = 0, yres = 0;
  LONG xpos = 0, ypos = 0, xextent = 0, yextent = 0;
  LONG brightness = 0, contrast = 0, threshold = 128;
  LONG intent = WIA_INTENT_NONE;
  // A scanner's document handling: its root item holds these and its scan item sees them,
  // for the source decides the glass that the scan area lies on.
  LONG documentSelect = FLATBED;
  LONG pages = 1;
  LONG pageSize = WIA_PAGE_A4;
  LONG pageWidth = 0, pageHeight = 0;  // 1/1000 inch

  bool operator==(const ItemSettings& other) const;
  bool operator!=(const ItemSettings& other) const { return !(*this == other); }
};

struct PropertyInfo {
  PROPID id = 0;
  const char* name = nullptr;  // may be null for properties without a documented name
  VARTYPE vt = VT_EMPTY;
  ULONG flags = 0;  // WIA_PROP_READ/WRITE | WIA_PROP_NONE/RANGE/LIST/FLAG
};

// Valid values in the layout of GetPropertyAttributes: range {min, nominal, max, step};
// list {nominal, values...} (numbers or guids); flag {nominal, valid bits}.
struct ValidValues {
  ULONG kind = WIA_PROP_NONE;
  std::vector<LONG> numbers;
  std::vector<GUID> guids;
};

// What a scan is laid out on, in 1/1000 inch: the bed, or the page in the feeder.
struct Glass {
  LONG width = 0;
  LONG height = 0;
  bool operator==(const Glass& other) const { return width == other.width && height == other.height; }
  bool operator!=(const Glass& other) const { return !(*this == other); }
};

class Feeder;
class CameraFiles;

// A written value: its property and the caller's PROPVARIANT.
using Write = std::pair<PROPID, const PROPVARIANT*>;

// The name of a camera's generated picture number `number` (1-based, counting the listed
// pictures before it): "IMG_0004".
std::string generatedPictureName(unsigned number);
// The number whose generated name `name` is, or 0 when no number gives it.
unsigned generatedPictureNumber(const std::string& name);

class DeviceModel {
 public:
  // `feeder`: the paper path of a scanner with a feeder, which the status property reports
  // (a feeder without one cannot tell whether paper is loaded). `files`: the pictures of a
  // camera that a driver serves, which then are its children instead of the device description's.
  explicit DeviceModel(std::shared_ptr<const DeviceSpec> deviceSpec, std::shared_ptr<Feeder> feeder = nullptr,
                       std::shared_ptr<const CameraFiles> files = nullptr);

  const DeviceSpec& deviceSpec() const { return *spec_; }
  Feeder* feeder() const { return feeder_.get(); }
  const CameraFiles* files() const { return files_.get(); }
  // Whether the item is one of the camera files that a driver serves.
  bool isFile(ItemRef item) const { return files_ && item.kind == ItemKind::Picture; }
  // Whether the item keeps settings: a scanner's root and scan item share one set.
  bool hasSettings(ItemRef item) const;
  // The glass of the source that `settings` select.
  Glass glass(const ItemSettings& settings) const;

  unsigned childCount() const;
  ItemRef child(unsigned position) const;
  bool findChild(const std::string& name, ItemRef* item) const;
  std::string itemName(ItemRef item) const;
  std::string fullName(ItemRef item) const;
  LONG itemType(ItemRef item) const;  // WiaItemType* flags
  PictureSpec picture(unsigned index) const;

  ItemSettings defaults(ItemRef item) const;

  // The properties the item has, in ascending ID order; built once per item kind.
  const std::vector<PropertyInfo>& properties(ItemRef item) const;
  bool property(ItemRef item, PROPID id, PropertyInfo* info) const;
  // The current value; VT_EMPTY when the item does not have the property.
  PropertyValue value(ItemRef item, const ItemSettings& settings, PROPID id) const;
  ValidValues valid(ItemRef item, const ItemSettings& settings, PROPID id) const;

  // Checks `writes` against access rights, types and valid values, and on success applies
  // them and their dependent changes to `settings`. On failure `settings` is unchanged.
  HRESULT write(ItemRef item, ItemSettings& settings, const std::vector<Write>& writes) const;

 private:
  const PropertyValue* infoOverride(PROPID id) const;
  std::vector<LONG> depthsFor(LONG dataType) const;
  std::vector<GUID> formatsFor(ItemRef item, LONG tymed) const;
  std::vector<LONG> tymeds(ItemRef item) const;
  GUID preferredFormat(ItemRef item, LONG tymed) const;
  LONG selectableBits() const;
  std::vector<LONG> pageSizes() const;
  LONG mostPages() const;
  HRESULT writeDocumentHandling(ItemSettings& s, const LONG* select, const LONG* pages, const LONG* size,
                                const LONG* width, const LONG* height) const;

  std::shared_ptr<const DeviceSpec> spec_;
  std::shared_ptr<Feeder> feeder_;
  std::shared_ptr<const CameraFiles> files_;
  unsigned listedPictures_ = 0;
  // By ItemKind: the process's shared table, or this device's own when it has one.
  const std::vector<PropertyInfo>* standardTables_[4] = {};
  std::vector<PropertyInfo> ownTables_[4];
  bool ownsTable_[4] = {};
};

// Pixels across `thousandths` of an inch at `dpi`.
LONG bedPixels(LONG thousandths, LONG dpi);

}  // namespace winsim::wia
