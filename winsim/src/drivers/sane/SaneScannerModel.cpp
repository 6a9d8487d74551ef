#include "SaneScannerModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>

namespace winsim::drivers {
namespace {

constexpr double kMillimetresPerInch = 25.4;

LONG thousandthsOf(double millimetres) {
  return static_cast<LONG>(std::lround(millimetres * 1000 / kMillimetresPerInch));
}

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool containsAny(const std::string& text, std::initializer_list<const char*> words) {
  for (const char* word : words)
    if (text.find(word) != std::string::npos) return true;
  return false;
}

const SaneOption* activeNumber(const std::vector<SaneOption>& options, const char* name) {
  const SaneOption* option = findSaneOption(options, name);
  return option && option->active() && option->numeric() ? option : nullptr;
}

SaneResolutions resolutionsOf(const std::vector<SaneOption>& options) {
  SaneResolutions resolutions;
  const SaneOption* option = activeNumber(options, SANE_NAME_SCAN_RESOLUTION);
  if (!option) option = activeNumber(options, SANE_NAME_SCAN_X_RESOLUTION);
  if (!option) return resolutions;
  resolutions.option = option->name;
  resolutions.current = option->number;
  resolutions.settable = option->settable();
  if (option->constraint == SANE_CONSTRAINT_RANGE) {
    resolutions.min = option->min;
    resolutions.max = option->max;
    resolutions.step = option->quant;
  } else if (option->constraint == SANE_CONSTRAINT_WORD_LIST && !option->numbers.empty()) {
    resolutions.list = true;
    resolutions.values = option->numbers;
  } else {
    // Unconstrained: the one value known to work.
    resolutions.list = true;
    resolutions.values = {option->number};
  }
  return resolutions;
}

// The limits an area option's constraint allows, else its current value.
void limitsOf(const SaneOption& option, double* low, double* high) {
  *low = *high = option.number;
  if (option.constraint == SANE_CONSTRAINT_RANGE) {
    *low = option.min;
    *high = option.max;
  } else if (option.constraint == SANE_CONSTRAINT_WORD_LIST && !option.numbers.empty()) {
    auto [smallest, largest] = std::minmax_element(option.numbers.begin(), option.numbers.end());
    *low = *smallest;
    *high = *largest;
  }
}

SaneArea areaOf(const std::vector<SaneOption>& options, double dpi) {
  SaneArea area;
  const SaneOption* left = activeNumber(options, SANE_NAME_SCAN_TL_X);
  const SaneOption* top = activeNumber(options, SANE_NAME_SCAN_TL_Y);
  const SaneOption* right = activeNumber(options, SANE_NAME_SCAN_BR_X);
  const SaneOption* bottom = activeNumber(options, SANE_NAME_SCAN_BR_Y);
  if (!left || !top || !right || !bottom) return area;
  SANE_Unit unit = left->unit;
  for (const SaneOption* o : {top, right, bottom})
    if (o->unit != unit) return area;
  // Millimetres are the rule; an area in pixels is taken at the current resolution.
  double scale = 1;
  if (unit == SANE_UNIT_PIXEL) {
    if (!(dpi > 0)) return area;
    scale = kMillimetresPerInch / dpi;
  } else if (unit != SANE_UNIT_MM) {
    return area;
  }
  double unused = 0;
  limitsOf(*left, &area.bedLeft, &unused);
  limitsOf(*top, &area.bedTop, &unused);
  limitsOf(*right, &unused, &area.bedRight);
  limitsOf(*bottom, &unused, &area.bedBottom);
  area.left = left->number * scale;
  area.top = top->number * scale;
  area.right = right->number * scale;
  area.bottom = bottom->number * scale;
  area.bedLeft *= scale;
  area.bedTop *= scale;
  area.bedRight *= scale;
  area.bedBottom *= scale;
  area.present = true;
  area.settable = left->settable() && top->settable() && right->settable() && bottom->settable();
  return area;
}

std::vector<int> depthsOf(const SaneOption* depth) {
  if (!depth || !depth->active()) return {0};
  std::vector<int> depths;
  auto add = [&](double value) {
    int d = static_cast<int>(value);
    if ((d == 1 || d == 8 || d == 16) && std::find(depths.begin(), depths.end(), d) == depths.end())
      depths.push_back(d);
  };
  if (depth->constraint == SANE_CONSTRAINT_WORD_LIST) {
    for (double value : depth->numbers) add(value);
  } else if (depth->constraint == SANE_CONSTRAINT_RANGE) {
    for (int d : {1, 8, 16})
      if (d >= depth->min && d <= depth->max) add(d);
  } else if (depth->hasValue) {
    add(depth->number);
  }
  return depths;
}

}  // namespace

double SaneResolutions::nearest(double dpi) const {
  if (list) {
    if (values.empty()) return current;
    return *std::min_element(values.begin(), values.end(), [dpi](double a, double b) {
      return std::fabs(a - dpi) < std::fabs(b - dpi);
    });
  }
  double clamped = std::clamp(dpi, min, std::max(min, max));
  if (step > 0) clamped = std::min(max, min + std::round((clamped - min) / step) * step);
  return clamped;
}

LONG millimetresToPixels(double millimetres, double dpi) {
  return static_cast<LONG>(std::lround(millimetres * dpi / kMillimetresPerInch));
}

double pixelsToMillimetres(LONG pixels, double dpi) {
  return dpi > 0 ? pixels * kMillimetresPerInch / dpi : 0;
}

LONG SaneArea::bedWidthThousandths() const { return thousandthsOf(bedRight - bedLeft); }
LONG SaneArea::bedHeightThousandths() const { return thousandthsOf(bedBottom - bedTop); }

PixelArea pixelAreaOf(const SaneArea& area, double dpi) {
  PixelArea pixels;
  pixels.x = millimetresToPixels(area.left - area.bedLeft, dpi);
  pixels.y = millimetresToPixels(area.top - area.bedTop, dpi);
  pixels.width = millimetresToPixels(area.right - area.bedLeft, dpi) - pixels.x;
  pixels.height = millimetresToPixels(area.bottom - area.bedTop, dpi) - pixels.y;
  return pixels;
}

// Source names as backends write them: "Flatbed"/"FlatBed", "Normal" (hp); "ADF", "ADF
// Front", "ADF Back", "Automatic Document Feeder" (epson2, pixma, test), "Document Feeder";
// "ADF Duplex", "Duplex", "Automatic Document Feeder(left aligned,Duplex)" (brother);
// "Transparency Adapter", "Transparency Unit", "Film", "Negative Film", "Slide", "TPU",
// "TMA", "XPA": film and slide units, which WIA 1.0 documents no handling for.
LONG documentHandlingOfSource(const std::string& name) {
  std::string text = lowerCase(name);
  if (containsAny(text, {"transparen", "film", "negative", "positive", "slide", "tpu", "tma", "xpa"}))
    return 0;
  if (text.find("duplex") != std::string::npos) return FEEDER | DUPLEX;
  if (containsAny(text, {"adf", "feeder", "automatic document"})) return FEEDER;
  if (containsAny(text, {"flatbed", "flat bed", "platen", "glass", "normal"})) return FLATBED;
  return 0;
}

LONG SaneScannerModel::documentHandlingCapabilities() const {
  if (sources.empty()) return FLATBED;
  LONG capabilities = 0;
  for (const SaneSource& source : sources) capabilities |= source.handling;
  return capabilities;
}

LONG SaneScannerModel::currentDocumentHandling() const {
  if (sources.empty()) return FLATBED;
  for (const SaneSource& source : sources)
    if (source.name == currentSource) return source.handling;
  return 0;
}

const SaneSource* SaneScannerModel::sourceFor(LONG handling) const {
  for (const SaneSource& source : sources)
    if (source.handling == handling) return &source;
  return nullptr;
}

// Mode names as backends write them: "Color", "Colour", "24bit Color", "RGB"; "Gray",
// "Grayscale", "Grey", "True Gray"; "Lineart", "Binary", "Black & White", "Monochrome",
// "Threshold"; "Halftone", "Dither"; "Color Lineart", "Color Halftone" (one bit a channel).
SaneModeKind modeKindOf(const std::string& mode) {
  std::string text = lowerCase(mode);
  bool colour = containsAny(text, {"color", "colour", "rgb"});
  if (containsAny(text, {"halftone", "dither"}))
    return colour ? SaneModeKind::ColorHalftone : SaneModeKind::Halftone;
  if (containsAny(text, {"lineart", "line art", "binary", "black", "monochrome", "thresh"}))
    return colour ? SaneModeKind::ColorLineart : SaneModeKind::Lineart;
  if (colour) return SaneModeKind::Color;
  if (containsAny(text, {"gray", "grey"})) return SaneModeKind::Gray;
  return SaneModeKind::Unknown;
}

std::optional<SaneDataType> dataTypeOf(const std::string& mode, int depth) {
  auto made = [&](LONG dataType, LONG bits) { return SaneDataType{dataType, bits, mode, depth}; };
  switch (modeKindOf(mode)) {
    case SaneModeKind::Lineart: return made(WIA_DATA_THRESHOLD, 1);
    case SaneModeKind::Halftone: return made(WIA_DATA_DITHER, 1);
    case SaneModeKind::ColorLineart: return made(WIA_DATA_COLOR_THRESHOLD, 3);
    case SaneModeKind::ColorHalftone: return made(WIA_DATA_COLOR_DITHER, 3);
    case SaneModeKind::Gray:
      if (depth == 1) return made(WIA_DATA_THRESHOLD, 1);
      if (depth == 0 || depth == 8) return made(WIA_DATA_GRAYSCALE, 8);
      if (depth == 16) return made(WIA_DATA_GRAYSCALE, 16);
      return std::nullopt;
    case SaneModeKind::Color:
      if (depth == 1) return made(WIA_DATA_COLOR_THRESHOLD, 3);
      if (depth == 0 || depth == 8) return made(WIA_DATA_COLOR, 24);
      if (depth == 16) return made(WIA_DATA_COLOR, 48);
      return std::nullopt;
    case SaneModeKind::Unknown: break;
  }
  return std::nullopt;
}

std::vector<SaneDataType> dataTypesOfCurrentMode(const std::vector<SaneOption>& options) {
  const SaneOption* mode = findSaneOption(options, SANE_NAME_SCAN_MODE);
  if (!mode || !mode->active() || !mode->hasValue) return {};
  std::vector<SaneDataType> types;
  for (int depth : depthsOf(findSaneOption(options, SANE_NAME_BIT_DEPTH))) {
    std::optional<SaneDataType> type = dataTypeOf(mode->text, depth);
    if (type && std::find(types.begin(), types.end(), *type) == types.end()) types.push_back(*type);
  }
  return types;
}

SaneScannerModel scannerModelOf(const std::vector<SaneOption>& options) {
  SaneScannerModel model;
  model.resolution = resolutionsOf(options);
  model.area = areaOf(options, model.resolution.current);
  model.dataTypes = dataTypesOfCurrentMode(options);
  const SaneOption* mode = findSaneOption(options, SANE_NAME_SCAN_MODE);
  const SaneOption* depth = findSaneOption(options, SANE_NAME_BIT_DEPTH);
  if (mode && mode->active() && mode->hasValue) {
    int currentDepth = depth && depth->active() && depth->hasValue ? static_cast<int>(depth->number) : 0;
    model.currentDataType = dataTypeOf(mode->text, currentDepth);
  }
  const SaneOption* source = findSaneOption(options, SANE_NAME_SCAN_SOURCE);
  if (source && source->active() && source->type == SANE_TYPE_STRING) {
    for (const std::string& name : source->strings)
      model.sources.push_back(SaneSource{name, documentHandlingOfSource(name)});
    model.currentSource = source->text;
  }
  return model;
}

}  // namespace winsim::drivers
