// Helpers of the service tests over real drivers: SANE's test backend configured per test,
// the devices an enumeration lists, and a caller's progress callback.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "../wia/WiaTestSupport.h"

namespace servicetest {

extern std::string saneConfigFolder;

constexpr const char* kTest0 = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:test:0";
constexpr const char* kTest1 = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:test:1";

// Each test starts from the platform's fresh state with the drivers `drivers` on, SANE's test
// backend configured with the colour pattern, and the drivers started afresh; it ends with the
// census it started with.
class ServiceTest : public wiatest::WiaTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes the test backend's test.conf with `settings` ("read-status-code": "\"SANE_STATUS_JAMMED\"")
  // over its defaults, and starts the drivers again so that SANE reads it.
  void configureTestBackend(const std::map<std::string, std::string>& settings);
  void useDrivers(const std::string& drivers);
};

// The IDs an enumeration lists, and how its Next ended after them.
std::vector<std::string> listedIds(HRESULT* end = nullptr);

// A root's property storage, and its scan item's.
ComPtr<IWiaPropertyStorage> rootStorage(IWiaItem* root);

// A caller's callback: records each message, and answers `answer` to the first message whose
// percentage reaches `answerAtPercent` (never, unless set), S_OK to the others.
struct ProgressRecorder final : IWiaDataCallback {
  struct Message {
    LONG status, percent;
  };
  std::vector<Message> messages;
  LONG answerAtPercent = 1000;
  HRESULT answer = S_OK;
  bool answered = false;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG message, LONG status, LONG percent, LONG, LONG, LONG, LONG,
                                               BYTE*) override;
};

// The system's text of a code, as FormatMessage gives it, without the line's end; "" when it has none.
std::string systemText(HRESULT code);

// Files in the temporary folder whose names begin with `prefix`.
std::vector<std::string> temporaryEntries(const std::string& prefix);

}  // namespace servicetest
