// The fault sweep: each operation of the natives runs once with the journal on; then once
// per platform call it made (method and nth call), with that call failing, and once with it
// answering S_FALSE. Every run must end with a VestaroException carrying the injected code
// from a reporting statement of the library, or quietly where a quiet end is defined; the
// census is back to its start and the VM saw no JNI misuse. The cases come from the journal,
// so a new platform call is swept without a new test.
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "DeviceHost.h"

namespace jvmtest {
namespace {

const char* const kScannerId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";
const char* const kCameraId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
// A code no call of the platform returns by itself, so that a report can be traced to it.
const HRESULT kInjected = WIA_ERROR_DEVICE_COMMUNICATION;

// Calls whose failure ends quietly by design, each for its reason.
const std::map<std::string, const char*> kQuietFailures = {
    {"IWiaPropertyStorage::WriteMultiple", "a refused scan setting only prints when debugging"},
};

// The text of line `line` of a source of the library.
std::string sourceLine(const std::string& reportingPath, int line) {
  const std::string name = reportingPath.substr(reportingPath.rfind('\\') + 1);
  std::ifstream in(std::string(VESTARO_SOURCE_DIR) + "/src/jni/wia/" + name);
  std::string text;
  for (int i = 0; i < line && std::getline(in, text); ++i) {
  }
  return text;
}

bool reportingStatement(const std::string& text) {
  for (const char* macro : {"THROW_HRESULT(", "LOOK_UP_HANDLE(", "RELEASE_HANDLE(", "REGISTER_INTERFACE(",
                            "REQUIRE_INTERFACE_TABLE("}) {
    if (text.find(macro) != std::string::npos) return true;
  }
  return false;
}

bool carries(const JavaException& e, HRESULT code) {
  if (e.isVestaro && e.code == code) return true;
  for (const auto& later : e.suppressed) {
    if (carries(later, code)) return true;
  }
  return false;
}

class FaultSweep : public DeviceTest {
 protected:
  // One operation: `setUp` and `tearDown` run without faults, `act` is swept.
  struct Scenario {
    const char* name;
    std::function<void()> setUp;
    std::function<void()> act;
  };

  void record(const JavaException& e) {
    if (e.thrown) thrown_.push_back(e);
  }

  // Releases every handle still held; a release the platform refused is tried again without
  // faults, as a host would after the failure.
  void releaseAll() {
    for (jlong device : devices_) {
      JavaException e = releaseDeviceThrown(device);
      record(e);
      if (e.thrown) {
        winsim::clearFaults();
        (void)releaseDeviceThrown(device);
      }
    }
    devices_.clear();
    if (manager_handle_) {
      JavaException e = releaseManagerThrown(manager_handle_);
      record(e);
      if (e.thrown) {
        winsim::clearFaults();
        (void)releaseManagerThrown(manager_handle_);
      }
    }
    manager_handle_ = 0;
  }

  void openAndPoll() {
    const size_t before = offers().size();
    JavaException e = initializeThrown(&manager_handle_);
    record(e);
    if (!manager_handle_) return;
    record(pollThrown(manager_handle_));
    const std::vector<Offer> all = offers();
    for (size_t i = before; i < all.size(); ++i) devices_.push_back(all[i].handle);
  }

  jlong deviceHandle(const std::string& id) {
    const std::vector<Offer> all = offers();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
      if (it->id == id) return it->handle;
    }
    ADD_FAILURE() << "no device " << id;
    return 0;
  }

  void transferOn(const char* id, bool dialog) {
    LocalRef<jobject> device(env_, id == std::string(kCameraId) ? newCamera() : newScanner());
    record(transferThrown(device.get(), deviceHandle(id), dialog));
  }

  // A batch of pages or the capabilities of the default scanner, given a duplex feeder.
  void scanPagesOn(const char* id) {
    LocalRef<jobject> scanner(env_, newScanner());
    const std::vector<jint> feeder = {WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX | FRONT_FIRST,
                                      WIA_DPS_PAGES, ALL_PAGES};
    record(scanPages(scanner.get(), deviceHandle(id), feeder, {WIA_IPS_XRES, 50, WIA_IPS_YRES, 50}, 0).thrown);
  }
  void capabilitiesOn(const char* id) {
    LocalRef<jobject> scanner(env_, newScanner());
    std::vector<jint> capabilities;
    record(capabilitiesThrown(scanner.get(), deviceHandle(id), &capabilities));
  }

