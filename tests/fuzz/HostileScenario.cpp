#include "HostileScenario.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <iterator>

namespace fuzz {

namespace {

// Codes a hostile driver or platform returns: failures the library must report, success
// codes other than S_OK it must not take for S_OK, and the odd one.
constexpr HRESULT kResults[] = {
    S_OK, S_FALSE, static_cast<HRESULT>(2), E_FAIL, E_OUTOFMEMORY, E_INVALIDARG, E_POINTER,
    E_NOINTERFACE, E_ACCESSDENIED, E_UNEXPECTED, E_HANDLE, E_ABORT, E_NOTIMPL,
    CO_E_NOTINITIALIZED, DISP_E_TYPEMISMATCH, WIA_ERROR_OFFLINE, WIA_ERROR_BUSY,
    WIA_ERROR_PAPER_JAM, WIA_ERROR_PAPER_EMPTY, WIA_ERROR_GENERAL_ERROR,
    WIA_ERROR_DEVICE_COMMUNICATION, WIA_ERROR_ITEM_DELETED, WIA_ERROR_EXCEPTION_IN_DRIVER,
    WIA_ERROR_INVALID_DRIVER_RESPONSE, WIA_S_NO_DEVICE_AVAILABLE,
    static_cast<HRESULT>(0x80070070), static_cast<HRESULT>(0x80070003),
    static_cast<HRESULT>(0x8007001D), static_cast<HRESULT>(0xDEADBEEF)};

// The platform calls the natives make, as fault rules name them.
const char* const kMethods[] = {
    "CoCreateInstance",
    "IGlobalInterfaceTable::RegisterInterfaceInGlobal",
    "IGlobalInterfaceTable::RevokeInterfaceFromGlobal",
    "IGlobalInterfaceTable::GetInterfaceFromGlobal",
    "IWiaDevMgr::EnumDeviceInfo",
    "IWiaDevMgr::CreateDevice",
    "IEnumWIA_DEV_INFO::Next",
    "IWiaPropertyStorage::ReadMultiple",
    "IWiaPropertyStorage::WriteMultiple",
    "IWiaPropertyStorage::QueryInterface",
    "IWiaPropertyStorage::Enum",
    "IEnumSTATPROPSTG::Next",
    "IWiaItem::QueryInterface",
    "IWiaItem::EnumChildItems",
    "IWiaItem::DeviceDlg",
    "IWiaItem::GetItemType",
    "IEnumWiaItem::Next",
    "IWiaDataTransfer::idtGetData",
    "IWiaDataCallback::BandedDataCallback",
    "IWiaPropertyStorage::GetPropertyAttributes",
    "SysAllocStringLen",
};

// Properties the natives read or the devices describe themselves with.
constexpr PROPID kProperties[] = {
    WIA_DIP_DEV_ID, WIA_DIP_VEND_DESC, WIA_DIP_DEV_DESC, WIA_DIP_DEV_TYPE, WIA_DIP_PORT_NAME,
    WIA_DIP_DEV_NAME, WIA_DIP_SERVER_NAME, WIA_DIP_WIA_VERSION, WIA_DPS_HORIZONTAL_BED_SIZE,
    WIA_DPS_VERTICAL_BED_SIZE, WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, WIA_DPS_VERTICAL_SHEET_FEED_SIZE,
    WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES, WIA_DPS_DOCUMENT_HANDLING_STATUS,
    WIA_DPS_DOCUMENT_HANDLING_SELECT, WIA_DPS_PAGES, WIA_DPS_PAGE_SIZE, WIA_DPS_PAGE_WIDTH,
    WIA_DPS_PAGE_HEIGHT, WIA_IPA_ITEM_NAME, WIA_IPA_FULL_ITEM_NAME, WIA_IPA_ITEM_TIME,
    WIA_IPA_ITEM_FLAGS, WIA_IPA_DATATYPE, WIA_IPA_DEPTH, WIA_IPA_PREFERRED_FORMAT,
    WIA_IPA_FORMAT, WIA_IPA_TYMED, WIA_IPA_FILENAME_EXTENSION, WIA_IPS_CUR_INTENT,
    WIA_IPS_XRES, WIA_IPS_YRES, WIA_IPS_XPOS, WIA_IPS_YPOS, WIA_IPS_XEXTENT, WIA_IPS_YEXTENT};

constexpr VARTYPE kTypes[] = {
    VT_EMPTY, VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I8,
    VT_UI8, VT_BOOL, VT_ERROR, VT_R4, VT_R8, VT_DATE, VT_BSTR, VT_LPWSTR, VT_LPSTR, VT_CLSID,
    static_cast<VARTYPE>(VT_VECTOR | VT_I4), static_cast<VARTYPE>(VT_VECTOR | VT_UI1),
    static_cast<VARTYPE>(VT_VECTOR | VT_I2), static_cast<VARTYPE>(VT_VECTOR | VT_UI4)};

constexpr long long kNumbers[] = {0, 1, -1, 2, 24, 48, 75, 300, 1200, INT_MAX, INT_MIN,
                                  LLONG_MAX, LLONG_MIN, 0x10000, 0x20000, 0x30001};

template <typename T, size_t N>
T pick(FuzzedDataProvider& in, const T (&values)[N]) {
  return values[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// Text as the devices report it (UTF-8 that winsim turns into UTF-16): plain, with zeros
// inside, with unpaired surrogates (the 3-byte forms of U+D800..U+DFFF), or raw bytes.
std::string hostileText(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
      return in.ConsumeRandomLengthString(24);
    case 1:
      return std::string("Cam\0era", 7);
    case 2:
      return "Scan\xED\xA0\x80ner";  // a lone high surrogate
    case 3:
      return "\xED\xBF\xBF" + in.ConsumeRandomLengthString(8) + "\xF0\x9F\x93\xB7";  // a lone low one
    default:
      return "";
  }
}

long long number(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? pick(in, kNumbers) : in.ConsumeIntegral<long long>();
}

winsim::PropertyValue propertyValue(FuzzedDataProvider& in) {
  winsim::PropertyValue value;
  value.vt = pick(in, kTypes);
  value.number = number(in);
  value.real = in.ConsumeFloatingPoint<double>();
  value.text = hostileText(in);
  if (in.ConsumeBool()) {
    value.guid = in.ConsumeBool() ? WiaImgFmt_JPEG : WiaImgFmt_BMP;
  } else {
    value.guid.Data1 = in.ConsumeIntegral<uint32_t>();
  }
  const int elements = in.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < elements; ++i) value.elements.push_back(number(in));
  return value;
}

winsim::Fault fault(FuzzedDataProvider& in, const std::vector<winsim::DeviceSpec>& devices) {
  winsim::Fault f;
  f.method = pick(in, kMethods);
  f.result = pick(in, kResults);
  f.nth = in.ConsumeIntegralInRange(0u, 6u);
  if (!devices.empty() && in.ConsumeBool()) {
    const auto& device = devices[in.ConsumeIntegralInRange<size_t>(0, devices.size() - 1)];
    f.target = in.ConsumeBool() ? device.id : winsim::fullItemName(device.id, "");
  }
  return f;
}

// Names the device's items go by, for dialog scripts and read overrides.
std::vector<std::string> itemNames(const winsim::DeviceSpec& device) {
  std::vector<std::string> names;
  if (device.kind == winsim::DeviceKind::Scanner) {
    names.push_back("Flatbed");
  } else {
    for (const auto& picture : device.pictures) names.push_back(picture.name);
    if (device.generatedPictures > 0) names.push_back("IMG_0001");
  }
  names.push_back("*");
  return names;
}

std::vector<winsim::DialogStep> dialogScript(FuzzedDataProvider& in, const winsim::DeviceSpec& device) {
  std::vector<winsim::DialogStep> steps;
  const int count = in.ConsumeIntegralInRange(0, 3);
  const std::vector<std::string> names = itemNames(device);
  for (int i = 0; i < count; ++i) {
    winsim::DialogStep step;
    step.action = static_cast<winsim::DialogAction>(in.ConsumeIntegralInRange(0, 2));
    step.failure = pick(in, kResults);
    const int items = in.ConsumeIntegralInRange(0, 4);
    for (int k = 0; k < items; ++k) step.items.push_back(pick(in, {names[0], names.back(), hostileText(in)}));
    if (in.ConsumeBool()) step.items = {names[in.ConsumeIntegralInRange<size_t>(0, names.size() - 1)]};
    if (device.kind == winsim::DeviceKind::Scanner && in.ConsumeBool()) {
      step.settings.emplace_back(pick(in, {WIA_IPS_XRES, WIA_IPS_YRES, WIA_IPA_DEPTH, WIA_IPS_XEXTENT}),
                                 static_cast<LONG>(in.ConsumeIntegralInRange(1, 400)));
    }
    steps.push_back(step);
  }
  return steps;
}

winsim::DeviceSpec device(FuzzedDataProvider& in, int index) {
  winsim::DeviceSpec d;
  d.kind = in.ConsumeBool() ? winsim::DeviceKind::Camera : winsim::DeviceKind::Scanner;
  // IDs stay unique (a set with duplicates is refused before any native runs); their
  // instance part may be odd.
  d.id = "{FUZZ}\\" + std::to_string(index) + (in.ConsumeBool() ? hostileText(in) : "");
  d.name = hostileText(in);
  if (in.ConsumeBool()) d.vendor = hostileText(in);
  if (in.ConsumeBool()) d.description = hostileText(in);
  d.subtype = in.ConsumeIntegral<WORD>();
  const int info = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < info; ++i) {
    d.info.emplace_back(pick(in, kProperties), in.ConsumeBool() ? winsim::PropertyValue::missing()
                                                                : propertyValue(in));
  }
  d.jpegFiles = in.ConsumeBool();
  d.bmpFiles = in.ConsumeBool();
  d.deepColour = in.ConsumeBool();
  d.nearestValues = in.ConsumeBool();
  d.vanishes = in.ConsumeIntegralInRange(0, 7) == 0;
  if (d.kind == winsim::DeviceKind::Scanner) {
    d.dataTypes.clear();
    for (LONG type : {WIA_DATA_THRESHOLD, WIA_DATA_GRAYSCALE, WIA_DATA_COLOR}) {
      if (in.ConsumeBool()) d.dataTypes.push_back(type);
    }
    if (d.dataTypes.empty()) d.dataTypes.push_back(WIA_DATA_COLOR);
    d.resolutionMin = in.ConsumeIntegralInRange(1, 100);
    d.resolutionMax = in.ConsumeIntegralInRange(d.resolutionMin, 300);
    d.resolutionNominal = in.ConsumeIntegralInRange(d.resolutionMin, d.resolutionMax);
    d.resolutionStep = in.ConsumeIntegralInRange(1, 50);
    if (in.ConsumeBool()) d.resolutions = {d.resolutionMin, d.resolutionNominal, d.resolutionMax};
    // Beds stay small enough that a whole-bed scan is quick.
    d.bedWidth = in.ConsumeIntegralInRange(1, 1500);
    d.bedHeight = in.ConsumeIntegralInRange(1, 1500);
    if (in.ConsumeBool()) {  // so are the feeder's sheets, and they are few
      winsim::FeederSpec feeder;
      feeder.sheets = in.ConsumeIntegralInRange(0u, 6u);
      feeder.duplex = in.ConsumeBool();
      feeder.jamAt = in.ConsumeIntegralInRange(0u, 6u);
      feeder.sheetWidth = in.ConsumeIntegralInRange(winsim::kSmallestPage, 1500);
      feeder.sheetHeight = in.ConsumeIntegralInRange(winsim::kSmallestPage, 1500);
      d.feeder = feeder;
    }
  } else {
    const int pictures = in.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < pictures; ++i) {
      winsim::PictureSpec picture;
      picture.name = "P" + std::to_string(i) + in.ConsumeRandomLengthString(6);
      picture.width = in.ConsumeIntegralInRange(1, 48);
      picture.height = in.ConsumeIntegralInRange(1, 48);
      picture.taken.wYear = in.ConsumeIntegralInRange<WORD>(1601, 30827);
      picture.taken.wMonth = in.ConsumeIntegralInRange<WORD>(1, 12);
      picture.taken.wDay = in.ConsumeIntegralInRange<WORD>(1, 28);
      d.pictures.push_back(picture);
    }
    d.generatedPictures = in.ConsumeIntegralInRange(0u, 4u);
    d.generatedWidth = in.ConsumeIntegralInRange(1, 16);
    d.generatedHeight = in.ConsumeIntegralInRange(1, 16);
  }
  d.dialog = dialogScript(in, d);
  return d;
}

