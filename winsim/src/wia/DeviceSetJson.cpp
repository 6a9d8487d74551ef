// Device sets as JSON (format in winsim/devices.h). Every error names the place it was
// found, and unknown or repeated keys are errors so that a misspelt or doubled setting
// cannot pass unnoticed.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <set>
#include <stdexcept>

#include "Values.h"
#include "winsim/devices.h"

namespace winsim {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& problem) {
  throw std::invalid_argument(where + ": " + problem);
}

void requireObject(const json& value, const std::string& where) {
  if (!value.is_object()) fail(where, "expected an object");
}

void allowKeys(const json& object, const std::string& where,
               std::initializer_list<const char*> keys) {
  requireObject(object, where);
  for (const auto& item : object.items()) {
    bool known = false;
    for (const char* key : keys) known = known || item.key() == key;
    if (!known) fail(where, "unknown key \"" + item.key() + "\"");
  }
}

// Reads the member `key` of `object`, when it has one, into `*target` with `read` (the
// member's place is `where`.key): an optional setting left out keeps its default.
template <typename T, typename Read>
void readIf(const json& object, const char* key, const std::string& where, T* target, Read read) {
  auto found = object.find(key);
  if (found != object.end()) *target = read(*found, where + "." + key);
}

// Calls `each` with every element of an array and the element's place.
template <typename Each>
void forEach(const json& array, const std::string& where, Each each) {
  if (!array.is_array()) fail(where, "expected an array");
  for (size_t i = 0; i < array.size(); ++i) each(array[i], where + "[" + std::to_string(i) + "]");
}

// A reader of an array that reads each element with `readElement`.
template <typename ReadElement>
auto listOf(ReadElement readElement) {
  return [readElement](const json& array, const std::string& where) {
    std::vector<decltype(readElement(array, where))> list;
    forEach(array, where, [&](const json& element, const std::string& place) {
      list.push_back(readElement(element, place));
    });
    return list;
  };
}

std::string text(const json& value, const std::string& where) {
  if (!value.is_string()) fail(where, "expected a string");
  return value.get<std::string>();
}

long long integer(const json& value, const std::string& where, long long min, long long max) {
  if (!value.is_number_integer()) fail(where, "expected an integer");
  long long number = value.get<long long>();
  if (number < min || number > max) {
    fail(where, "must be between " + std::to_string(min) + " and " + std::to_string(max));
  }
  return number;
}

// A reader of an integer from `min` to `max` as a `T`.
template <typename T>
auto integerIn(long long min, long long max) {
  return [min, max](const json& value, const std::string& where) {
    return static_cast<T>(integer(value, where, min, max));
  };
}

LONG long32(const json& value, const std::string& where) {
  return static_cast<LONG>(integer(value, where, INT32_MIN, INT32_MAX));
}

bool flag(const json& value, const std::string& where) {
  if (!value.is_boolean()) fail(where, "expected true or false");
  return value.get<bool>();
}

// An HRESULT as a number or as "0x80210006".
HRESULT code(const json& value, const std::string& where) {
  if (value.is_string()) {
    std::string hex = value.get<std::string>();
    unsigned long parsed = 0;
    int consumed = 0;
    if (std::sscanf(hex.c_str(), "0x%lx%n", &parsed, &consumed) != 1 ||
        static_cast<size_t>(consumed) != hex.size() || parsed > 0xFFFFFFFFul) {
      fail(where, "expected a code like \"0x80210006\"");
    }
    return static_cast<HRESULT>(static_cast<uint32_t>(parsed));
  }
  return static_cast<HRESULT>(static_cast<uint32_t>(integer(value, where, INT32_MIN, UINT32_MAX)));
}

PROPID propertyId(const std::string& key, const std::string& where) {
  char* end = nullptr;
  unsigned long id = std::strtoul(key.c_str(), &end, 10);
  if (key.empty() || *end != 0 || id < 2 || id > 0xFFFFFFFEul) {
    fail(where, "\"" + key + "\" is not a property ID");
  }
  return static_cast<PROPID>(id);
}

