// Stand-ins for the C library routines newer than the oldest C library the Linux build
// supports (GLIBC_2.34). The linker redirects every call to them here (--wrap=NAME, see
// cmake/SelfContained.cmake), so that the shared libraries load there too:
//   hypot       the current version is GLIBC_2.35; the baseline one computes the same
//   arc4random  GLIBC_2.36, used by the linked-in std::random_device
#include <sys/random.h>

#include <cerrno>
#include <cstdint>

#define WRAPPED extern "C" __attribute__((visibility("hidden")))

#if defined(__x86_64__)
extern "C" double vestaro_baseline_hypot(double x, double y);
__asm__(".symver vestaro_baseline_hypot, hypot@GLIBC_2.2.5");

WRAPPED double __wrap_hypot(double x, double y) {
  return vestaro_baseline_hypot(x, y);
}
#endif

WRAPPED uint32_t __wrap_arc4random() {
  uint32_t value = 0;
  unsigned char* bytes = reinterpret_cast<unsigned char*>(&value);
  size_t have = 0;
  while (have < sizeof value) {
    ssize_t got = getrandom(bytes + have, sizeof value - have, 0);
    if (got > 0) {
      have += static_cast<size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      break;  // no kernel source (before Linux 3.17): what was read, as the old fallbacks did
    }
  }
  return value;
}