// Writes as a host might ask them: the document handling's flags (valid and not), page
// counts and sizes in and out of range, and any property with any value.
std::vector<jint> rootWrites(FuzzedDataProvider& in) {
  std::vector<jint> writes;
  const int count = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < count; ++i) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0:
        writes.insert(writes.end(), {WIA_DPS_DOCUMENT_HANDLING_SELECT,
                                     pick(in, {FEEDER, FLATBED, FEEDER | DUPLEX, FEEDER | DUPLEX | FRONT_FIRST,
                                               FEEDER | DUPLEX | BACK_FIRST, FEEDER | FLATBED, 0, -1})});
        break;
      case 1:
        writes.insert(writes.end(), {WIA_DPS_PAGES, static_cast<jint>(in.ConsumeIntegralInRange(-1, 8))});
        break;
      case 2:
        writes.insert(writes.end(), {pick(in, {WIA_DPS_PAGE_WIDTH, WIA_DPS_PAGE_HEIGHT, WIA_DPS_PAGE_SIZE}),
                                     static_cast<jint>(in.ConsumeIntegralInRange(-1, 2000))});
        break;
      default:
        writes.insert(writes.end(), {static_cast<jint>(pick(in, kProperties)), static_cast<jint>(number(in))});
        break;
    }
  }
  if (!writes.empty() && in.ConsumeIntegralInRange(0, 15) == 0) writes.pop_back();  // an id without its value
  return writes;
}