PropertyValue propertyValue(const json& value, const std::string& where) {
  if (value.is_null()) return PropertyValue::missing();
  allowKeys(value, where, {"type", "value"});
  if (!value.contains("type")) fail(where, "missing \"type\"");
  std::string typeName = text(value["type"], where + ".type");
  PropertyValue result;
  result.vt = wia::varTypeFromName(typeName);
  if (result.vt == 0xFFFF) fail(where + ".type", "unknown type \"" + typeName + "\"");
  const json none;
  const json& v = value.contains("value") ? value["value"] : none;
  std::string at = where + ".value";
  if (result.vt & VT_VECTOR) {
    forEach(v, at, [&result](const json& element, const std::string& place) {
      result.elements.push_back(integer(element, place, INT64_MIN, INT64_MAX));
    });
    return result;
  }
  switch (result.vt) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_BSTR:
    case VT_LPWSTR:
    case VT_LPSTR:
      result.text = text(v, at);
      break;
    case VT_CLSID:
      if (!wia::parseGuid(text(v, at), &result.guid)) fail(at, "expected \"{XXXXXXXX-...}\"");
      break;
    case VT_R4:
    case VT_R8:
    case VT_DATE:
      if (!v.is_number()) fail(at, "expected a number");
      result.real = v.get<double>();
      break;
    case VT_BOOL:
      result.number = v.is_boolean() ? v.get<bool>() : integer(v, at, INT64_MIN, INT64_MAX);
      break;
    default:
      result.number = integer(v, at, INT64_MIN, INT64_MAX);
      break;
  }
  return result;
}

unsigned daysIn(unsigned year, unsigned month) {
  static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

SYSTEMTIME timestamp(const json& value, const std::string& where) {
  std::string textValue = text(value, where);
  SYSTEMTIME t{};
  unsigned year, month, day, hour, minute, second;
  int consumed = 0;
  if (std::sscanf(textValue.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u%n", &year, &month, &day, &hour,
                  &minute, &second, &consumed) != 6 ||
      static_cast<size_t>(consumed) != textValue.size() || month < 1 || month > 12 || day < 1 ||
      day > 31 || hour > 23 || minute > 59 || second > 59) {
    fail(where, "expected a time like \"2024-05-03T10:30:00\"");
  }
  // SYSTEMTIME's years; a date the calendar does not have would reach programs as it stands.
  if (year < 1601) fail(where, "the year must be between 1601 and 9999");
  if (day > daysIn(year, month)) fail(where, textValue.substr(0, 7) + " has no day " + std::to_string(day));
  t = {static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day),
       static_cast<WORD>(hour), static_cast<WORD>(minute), static_cast<WORD>(second), 0};
  // Day of the week (Sakamoto's method), 0 for Sunday as in SYSTEMTIME.
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  unsigned y = month < 3 ? year - 1 : year;
  t.wDayOfWeek = static_cast<WORD>((y + y / 4 - y / 100 + y / 400 + offsets[month - 1] + day) % 7);
  return t;
}

LONG dataType(const json& value, const std::string& where) {
  std::string name = text(value, where);
  if (name == "threshold") return WIA_DATA_THRESHOLD;
  if (name == "grayscale") return WIA_DATA_GRAYSCALE;
  if (name == "color") return WIA_DATA_COLOR;
  fail(where, "expected \"threshold\", \"grayscale\" or \"color\"");
}

DialogStep dialogStep(const json& value, const std::string& where) {
  allowKeys(value, where, {"action", "items", "code", "settings"});
  DialogStep step;
  std::string action = value.contains("action") ? text(value["action"], where + ".action") : "pick";
  if (action == "pick") {
    step.action = DialogAction::Pick;
  } else if (action == "cancel") {
    step.action = DialogAction::Cancel;
  } else if (action == "fail") {
    step.action = DialogAction::Fail;
  } else {
    fail(where + ".action", "expected \"pick\", \"cancel\" or \"fail\"");
  }
  readIf(value, "items", where, &step.items, listOf(text));
  readIf(value, "code", where, &step.failure, code);
  if (value.contains("settings")) {
    const json& settings = value["settings"];
    requireObject(settings, where + ".settings");
    for (const auto& entry : settings.items()) {
      std::string at = where + ".settings." + entry.key();
      step.settings.emplace_back(propertyId(entry.key(), at), long32(entry.value(), at));
    }
  }
  return step;
}

