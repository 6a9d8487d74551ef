// The valid values of each property, as GetPropertyAttributes reports them: ranges, lists
// and flags that follow the item's current settings (the area on the glass at the current
// resolution, the depths of the current data type).
#include "Model.h"
#include "SettingLimits.h"

namespace winsim::wia {

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

}  // namespace winsim::wia
