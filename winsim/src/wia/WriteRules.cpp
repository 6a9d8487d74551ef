// The rules by which written values are checked and dependent values follow, as real
// drivers apply them: the document handling first (it decides the glass), then each axis of
// the scan area (resolution, position, extent), the medium and format, the intent, the data
// type and depth, the adjustments.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "Model.h"
#include "SettingLimits.h"

namespace winsim::wia {
namespace {

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