PictureSpec picture(const json& value, const std::string& where) {
  allowKeys(value, where, {"name", "width", "height", "taken"});
  PictureSpec p;
  if (!value.contains("name")) fail(where, "missing \"name\"");
  p.name = text(value["name"], where + ".name");
  readIf(value, "width", where, &p.width, long32);
  readIf(value, "height", where, &p.height, long32);
  readIf(value, "taken", where, &p.taken, timestamp);
  return p;
}

// A size in 1/1000 inch, {"width": 8500, "height": 11693}, into `*width` and `*height`, when
// `object` has the member `key`; either side may be left out.
void readSize(const json& object, const char* key, const std::string& where, LONG* width, LONG* height) {
  if (!object.contains(key)) return;
  const json& size = object[key];
  const std::string place = where + "." + key;
  allowKeys(size, place, {"width", "height"});
  readIf(size, "width", place, width, long32);
  readIf(size, "height", place, height, long32);
}

// "feeder": {"sheets": 20, "duplex": true, "jamAt": 3, "sheetSize": {"width": 8500, "height": 14000}}
FeederSpec feederSpec(const json& value, const std::string& where) {
  allowKeys(value, where, {"sheets", "duplex", "jamAt", "sheetSize"});
  FeederSpec feeder;
  readIf(value, "sheets", where, &feeder.sheets, integerIn<unsigned>(0, kFeederCapacity));
  readIf(value, "duplex", where, &feeder.duplex, flag);
  readIf(value, "jamAt", where, &feeder.jamAt, integerIn<unsigned>(0, kFeederCapacity));
  readSize(value, "sheetSize", where, &feeder.sheetWidth, &feeder.sheetHeight);
  return feeder;
}

DeviceSpec device(const json& value, const std::string& where) {
  allowKeys(value, where,
            {"kind", "id", "name", "vendor", "description", "port", "subtype", "info", "formats",
             "deepColour", "nearestValues", "vanishes", "transferDelayMs", "dataTypes",
             "resolution", "resolutions", "bed", "pictures", "generatedPictures",
             "generatedSize", "dialog", "feeder", "transferMillis"});
  DeviceSpec d;
  if (!value.contains("kind")) fail(where, "missing \"kind\"");
  std::string kind = text(value["kind"], where + ".kind");
  if (kind == "scanner") {
    d.kind = DeviceKind::Scanner;
  } else if (kind == "camera") {
    d.kind = DeviceKind::Camera;
  } else {
    fail(where + ".kind", "expected \"scanner\" or \"camera\"");
  }
  if (!value.contains("id")) fail(where, "missing \"id\"");
  d.id = text(value["id"], where + ".id");
  std::string at = where + "(" + d.id + ")";
  readIf(value, "name", at, &d.name, text);
  readIf(value, "vendor", at, &d.vendor, text);
  readIf(value, "description", at, &d.description, text);
  readIf(value, "port", at, &d.port, text);
  readIf(value, "subtype", at, &d.subtype, integerIn<WORD>(0, 0xFFFF));
  if (value.contains("info")) {
    requireObject(value["info"], at + ".info");
    for (const auto& entry : value["info"].items()) {
      std::string place = at + ".info." + entry.key();
      d.info.emplace_back(propertyId(entry.key(), place), propertyValue(entry.value(), place));
    }
  }
  if (value.contains("formats")) {
    d.jpegFiles = d.bmpFiles = false;
    forEach(value["formats"], at + ".formats", [&d](const json& format, const std::string& place) {
      std::string name = text(format, place);
      if (name == "jpeg") {
        d.jpegFiles = true;
      } else if (name == "bmp") {
        d.bmpFiles = true;
      } else {
        fail(place, "expected \"jpeg\" or \"bmp\"");
      }
    });
  }
  readIf(value, "deepColour", at, &d.deepColour, flag);
  readIf(value, "nearestValues", at, &d.nearestValues, flag);
  readIf(value, "vanishes", at, &d.vanishes, flag);
  readIf(value, "transferDelayMs", at, &d.transferDelayMs, integerIn<unsigned>(0, 600000));
  readIf(value, "dataTypes", at, &d.dataTypes, listOf(dataType));
  if (value.contains("resolution")) {
    const json& range = value["resolution"];
    const std::string place = at + ".resolution";
    allowKeys(range, place, {"min", "nominal", "max", "step"});
    readIf(range, "min", place, &d.resolutionMin, long32);
    readIf(range, "nominal", place, &d.resolutionNominal, long32);
    readIf(range, "max", place, &d.resolutionMax, long32);
    readIf(range, "step", place, &d.resolutionStep, long32);
  }
  readIf(value, "resolutions", at, &d.resolutions, listOf(long32));
  readSize(value, "bed", at, &d.bedWidth, &d.bedHeight);
  readIf(value, "pictures", at, &d.pictures, listOf(picture));
  readIf(value, "generatedPictures", at, &d.generatedPictures, integerIn<unsigned>(0, 10000000));
  if (value.contains("generatedSize")) {
    const json& size = value["generatedSize"];
    if (!size.is_array() || size.size() != 2) fail(at + ".generatedSize", "expected [width, height]");
    d.generatedWidth = long32(size[0], at + ".generatedSize[0]");
    d.generatedHeight = long32(size[1], at + ".generatedSize[1]");
  }
  readIf(value, "dialog", at, &d.dialog, listOf(dialogStep));
  readIf(value, "feeder", at, &d.feeder, feederSpec);
  readIf(value, "transferMillis", at, &d.transferMillis, integerIn<unsigned>(0, 600000));
  return d;
}

