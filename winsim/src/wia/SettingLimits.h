// The limits an item's settings keep, which its valid values report and its writes are
// checked against: the image adjustments' ranges, the intents, the named page sizes.
#pragma once

#include <algorithm>
#include <vector>

#include "Model.h"

namespace winsim::wia {

constexpr LONG kValidIntents = WIA_INTENT_IMAGE_TYPE_COLOR | WIA_INTENT_IMAGE_TYPE_GRAYSCALE |
                               WIA_INTENT_IMAGE_TYPE_TEXT | WIA_INTENT_MINIMIZE_SIZE |
                               WIA_INTENT_MAXIMIZE_QUALITY;

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

inline const Adjustment* adjustmentOf(PROPID id) {
  for (const Adjustment& adjustment : kAdjustments) {
    if (adjustment.id == id) return &adjustment;
  }
  return nullptr;
}

// The page of a named WIA 1.0 size, portrait.
inline Glass namedPage(LONG pageSize) {
  return pageSize == WIA_PAGE_LETTER ? Glass{8500, 11000} : Glass{8267, 11692};
}

inline bool contains(const std::vector<LONG>& values, LONG value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace winsim::wia
