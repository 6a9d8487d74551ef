#include "SaneScannerSpec.h"

#include <algorithm>
#include <cmath>

#include "DriverDeviceId.h"

namespace winsim::drivers {
namespace {

constexpr LONG kUsualResolution = 150;
constexpr LONG kMostPixels = 65500;  // a JPEG's largest side, and the virtual beds'
constexpr double kThousandthsPerMillimetre = 1000 / 25.4;

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

LONG nearestOf(const std::vector<LONG>& values, LONG wanted) {
  return *std::min_element(values.begin(), values.end(), [wanted](LONG a, LONG b) {
    return std::llabs(static_cast<long long>(a) - wanted) < std::llabs(static_cast<long long>(b) - wanted);
  });
}

// The resolutions in whole dpi, none above `highest`.
void resolutionsOf(const SaneResolutions& r, LONG highest, DeviceSpec* d) {
  d->resolutions.clear();
  if (r.option.empty()) {
    d->resolutions = {kUsualResolution};
  } else if (!r.list) {
    const LONG min = std::max<LONG>(1, static_cast<LONG>(std::ceil(r.min)));
    const LONG step = r.step >= 1 ? static_cast<LONG>(std::lround(r.step)) : 1;
    LONG max = static_cast<LONG>(std::floor(std::min<double>(r.max, highest)));
    if (max >= min) {
      max = min + (max - min) / step * step;
      d->resolutionMin = min;
      d->resolutionMax = max;
      d->resolutionStep = step;
      const LONG wanted = std::clamp<LONG>(kUsualResolution, min, max);
      d->resolutionNominal = std::min(max, min + (wanted - min + step / 2) / step * step);
      return;
    }
    d->resolutions = {min};
  } else {
    for (double value : r.values) {
      const LONG dpi = static_cast<LONG>(std::lround(value));
      if (value >= 1 && dpi <= highest) d->resolutions.push_back(dpi);
    }
    std::sort(d->resolutions.begin(), d->resolutions.end());
    d->resolutions.erase(std::unique(d->resolutions.begin(), d->resolutions.end()), d->resolutions.end());
    if (d->resolutions.empty()) d->resolutions = {kUsualResolution};
  }
  d->resolutionNominal = nearestOf(d->resolutions, kUsualResolution);
  d->resolutionMin = d->resolutions.front();
  d->resolutionMax = d->resolutions.back();
  d->resolutionStep = 1;
}

}  // namespace

DeviceSpec saneDeviceInfo(const SaneDeviceInfo& device) {
  DeviceSpec d;
  d.kind = DeviceKind::Scanner;
  d.id = driverDeviceId("sane", device.name);
  d.name = trimmed(device.vendor + " " + device.model);
  if (d.name.empty()) d.name = device.name;
  d.vendor = device.vendor;
  d.description = device.type;
  d.port = device.name;
  return d;
}

DeviceSpec saneScannerSpec(const SaneDeviceInfo& device, const SaneScannerModel& model) {
  DeviceSpec d = saneDeviceInfo(device);
  d.dataTypes.clear();
  for (LONG type : {WIA_DATA_THRESHOLD, WIA_DATA_GRAYSCALE, WIA_DATA_COLOR}) {
    for (const SaneDataType& offered : model.dataTypes) {
      if (offered.dataType == type) {
        d.dataTypes.push_back(type);
        break;
      }
    }
  }
  for (const SaneDataType& offered : model.dataTypes) {
    if (offered.bitsPerPixel == 16 || offered.bitsPerPixel == 48) d.deepColour = true;
  }
  // A device whose modes say nothing WIA knows scans what it scans; its files say what.
  if (d.dataTypes.empty()) d.dataTypes = {WIA_DATA_COLOR};

  if (model.area.present) {
    d.bedWidth = static_cast<LONG>(std::lround((model.area.bedRight - model.area.bedLeft) * kThousandthsPerMillimetre));
    d.bedHeight = static_cast<LONG>(std::lround((model.area.bedBottom - model.area.bedTop) * kThousandthsPerMillimetre));
  }
  d.bedWidth = std::max<LONG>(d.bedWidth, kSmallestPage);
  d.bedHeight = std::max<LONG>(d.bedHeight, kSmallestPage);
  const LONG highest = static_cast<LONG>(static_cast<long long>(kMostPixels) * 1000 / std::max(d.bedWidth, d.bedHeight));
  resolutionsOf(model.resolution, std::max<LONG>(highest, 1), &d);
  d.linkedResolutions = true;  // SANE's devices set both directions together

  const LONG handling = model.documentHandlingCapabilities();
  if (handling & FEEDER) {
    FeederSpec feeder;
    feeder.duplex = (handling & DUPLEX) != 0;
    feeder.backFirst = false;
    feeder.sheetWidth = d.bedWidth;
    feeder.sheetHeight = d.bedHeight;
    d.feeder = feeder;
  }
  d.flatbed = (handling & FLATBED) != 0 || !(handling & FEEDER);
  return d;
}

SaneScanSettings saneScanSettings(const SaneScannerModel& model, LONG documentSelect, LONG dataType, LONG depth,
                                  LONG dpi, const PixelArea& area) {
  SaneScanSettings settings;
  settings.handling = (documentSelect & FEEDER) ? FEEDER | (documentSelect & DUPLEX) : FLATBED;
  const SaneDataType* chosen = nullptr;
  auto pick = [&](auto matches) {
    if (chosen) return;
    for (const SaneDataType& offered : model.dataTypes) {
      if (offered.dataType == dataType && matches(offered)) {
        chosen = &offered;
        return;
      }
    }
  };
  pick([depth](const SaneDataType& t) { return t.bitsPerPixel == depth; });
  pick([](const SaneDataType& t) { return t.bitsPerPixel == 8 || t.bitsPerPixel == 24; });
  pick([](const SaneDataType&) { return true; });
  if (chosen) settings.dataType = *chosen;
  settings.dpi = dpi;
  settings.area = area;
  return settings;
}

}  // namespace winsim::drivers
