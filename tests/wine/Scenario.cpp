#include "Scenario.h"

#include <cstdio>

namespace wine {

std::string scannerId() { return winsim::defaultDevices()[0].id; }
std::string cameraId() { return winsim::defaultDevices()[1].id; }

void Scenario::SetUp() {
  ASSERT_FALSE(Library::dllPath().empty()) << "VESTARO_WINE_DLL names no DLL";
  winsim::reset();
  winsim::setJournalEnabled(true);  // the scenarios read what the devices received
  start_ = winsim::census();
  ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)),
            S_OK);
  host = std::make_unique<Host>(options);
  library = std::make_unique<Library>(*host);
  ASSERT_TRUE(library->loaded()) << "LoadLibraryW failed with " << GetLastError();
  if (options.omitMember.empty()) {
    ASSERT_EQ(library->onLoad(), JNI_VERSION_1_4);
    ASSERT_EQ(host->vm.mainEnv().pending(), nullptr);
  }
}

void Scenario::TearDown() {
  library.reset();
  if (table) table->Release();
  table = nullptr;
  if (host) {
    EXPECT_EQ(host->vm.violations(), std::vector<std::string>{});
    EXPECT_EQ(host->vm.charsOutstanding(), 0u) << "GetStringChars without ReleaseStringChars";
  }
  EXPECT_EQ(winsim::census(), start_) << "still alive: " << winsim::describeLiveObjects();
}

jlong Scenario::registerVirtualManager() {
  IUnknown* object = winsim::newVirtualDeviceManager();
  EXPECT_NE(object, nullptr);
  if (!object) return 0;
  DWORD cookie = 0;
  EXPECT_EQ(table->RegisterInterfaceInGlobal(object, IID_IWiaDevMgr, &cookie), S_OK);
  object->Release();
  return static_cast<jlong>(cookie);
}

jlong Scenario::discover() {
  const jlong manager = registerVirtualManager();
  library->poll(manager);
  return manager;
}

jlong Scenario::handleOf(const std::string& id) const {
  for (const Offer& offer : host->offers) {
    if (offer.id == id) return offer.handle;
  }
  return 0;
}

void Scenario::releaseAll(jlong manager) {
  if (host->addAnswer == AddAnswer::Keep) {
    for (const Offer& offer : host->offers) library->releaseDevice(offer.handle);
  }
  library->releaseManager(manager);
}

::testing::AssertionResult Scenario::nothingThrown() {
  Host::Thrown thrown;
  if (!host->takeThrown(&thrown)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "threw " << thrown.className << ": " << thrown.message;
}

::testing::AssertionResult Scenario::reportedFrom(const char* file, HRESULT code, Host::Thrown* thrown) {
  if (!host->takeThrown(thrown)) return ::testing::AssertionFailure() << "nothing was thrown";
  const std::string source = std::string("..\\src\\jni\\wia\\") + file;
  const auto reported = static_cast<HRESULT>(thrown->code);
  if (reported == code && thrown->file == source) return ::testing::AssertionSuccess();
  char codes[48];
  std::snprintf(codes, sizeof codes, "0x%08x, not 0x%08x", static_cast<unsigned>(reported),
                static_cast<unsigned>(code));
  return ::testing::AssertionFailure() << thrown->className << " (" << thrown->message << ") reported "
                                       << codes << ", from " << thrown->file << ", not " << source;
}

std::vector<std::string> Scenario::details(const std::string& method) {
  std::vector<std::string> out;
  for (const auto& entry : winsim::journal(method)) out.push_back(entry.detail);
  return out;
}

std::vector<std::string> Scenario::targets(const std::string& method) {
  std::vector<std::string> out;
  for (const auto& entry : winsim::journal(method)) out.push_back(entry.target);
  return out;
}

bool Scenario::fileExists(const std::string& utf8Path) {
  std::wstring wide(utf8Path.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace wine
