// The two sides a benchmark runs: the library through its host objects in the Java VM, and
// the same platform calls made directly (Direct), over a device set installed on a quiet
// platform. Each holder gives back what it took when it goes out of scope.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <winsim/control.h>
#include <winsim/devices.h>

#include "Direct.h"
#include "Jvm.h"

namespace bench {

namespace strict = vmstart::strict;

inline std::vector<winsim::DeviceSpec> devices(int count, winsim::DeviceKind kind) {
  std::vector<winsim::DeviceSpec> set;
  for (int i = 0; i < count; ++i) {
    winsim::DeviceSpec device;
    device.kind = kind;
    device.id = "{BENCH}\\" + std::to_string(i);
    device.name = "Device " + std::to_string(i);
    set.push_back(device);
  }
  return set;
}

inline std::vector<winsim::DeviceSpec> camera(int pictures, LONG width, LONG height) {
  auto set = devices(1, winsim::DeviceKind::Camera);
  set[0].generatedPictures = static_cast<unsigned>(pictures);
  set[0].generatedWidth = width;
  set[0].generatedHeight = height;
  return set;
}

// Installs `set` with the journal off: both sides then run on the same, quiet platform.
inline void install(std::vector<winsim::DeviceSpec> set) {
  winsim::reset();
  winsim::setJournalEnabled(false);
  winsim::setDevices(std::move(set));
}

// An object of the library's host and the handle it holds, released with the scope.
struct HostObject {
  jobject object;
  jlong handle = 0;

  explicit HostObject(jobject hostObject) : object(hostObject) {}
  ~HostObject() {
    if (handle) {  // zero: the handle belongs to another host object
      env->CallVoidMethod(object, strict::methodOf(env, object, "release", "(J)V"), handle);
      strict::requireNoException(env, "release");
    }
    env->DeleteLocalRef(object);
  }
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;
};

// The library's manager over the installed set, with a host that takes no device unless
// told to.
struct Library : HostObject {
  jmethodID poll = nullptr;

  Library() : HostObject(newManager()) {
    handle = env->CallLongMethod(object, strict::methodOf(env, object, "initialize", "()J"));
    strict::requireNoException(env, "initialize");
    poll = strict::methodOf(env, object, "poll", "(J)V");
  }

  void pollOnce() {
    env->CallVoidMethod(object, poll, handle);
    strict::requireNoException(env, "poll");
  }
  // The handle of the set's one device, taken by the host in one poll.
  jlong takeOnlyDevice() {
    strict::setBooleanField(env, object, "accept", true);
    pollOnce();
    strict::setBooleanField(env, object, "accept", false);
    return strict::longField(env, object, "lastHandle");
  }
};

// A device object of the library's host, a camera or a scanner, on a device taken.
struct LibraryDevice : HostObject {
  jmethodID transfer;

  LibraryDevice(const char* className, jlong deviceHandle) : HostObject(newDevice(className)) {
    handle = deviceHandle;
    transfer = strict::methodOf(env, object, "transfer", "(JZ)V");
  }

  void transferOnce() {
    env->CallVoidMethod(object, transfer, handle, JNI_FALSE);
    strict::requireNoException(env, "transfer");
  }
  // A scanner's next scans: colour, at `dpi`, of the area from the bed's corner.
  void setColourScan(jint dpi, jint width, jint height) {
    env->CallVoidMethod(object, strict::methodOf(env, object, "setScan", "(IIIIII)V"), jint(8), dpi, jint(0),
                        jint(0), width, height);
    strict::requireNoException(env, "setScan");
  }
};

// A scanner of the library's host over a device taken, for batches of pages: JPEG pages at
// `dpi` from the feeder, with the device's own page count 0 and the batch's count given. It
// releases the device unless another host object `owns` it.
struct LibraryScanner : HostObject {
  jlong device;
  jmethodID scanPages;
  jintArray rootWrites, itemWrites;  // global references

  LibraryScanner(jlong deviceHandle, LONG dpi, bool owns = true)
      : HostObject(newDevice(kScanner)), device(deviceHandle) {
    if (owns) handle = deviceHandle;
    scanPages = strict::methodOf(env, object, "scanPages", "(J[I[II)I");
    rootWrites = globalArray({WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER, WIA_DPS_PAGES, ALL_PAGES});
    itemWrites = globalArray({WIA_IPS_XRES, dpi, WIA_IPS_YRES, dpi});
    strict::setBooleanField(env, object, "recordProgress", false);
  }
  ~LibraryScanner() {
    env->DeleteGlobalRef(rootWrites);
    env->DeleteGlobalRef(itemWrites);
  }

  static jintArray globalArray(std::vector<jint> values) {
    jintArray local = env->NewIntArray(static_cast<jsize>(values.size()));
    env->SetIntArrayRegion(local, 0, static_cast<jsize>(values.size()), values.data());
    strict::requireNoException(env, "the writes");
    auto global = static_cast<jintArray>(env->NewGlobalRef(local));
    env->DeleteLocalRef(local);
    return global;
  }
  // The batch's outcome.
  jint scanOnce(jint pages) {
    const jint outcome = env->CallIntMethod(object, scanPages, device, rootWrites, itemWrites, pages);
    strict::requireNoException(env, "scanPages");
    return outcome;
  }
};

// A scanner whose feeder holds enough paper for every batch of a run, with a small page:
// A4 at 50 dpi, 413 by 584 pixels.
constexpr LONG kFeederDpi = 50;
inline std::vector<winsim::DeviceSpec> feederScanner(unsigned transferMillis = 0) {
  auto set = devices(1, winsim::DeviceKind::Scanner);
  set[0].feeder = winsim::FeederSpec{winsim::kFeederCapacity, false, 0};
  set[0].transferMillis = transferMillis;
  return set;
}

// The direct session over the installed set, closed with the scope.
struct Direct {
  direct::Session session = direct::open();
  ~Direct() { direct::close(session); }
};

// The installed feeder scanner taken by both sides: the library's host scanner and the
// direct session, each scanning batches of pages.
struct FeederOnBothSides {
  Library library;
  LibraryScanner scanner{library.takeOnlyDevice(), kFeederDpi};
  Direct direct;
  DWORD cookie = direct::takeFirstDevice(direct.session);

  ~FeederOnBothSides() { direct::releaseDevice(direct.session, cookie); }
  void byLibrary(jint pages) { benchmark::DoNotOptimize(scanner.scanOnce(pages)); }
  void byDirect(jint pages) {
    benchmark::DoNotOptimize(direct::feederBatch(direct.session, cookie, pages, kFeederDpi));
  }
};

}  // namespace bench
