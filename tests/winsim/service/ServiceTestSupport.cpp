#include "ServiceTestSupport.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace servicetest {

std::string saneConfigFolder;

namespace {

// test.conf as SANE's test backend installs it, with the colour pattern.
const std::map<std::string, std::string> kTestBackendDefaults = {
    {"number_of_devices", "2"},     {"mode", "Gray"},           {"depth", "8"},
    {"hand-scanner", "false"},      {"three-pass", "false"},    {"three-pass-order", "RGB"},
    {"resolution_min", "1.0"},      {"resolution_max", "1200.0"}, {"resolution_quant", "1.0"},
    {"resolution", "50.0"},         {"test-picture", "\"Color pattern\""}, {"invert-endianess", "false"},
    {"read-limit", "false"},        {"read-limit-size", "1"},   {"read-delay", "false"},
    {"read-delay-duration", "1000"}, {"read-status-code", "\"Default\""}, {"fuzzy-parameters", "false"},
    {"ppl-loss", "0"},              {"non-blocking", "false"},  {"select-fd", "false"},
    {"enable-test-options", "false"}, {"geometry_min", "0.0"},  {"geometry_max", "200.0"},
    {"geometry_quant", "1.0"},      {"tl_x", "0.0"},            {"tl_y", "0.0"},
    {"br_x", "80.0"},               {"br_y", "100.0"},
};

}  // namespace

void ServiceTest::SetUp() {
  useDrivers("sane,gphoto2");
  configureTestBackend({});
  WiaTest::SetUp();
}

void ServiceTest::TearDown() {
  WiaTest::TearDown();
  unsetenv("VESTARO_FOLDER_CAMERAS");
}

void ServiceTest::configureTestBackend(const std::map<std::string, std::string>& settings) {
  std::map<std::string, std::string> all = kTestBackendDefaults;
  for (const auto& [name, value] : settings) all[name] = value;
  std::ofstream conf(saneConfigFolder + "/test.conf");
  for (const auto& [name, value] : all) conf << name << " " << value << "\n";
  conf.close();
  winsim::restartDrivers();
}

void ServiceTest::useDrivers(const std::string& drivers) { setenv("VESTARO_DRIVERS", drivers.c_str(), 1); }

std::vector<std::string> listedIds(HRESULT* end) {
  std::vector<std::string> ids;
  ComPtr<IEnumWIA_DEV_INFO> devices;
  EXPECT_EQ(S_OK, wiatest::manager()->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, devices.put()));
  for (;;) {
    ComPtr<IWiaPropertyStorage> info;
    ULONG fetched = 0;
    const HRESULT hr = devices->Next(1, info.put(), &fetched);
    if (hr != S_OK) {
      if (end) *end = hr;
      break;
    }
    ids.push_back(wiatest::readText(info.get(), WIA_DIP_DEV_ID));
  }
  return ids;
}

ComPtr<IWiaPropertyStorage> rootStorage(IWiaItem* root) { return wiatest::storageOf(root); }

HRESULT ProgressRecorder::BandedDataCallback(LONG message, LONG status, LONG percent, LONG, LONG, LONG, LONG, BYTE*) {
  EXPECT_EQ(IT_MSG_STATUS, message);
  messages.push_back({status, percent});
  if (!answered && percent >= answerAtPercent) {
    answered = true;
    return answer;
  }
  return S_OK;
}

std::string systemText(HRESULT code) {
  LPSTR text = nullptr;
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length == 0 || !text) return "";
  std::string result(text, length);
  LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}

std::vector<std::string> temporaryEntries(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(tmp && *tmp ? tmp : "/tmp", error)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0) found.push_back(entry.path().string());
  }
  return found;
}

}  // namespace servicetest