// A parse callback that refuses an object giving a key twice, naming the object's place
// ("devices[1].pictures[0]"): the parser alone would keep the last value without a word.
json::parser_callback_t refuseRepeatedKeys() {
  struct Level {
    bool object = false;
    std::set<std::string> keys;
    std::string key;   // object: the member being read
    size_t index = 0;  // array: the element being read
  };
  auto levels = std::make_shared<std::vector<Level>>();
  auto placeOf = [levels](size_t depth) {
    std::string place = depth > 0 && !(*levels)[0].object ? "devices" : "";
    for (size_t i = 0; i < depth; ++i) {
      const Level& level = (*levels)[i];
      place += level.object ? (place.empty() ? "" : ".") + level.key : "[" + std::to_string(level.index) + "]";
    }
    return place.empty() ? std::string("device set") : place;
  };
  return [levels, placeOf](int, json::parse_event_t event, json& parsed) {
    using Event = json::parse_event_t;
    switch (event) {
      case Event::object_start:
      case Event::array_start:
        levels->push_back(Level{event == Event::object_start, {}, {}, 0});
        break;
      case Event::key: {
        Level& level = levels->back();
        level.key = parsed.get<std::string>();
        if (!level.keys.insert(level.key).second) {
          fail(placeOf(levels->size() - 1), "\"" + level.key + "\" given twice");
        }
        break;
      }
      case Event::object_end:
      case Event::array_end:
        levels->pop_back();
        if (!levels->empty() && !levels->back().object) ++levels->back().index;
        break;
      case Event::value:
        if (!levels->empty() && !levels->back().object) ++levels->back().index;
        break;
    }
    return true;
  };
}

}  // namespace

std::vector<DeviceSpec> parseDevices(const std::string& text) {
  json document;
  try {
    document = json::parse(text, refuseRepeatedKeys());
  } catch (const json::parse_error& error) {
    throw std::invalid_argument(std::string("not valid JSON: ") + error.what());
  }
  const json* list = &document;
  if (document.is_object()) {
    allowKeys(document, "device set", {"devices"});
    if (!document.contains("devices")) fail("device set", "missing \"devices\"");
    list = &document["devices"];
  }
  std::vector<DeviceSpec> devices;
  forEach(*list, "devices", [&devices](const json& entry, const std::string& place) {
    devices.push_back(device(entry, place));
  });
  return devices;
}

}  // namespace winsim
