// The names of the virtual service's new files in the temporary folder, the same on both
// runtimes.
#include <atomic>
#include <cstdio>
#include <random>

#include "Internal.h"

namespace winsim::detail {

std::string temporaryFileName(unsigned long processId, const char* extension) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 random{std::random_device{}()};
  char name[64];
  std::snprintf(name, sizeof name, "wia%lx-%x-%08x%s", processId, counter.fetch_add(1),
                static_cast<unsigned>(random()), extension);
  return name;
}

}  // namespace winsim::detail