std::vector<jint> itemWrites(FuzzedDataProvider& in) {
  std::vector<jint> writes;
  const int count = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < count; ++i) {
    writes.push_back(pick(in, {WIA_IPS_XRES, WIA_IPS_YRES, WIA_IPA_DATATYPE, WIA_IPA_DEPTH, WIA_IPS_XEXTENT,
                               WIA_IPS_YEXTENT, WIA_IPA_FORMAT}));
    writes.push_back(static_cast<jint>(in.ConsumeIntegralInRange(-5, 400)));
  }
  return writes;
}

Operation operation(FuzzedDataProvider& in, const std::vector<winsim::DeviceSpec>& devices) {
  Operation op;
  op.kind = static_cast<Operation::Kind>(
      in.ConsumeIntegralInRange(0, static_cast<int>(Operation::Kind::kCount) - 1));
  op.handleChoice = in.ConsumeIntegral<uint8_t>();
  op.foreignHandle = in.ConsumeBool() ? pick(in, {jlong(0), jlong(-1), jlong(1), jlong(INT_MAX) + 1})
                                      : in.ConsumeIntegral<jlong>();
  op.dialog = in.ConsumeBool();
  op.scan[0] = pick(in, {1, 8, 16, 24, 48, 0, -1, 7});
  for (int i = 1; i < 6; ++i) {
    op.scan[i] = in.ConsumeBool() ? -1 : static_cast<jint>(in.ConsumeIntegralInRange(-5, 400));
  }
  op.listenerCall = in.ConsumeIntegralInRange(0, 3);
  op.fault = fault(in, devices);
  if (op.kind == Operation::Kind::ScanPages) {
    op.rootWrites = rootWrites(in);
    op.itemWrites = itemWrites(in);
    op.maxPages = static_cast<jint>(in.ConsumeIntegralInRange(-1, 8));
  }
  op.progressPage = static_cast<jint>(in.ConsumeIntegralInRange(1, 4));
  op.progressPercent = static_cast<jint>(in.ConsumeIntegralInRange(0, 100));
  return op;
}

}  // namespace

