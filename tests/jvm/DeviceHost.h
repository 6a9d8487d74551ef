// Tests of the product library's device natives through the recording host classes: the
// manager's offers, the devices' transfers, and the virtual device sets they run against.
#pragma once

#include <string>
#include <vector>

#include <winsim/devices.h>

#include "Java.h"
#include "Jvm.h"

namespace jvmtest {

constexpr const char* kManagerSource = "src/jni/wia/WIAManager.cpp";
constexpr const char* kDeviceSource = "src/jni/wia/WIADevice.cpp";
constexpr const char* kCameraSource = "src/jni/wia/WIACamera.cpp";
constexpr const char* kScannerSource = "src/jni/wia/WIAScanner.cpp";
constexpr const char* kUtilsSource = "src/jni/wia/WIAUtils.cpp";
constexpr const char* kScanBatchSource = "src/jni/wia/ScanBatch.cpp";
constexpr const char* kScanItemSource = "src/jni/wia/ScanItem.cpp";
constexpr const char* kCapabilitiesSource = "src/jni/wia/ScannerCapabilities.cpp";

// One call of the host's add.
struct Offer {
  std::string name;
  jlong handle = 0;
  jint type = 0;
  std::string id;
};

// One call of fireTransferDone, as the recording device saw it during the call.
struct Delivery {
  std::string path;
  std::string extension;
  bool existed = false;
  jlong size = 0;
  std::string copy;  // the copy made during the call, when the test asked for one
};

// What _scanPages returned and threw (the outcome is not read when it threw).
struct ScanOutcome {
  jint outcome = -1;
  JavaException thrown;
};

// One scanProgress call.
struct Progress {
  jint page = 0, percent = 0;
  bool operator==(const Progress& other) const { return page == other.page && percent == other.percent; }
};

// A device set of `count` scanners or cameras with IDs "<prefix>\0000", "<prefix>\0001", ...
std::vector<winsim::DeviceSpec> deviceSet(int count, winsim::DeviceKind kind,
                                          const std::string& prefix = "{TEST}");

// The product library with Manager.debug on at load.
inline LoadSettings debugProductSettings() {
  LoadSettings settings{"product-debug"};
  settings.debug = true;
  return settings;
}

// The lines that begin with `prefix`.
std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines, const std::string& prefix);

class DeviceTest : public JvmTest {
 protected:
  LoadSettings loadSettings() const override { return LoadSettings{"product"}; }
  void SetUp() override;

  // The manager's natives. The *Thrown forms return what the call threw.
  jlong initialize();
  JavaException initializeThrown(jlong* handle);
  void poll(jlong managerHandle);
  JavaException pollThrown(jlong managerHandle);
  void releaseManager(jlong managerHandle);
  JavaException releaseManagerThrown(jlong managerHandle);
  JavaException releaseDeviceThrown(jlong deviceHandle);
  void releaseDevice(jlong deviceHandle);

  // What add received so far, and what it does next.
  std::vector<Offer> offers();
  void setAccept(bool accept);
  void throwFromAdd(const char* exceptionClass);
  // From now on add keeps no record (offers() stays as it is); the latest handle offered,
  // kept either way.
  void keepNoOffers();
  jlong lastHandle();

  // Opens the manager and polls once; each device accepted. Close() gives everything back.
  std::vector<Offer> open();
  jlong handleOf(const std::string& deviceId);
  void close();

  // A recording camera or scanner and its natives.
  jobject newCamera();
  jobject newScanner();
  JavaException transferThrown(jobject device, jlong deviceHandle, bool dialog);
  void transfer(jobject device, jlong deviceHandle, bool dialog);
  void setScan(jobject scanner, jint bitDepth, jint resolution, jint x, jint y, jint width,
               jint height);
  std::vector<Delivery> deliveries(jobject device);
  // The scanner's batch of pages and capabilities; `rootWrites` and `itemWrites` as
  // (id, value) pairs.
  ScanOutcome scanPages(jobject scanner, jlong deviceHandle, const std::vector<jint>& rootWrites,
                        const std::vector<jint>& itemWrites, jint maxPages);
  JavaException capabilitiesThrown(jobject scanner, jlong deviceHandle, std::vector<jint>* capabilities);
  // What the recording scanner's scanProgress received, and where it cancels or throws.
  std::vector<Progress> progress(jobject scanner);
  void cancelAt(jobject scanner, jint page, jint percent);
  void throwAt(jobject scanner, jint page, jint percent, const char* exceptionClass, const char* message);
  // Copies each file into `directory` during its callback; throws from the `call`-th callback
  // (0: every one) an exception of `exceptionClass` with `message`.
  void copyInto(jobject device, const std::string& directory);
  void throwFromCallback(jobject device, int call, const char* exceptionClass, const char* message);
  // From now on the device keeps no delivery, only the total size of the files delivered.
  void keepTotalsOnly(jobject device);
  jlong totalBytes(jobject device);

  jobject manager_ = nullptr;
  jlong managerHandle_ = 0;
  std::vector<Offer> opened_;
};

// The journal's entries of `method` on `target`.
std::vector<winsim::JournalEntry> journalOf(const std::string& method, const std::string& target);

}  // namespace jvmtest
