#include "SaneBackend.h"

#include <algorithm>
#include <cstring>

#include "SaneDevice.h"
#include "SaneSession.h"
#include "SaneStatus.h"

namespace winsim::drivers {
namespace {

constexpr size_t kMaxDevices = 1024;

struct Listed {
  int status = SANE_STATUS_GOOD;
  std::vector<SaneDeviceInfo> devices;
};

struct Opened {
  int status = SANE_STATUS_GOOD;
  SANE_Handle handle = nullptr;
  int readStatus = SANE_STATUS_GOOD;
  std::vector<SaneOption> options;
  std::vector<SaneDataType> dataTypes;
};

std::string textOf(SANE_String_Const text) { return text ? text : ""; }

// The data types of every mode, found by selecting each mode in turn and reading the depths
// it offers (backends change the depth option's list with the mode), then selecting the
// mode the device had again. A mode that cannot be selected is left out.
std::vector<SaneDataType> dataTypesOfEveryMode(const SaneApi& api, SANE_Handle handle,
                                               std::vector<SaneOption>* options) {
  const SaneOption* mode = findSaneOption(*options, SANE_NAME_SCAN_MODE);
  if (!mode || !mode->settable() || mode->type != SANE_TYPE_STRING || mode->strings.empty() ||
      !mode->hasValue)
    return dataTypesOfCurrentMode(*options);
  const SaneOption selector = *mode;
  auto select = [&](const std::string& name) {
    if (name.size() + 1 > static_cast<size_t>(selector.size)) return false;
    std::vector<char> value(static_cast<size_t>(selector.size), '\0');
    std::memcpy(value.data(), name.data(), name.size());
    SANE_Int info = 0;
    if (api.controlOption(handle, selector.index, SANE_ACTION_SET_VALUE, value.data(), &info) !=
        SANE_STATUS_GOOD)
      return false;
    return readSaneOptions(api, handle, options) == SANE_STATUS_GOOD;
  };
  std::vector<SaneDataType> types;
  for (const std::string& name : selector.strings) {
    if (!select(name)) continue;
    for (const SaneDataType& type : dataTypesOfCurrentMode(*options))
      if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
  }
  if (!select(selector.text)) (void)readSaneOptions(api, handle, options);
  return types;
}

}  // namespace

SaneBackend::SaneBackend(const SaneBackendOptions& options)
    : started_([&options](std::string* reason) { return SaneSession::start(options.library, options.limits, reason); }) {}

SaneBackend::~SaneBackend() = default;

DriverStatus SaneBackend::listDevices(std::vector<SaneDeviceInfo>* devices) {
  devices->clear();
  const std::shared_ptr<SaneSession>& session = started_.session();
  if (!session) return DriverStatus{};
  auto api = session->api;
  Listed listed;
  DriverStatus called = session->poll<Listed>(
      "sane_get_devices",
      [api] {
        Listed result;
        const SANE_Device** list = nullptr;
        result.status = api->getDevices(&list, SANE_FALSE);
        if (result.status != SANE_STATUS_GOOD || !list) return result;
        for (size_t i = 0; i < kMaxDevices && list[i]; ++i) {
          const SANE_Device* device = list[i];
          if (!device->name || !*device->name) continue;
          result.devices.push_back(
              {device->name, textOf(device->vendor), textOf(device->model), textOf(device->type)});
        }
        return result;
      },
      &listed);
  if (!called.ok()) return called;
  if (listed.status != SANE_STATUS_GOOD)
    return saneFailure(listed.status, api->statusText(listed.status), "sane_get_devices");
  *devices = std::move(listed.devices);
  return DriverStatus{};
}

DriverStatus SaneBackend::open(const std::string& name, std::unique_ptr<SaneDevice>* device) {
  device->reset();
  const std::shared_ptr<SaneSession>& session = started_.session();
  if (!session) return started_.offline("SANE", "sane_open");
  auto api = session->api;
  Opened opened;
  DriverStatus called = session->poll<Opened>(
      "sane_open",
      [api, name] {
        Opened result;
        result.status = api->open(name.c_str(), &result.handle);
        if (result.status != SANE_STATUS_GOOD) {
          result.handle = nullptr;
          return result;
        }
        result.readStatus = readSaneOptions(*api, result.handle, &result.options);
        if (result.readStatus == SANE_STATUS_GOOD)
          result.dataTypes = dataTypesOfEveryMode(*api, result.handle, &result.options);
        else
          api->close(result.handle);
        return result;
      },
      &opened,
      [api](Opened& late) {
        if (late.status == SANE_STATUS_GOOD && late.readStatus == SANE_STATUS_GOOD) api->close(late.handle);
      });
  if (!called.ok()) return called;
  if (opened.status != SANE_STATUS_GOOD)
    return saneFailure(opened.status, api->statusText(opened.status), "sane_open");
  if (opened.readStatus != SANE_STATUS_GOOD)
    return saneFailure(opened.readStatus, api->statusText(opened.readStatus), "sane_control_option");
  *device = std::make_unique<SaneDevice>(session, name, opened.handle, std::move(opened.options),
                                         std::move(opened.dataTypes));
  return DriverStatus{};
}

}  // namespace winsim::drivers