  std::vector<Scenario> scenarios() {
    auto none = [] {};
    auto open = [this] { openAndPoll(); };
    auto openWithFeeder = [this] {
      std::vector<winsim::DeviceSpec> devices = winsim::defaultDevices();
      devices[0].feeder = winsim::FeederSpec{1, true, 0};
      winsim::setDevices(devices);
      openAndPoll();
    };
    return {
        {"initialize, poll and both releases", none, [this] {
           openAndPoll();
           releaseAll();
         }},
        {"camera transfer", open, [this] { transferOn(kCameraId, false); }},
        {"camera transfer with dialog", open, [this] { transferOn(kCameraId, true); }},
        {"scanner transfer", open, [this] { transferOn(kScannerId, false); }},
        {"scanner transfer with dialog", open, [this] { transferOn(kScannerId, true); }},
        {"scanner pages from a duplex feeder, with progress", openWithFeeder, [this] { scanPagesOn(kScannerId); }},
        {"scanner capabilities", openWithFeeder, [this] { capabilitiesOn(kScannerId); }},
    };
  }

  // Runs a scenario with `fault` (none when its method is empty) and checks how it ended.
  void run(const Scenario& scenario, const winsim::Fault& fault) {
    winsim::reset();  // the dialogs accept what they offer: every picture, the flatbed
    const winsim::Census start = winsim::census();
    thrown_.clear();
    scenario.setUp();
    const size_t setUpFailures = thrown_.size();
    EXPECT_EQ(setUpFailures, 0u) << thrown_[0].describe();
    winsim::setJournalEnabled(true);
    if (!fault.method.empty()) winsim::injectFault(fault);
    scenario.act();
    winsim::clearFaults();
    winsim::setJournalEnabled(false);
    releaseAll();
    ++cases_;

    EXPECT_EQ(winsim::census(), start) << winsim::describeLiveObjects();
    for (const JavaException& e : thrown_) {
      ASSERT_TRUE(e.isVestaro) << e.describe();
      EXPECT_TRUE(reportingStatement(sourceLine(e.file, e.line))) << e.describe();
    }
    if (fault.method.empty()) {
      EXPECT_TRUE(thrown_.empty()) << thrown_[0].describe();
      return;
    }
    bool reported = false;
    for (const JavaException& e : thrown_) reported = reported || carries(e, fault.result);
    if (!reported) {
      if (FAILED(fault.result)) {
        EXPECT_TRUE(kQuietFailures.count(fault.method)) << "a failure ended quietly";
        ++quietFailures_;
      }
    }
  }

  // The swept call sites of a scenario: each method with the number of its calls.
  std::vector<std::pair<std::string, unsigned>> callSites(const Scenario& scenario) {
    winsim::reset();
    thrown_.clear();
    scenario.setUp();
    winsim::clearJournal();
    winsim::setJournalEnabled(true);
    scenario.act();
    const std::vector<winsim::JournalEntry> calls = winsim::journal();
    winsim::setJournalEnabled(false);
    EXPECT_EQ(winsim::droppedJournalEntries(), 0u);
    releaseAll();
    std::map<std::string, unsigned> counts;
    std::vector<std::pair<std::string, unsigned>> sites;
    for (const auto& call : calls) sites.emplace_back(call.method, ++counts[call.method]);
    return sites;
  }

  std::vector<JavaException> thrown_;
  std::vector<jlong> devices_;
  jlong manager_handle_ = 0;
  unsigned cases_ = 0;
  unsigned quietFailures_ = 0;
};

TEST_F(FaultSweep, EveryPlatformCallOfEveryOperationFailsCleanly) {
  unsigned sites = 0;
  for (const Scenario& scenario : scenarios()) {
    SCOPED_TRACE(scenario.name);
    run(scenario, {});
    for (const auto& [method, nth] : callSites(scenario)) {
      SCOPED_TRACE(method + " call " + std::to_string(nth));
      ++sites;
      for (HRESULT code : {kInjected, S_FALSE}) {
        SCOPED_TRACE(code == S_FALSE ? "S_FALSE" : "failure");
        run(scenario, {method, code, nth, ""});
        if (HasFatalFailure()) return;
      }
    }
  }
  std::printf("fault sweep: %u call sites, %u cases, %u failures with a defined quiet end\n", sites, cases_,
              quietFailures_);
  EXPECT_GT(sites, 50u);
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
