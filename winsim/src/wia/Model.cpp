// The items of a virtual device and the settings they start with: children and names,
// the media and formats a transfer offers, the defaults a driver gives, the property tables
// an item goes by (PropertyCatalogue.cpp). Its reads are PropertyReads.cpp and
// ValidValues.cpp, its write rules WriteRules.cpp.
#include "Model.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "CameraFiles.h"
#include "ItemTimes.h"
#include "PropertyCatalogue.h"
#include "SettingLimits.h"

namespace winsim::wia {

constexpr LONG kCameraDpi = 72;  // the resolution a camera's pictures report

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

}  // namespace winsim::wia
