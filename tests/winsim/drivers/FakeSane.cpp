// A strict stand-in for SANE's front library, for the one thing the real one cannot be
// made to do: a sane_get_devices that hangs, as a network scanner's can, or that answers a
// status of no meaning SANE defines. It lists one device, "fake:0", and nothing can be
// opened. The test sets how long the next listing hangs (fake_sane_hang_next_listing) or
// what it answers (fake_sane_fail_next_listing) and reads how many calls came
// (fake_sane_calls).
//
// Strict: a call before sane_init or after sane_exit, or a call made while another is still
// inside the library (which the service's driver thread must never allow), ends the
// process with a message.
#include <sane/sane.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<bool> initialised{false};
std::atomic<bool> inside{false};
std::atomic<int> calls{0};
std::atomic<int> hangMilliseconds{0};
std::atomic<int> nextListingStatus{SANE_STATUS_GOOD};

void violation(const char* what) {
  std::fprintf(stderr, "fake SANE: %s\n", what);
  std::abort();
}

// Holds the library for one call, as a real one would be held.
class Entry {
 public:
  explicit Entry(bool needsInit = true) {
    if (inside.exchange(true)) violation("a call while another call is inside the library");
    if (needsInit && !initialised) violation("a call before sane_init or after sane_exit");
    ++calls;
  }
  ~Entry() { inside = false; }
};

SANE_Device fakeDevice{"fake:0", "Fake", "hanging lister", "virtual device"};
const SANE_Device* fakeList[] = {&fakeDevice, nullptr};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void fake_sane_hang_next_listing(int milliseconds) {
  hangMilliseconds = milliseconds;
}
__attribute__((visibility("default"))) void fake_sane_fail_next_listing(int status) { nextListingStatus = status; }
__attribute__((visibility("default"))) int fake_sane_calls() { return calls; }

SANE_Status sane_init(SANE_Int* version, SANE_Auth_Callback) {
  Entry entry(false);
  if (initialised.exchange(true)) violation("sane_init twice");
  if (version) *version = SANE_VERSION_CODE(1, 0, 0);
  return SANE_STATUS_GOOD;
}

void sane_exit() {
  Entry entry;
  initialised = false;
}

SANE_Status sane_get_devices(const SANE_Device*** list, SANE_Bool) {
  Entry entry;
  int hang = hangMilliseconds.exchange(0);
  if (hang > 0) std::this_thread::sleep_for(std::chrono::milliseconds(hang));
  *list = fakeList;
  return static_cast<SANE_Status>(nextListingStatus.exchange(SANE_STATUS_GOOD));
}

SANE_Status sane_open(SANE_String_Const, SANE_Handle*) {
  Entry entry;
  return SANE_STATUS_INVAL;
}

void sane_close(SANE_Handle) { violation("sane_close of a handle never opened"); }

const SANE_Option_Descriptor* sane_get_option_descriptor(SANE_Handle, SANE_Int) {
  violation("an option of a handle never opened");
  return nullptr;
}

SANE_Status sane_control_option(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) {
  violation("an option of a handle never opened");
  return SANE_STATUS_INVAL;
}

SANE_Status sane_get_parameters(SANE_Handle, SANE_Parameters*) {
  violation("parameters of a handle never opened");
  return SANE_STATUS_INVAL;
}

SANE_Status sane_start(SANE_Handle) {
  violation("sane_start of a handle never opened");
  return SANE_STATUS_INVAL;
}

SANE_Status sane_read(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) {
  violation("sane_read of a handle never opened");
  return SANE_STATUS_INVAL;
}

void sane_cancel(SANE_Handle) { violation("sane_cancel of a handle never opened"); }

SANE_Status sane_set_io_mode(SANE_Handle, SANE_Bool) { return SANE_STATUS_UNSUPPORTED; }
SANE_Status sane_get_select_fd(SANE_Handle, SANE_Int*) { return SANE_STATUS_UNSUPPORTED; }

SANE_String_Const sane_strstatus(SANE_Status status) {
  return status == SANE_STATUS_INVAL ? "Invalid argument" : "Fake status";
}

}  // extern "C"