Scenario readScenario(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Scenario s;
  const int devices = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < devices; ++i) s.devices.push_back(device(in, i));
  const int overrides = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < overrides && !s.devices.empty(); ++i) {
    winsim::ReadOverride rule;
    const auto& d = s.devices[in.ConsumeIntegralInRange<size_t>(0, s.devices.size() - 1)];
    const std::vector<std::string> names = itemNames(d);
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0: rule.target = ""; break;
      case 1: rule.target = d.id; break;
      case 2: rule.target = winsim::fullItemName(d.id, ""); break;
      default: rule.target = winsim::fullItemName(d.id, names.front()); break;
    }
    rule.propid = pick(in, kProperties);
    rule.status = pick(in, kResults);
    rule.replaceValue = in.ConsumeBool();
    rule.value = propertyValue(in);
    s.overrides.push_back(rule);
  }
  const int faults = in.ConsumeIntegralInRange(0, 2);
  for (int i = 0; i < faults; ++i) s.faults.push_back(fault(in, s.devices));
  s.folder = static_cast<TemporaryFolder>(
      in.ConsumeIntegralInRange(0, static_cast<int>(TemporaryFolder::kCount) - 1));
  const int operations = in.ConsumeIntegralInRange(1, 12);
  for (int i = 0; i < operations; ++i) s.operations.push_back(operation(in, s.devices));
  return s;
}

}  // namespace fuzz
