// A real Java VM in the test process, created once, with the VM's JNI checks on: every
// "WARNING" line the VM prints fails the running test. The library is loaded through
// System.loadLibrary from a Java helper, after the settings that the library reads at load
// (Manager.debug, System.err) are in place.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <jni.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <winsim/control.h>

#include "VmStart.h"

namespace jvmtest {

// The product library ("vestaro64_12"), and a test build of the library's load and
// reporting code with natives in kordin.vestaro.testhost.Probe that drive the reporting
// directly.
using vmstart::kProductLibrary;
constexpr const char* kProbeLibrary = "vestaro_probe";
constexpr const char* kProbe = "kordin/vestaro/testhost/Probe";
using vmstart::kHarness;

// What must be in place before the library loads. A process has one VM and loads once, so
// tests whose settings differ run in different processes (ctest runs each test alone).
struct LoadSettings {
  explicit LoadSettings(std::string settingsName) : name(std::move(settingsName)) {}

  std::string name;  // tests with the same name may share a process
  std::string library = kProductLibrary;
  bool debug = false;       // Manager.debug at load
  bool captureErr = true;   // System.err replaced by a stream the test can read
  bool dropErr = false;     // System.err set to null at load
  std::vector<std::string> classPathFirst;  // jars that come before the host classes
  std::function<void()> beforeLoad;         // e.g. fault injection into the platform
};

// The product library under a host that differs from the real one: `jar`, with classes of
// the host's names, comes before the host classes.
inline LoadSettings otherHostSettings(const char* name, const char* jar) {
  LoadSettings settings{name};
  settings.classPathFirst = {jar};
  return settings;
}

// The table of test entry points that the loaded probe library hands out from its function
// `symbol`; null after a test failure when the probe library is not loaded or lacks it.
template <typename Api>
const Api* probeApi(const char* symbol) {
  void* library = dlopen("libvestaro_probe.so", RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(library, nullptr) << "the probe library is loaded";
  if (!library) return nullptr;
  auto lookup = reinterpret_cast<const Api* (*)()>(dlsym(library, symbol));
  dlclose(library);
  EXPECT_NE(lookup, nullptr) << symbol;
  return lookup ? lookup() : nullptr;
}

// The probe library, loaded with Manager.debug at `debug`.
inline LoadSettings probeSettings(const char* name = "probe", bool debug = false) {
  LoadSettings settings{name};
  settings.library = kProbeLibrary;
  settings.debug = debug;
  return settings;
}

class Jvm {
 public:
  // The process's VM, created with `settings` on the first call. Null when the process
  // already runs with other settings; `why` then says so.
  static Jvm* ensure(const LoadSettings& settings, std::string* why);
  static Jvm* current();
  // Destroys the VM if there is one (it waits for every non-daemon thread). Returns
  // non-zero when the VM printed a warning while no test was running.
  static int shutDown();

  JavaVM* vm() const { return vm_; }
  JNIEnv* env() const { return env_; }  // of the main thread
  const LoadSettings& settings() const { return settings_; }
  // What System.loadLibrary threw ("java.lang.NoSuchFieldError: height"), else empty.
  const std::string& loadError() const { return loadError_; }
  // The platform calls made during the load.
  const std::vector<winsim::JournalEntry>& loadJournal() const { return loadJournal_; }

 private:
  explicit Jvm(const LoadSettings& settings) : settings_(settings) {}
  bool start();

  JavaVM* vm_ = nullptr;
  JNIEnv* env_ = nullptr;
  LoadSettings settings_;
  std::string loadError_;
  std::vector<winsim::JournalEntry> loadJournal_;
};

// Base of the tests that run against the VM. Each test starts from a fresh platform state
// (winsim::reset) with an empty captured System.err, and runs inside its own JNI local frame.
class JvmTest : public ::testing::Test {
 protected:
  virtual LoadSettings loadSettings() const = 0;
  // False for tests that check a load that fails.
  virtual bool requireLoaded() const { return true; }

  void SetUp() override;
  void TearDown() override;

  // Expects the platform's census (live COM objects, BSTRs, task and local memory) to be
  // what it was when the test started.
  void expectCensusUnchanged() const;
  // What the library printed on the captured System.err since the last call.
  std::string takeErr() const;
  std::vector<std::string> takeErrLines() const;

  Jvm* jvm_ = nullptr;
  JNIEnv* env_ = nullptr;
  winsim::Census censusAtStart_;

 private:
  bool framePushed_ = false;
};

// A test of one probe's entry points: `Base`'s VM with the probe library loaded, and at api_
// the table the probe hands out from `symbol` once SetUp has succeeded.
template <typename Base, typename Api>
class ProbeTest : public Base {
 protected:
  explicit ProbeTest(const char* symbol) : symbol_(symbol) {}

  LoadSettings loadSettings() const override { return probeSettings(); }

  void SetUp() override {
    Base::SetUp();
    if (::testing::Test::HasFatalFailure() || ::testing::Test::IsSkipped()) return;
    api_ = probeApi<Api>(symbol_);
    ASSERT_NE(api_, nullptr);
  }

  const Api* api_ = nullptr;

 private:
  const char* symbol_;
};

}  // namespace jvmtest
