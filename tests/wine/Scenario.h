// Every scenario runs one DLL on Wine from a fresh state: the virtual devices reset, a new
// fake VM with the host classes, the DLL loaded and JNI_OnLoad run. It ends with the DLL
// unloaded, no JNI rule broken, every string's characters released and the census of the
// virtual objects and of task memory back where it started.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Host.h"
#include "Library.h"
#include "VirtualService.h"
#include "winsim/control.h"
#include "winsim/devices.h"

namespace wine {

class Scenario : public ::testing::Test {
 public:
  static bool fileExists(const std::string& utf8Path);

 protected:
  // Host options, for scenarios that need other ones than the default: set them in the
  // derived fixture's constructor.
  HostOptions options;

  void SetUp() override;
  void TearDown() override;

  // A new virtual device manager registered in the system's interface table: the handle
  // the host would get from _initialize.
  jlong registerVirtualManager();
  // Polls a virtual manager and returns its handle; `offers` then lists the devices.
  jlong discover();
  // The handle the host got for the device whose identifier is `id` (0 when none).
  jlong handleOf(const std::string& id) const;
  // Releases every kept device and the manager.
  void releaseAll(jlong manager);

  // Success when the last native left no exception pending; else what it threw, taken.
  ::testing::AssertionResult nothingThrown();
  // Takes the exception the last native left pending into `thrown` and checks that it
  // reports `code` from the library's source `file` ("WIAManager.cpp", which the host sees
  // as "..\src\jni\wia\WIAManager.cpp").
  ::testing::AssertionResult reportedFrom(const char* file, HRESULT code, Host::Thrown* thrown);

  // The details of the journal entries of `method`, in order.
  static std::vector<std::string> details(const std::string& method);
  static std::vector<std::string> targets(const std::string& method);

  std::unique_ptr<Host> host;
  std::unique_ptr<Library> library;
  IGlobalInterfaceTable* table = nullptr;

 private:
  winsim::Census start_;
};

// A scenario whose host leaves out `Member` ("Class.member"), as a host of another version
// of the contract does.
template <const char* Member>
class WithoutMember : public Scenario {
 protected:
  WithoutMember() { options.omitMember = Member; }
};

// The identifiers of the default devices.
std::string scannerId();
std::string cameraId();

}  // namespace wine
