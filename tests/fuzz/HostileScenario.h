// A fuzzer's input read as a hostile scenario: a virtual device set with odd properties,
// dialog scripts and read overrides, faults on platform calls, the temporary folder the
// devices write into, and a sequence of the natives' operations.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <winsim/control.h>
#include <winsim/devices.h>

namespace fuzz {

// Where the virtual devices write their files for one input.
enum class TemporaryFolder { Plain, Unicode, Missing, RegularFile, NameTooLong, kCount };

struct Operation {
  enum class Kind {
    Initialize,
    Poll,
    TransferCamera,
    TransferScanner,
    ReleaseDevice,
    ReleaseManager,
    InjectFault,
    RefuseOffers,   // the host's add returns false from now on
    ThrowFromAdd,   // the host's add throws
    ThrowFromListener,
    ScanPages,          // WIAScanner._scanPages with the operation's writes and count
    Capabilities,       // WIAScanner._capabilities
    CancelProgress,     // the scanner's scanProgress answers false from a page and percent on
    ThrowFromProgress,  // the scanner's scanProgress throws the host's exception there
    kCount
  };
  Kind kind = Kind::Poll;
  // Picks a handle among those handed out so far (released ones included) and a few that
  // were never handed out.
  unsigned handleChoice = 0;
  jlong foreignHandle = 0;
  bool dialog = false;
  jint scan[6] = {};  // bit depth, resolution, x, y, width, height
  int listenerCall = 0;
  winsim::Fault fault;
  // ScanPages: (id, value) pairs for the root and the scan item, and the page count.
  std::vector<jint> rootWrites, itemWrites;
  jint maxPages = 0;
  // CancelProgress and ThrowFromProgress: where.
  jint progressPage = 1, progressPercent = 0;
};

struct Scenario {
  std::vector<winsim::DeviceSpec> devices;
  std::vector<winsim::ReadOverride> overrides;
  std::vector<winsim::Fault> faults;
  TemporaryFolder folder = TemporaryFolder::Plain;
  std::vector<Operation> operations;
};

Scenario readScenario(const uint8_t* data, size_t size);

}  // namespace fuzz
