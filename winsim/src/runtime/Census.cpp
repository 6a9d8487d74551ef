// The census on winsim's runtime: the live objects (ObjectCensus.cpp) and the heaps whose
// blocks it counts: task memory, BSTRs and local memory. Freeing a block that is not live is a misuse that corrupts
// a real heap; here it stops the process with a message instead.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "Internal.h"
#include "winsim/control.h"

namespace winsim {
namespace {

struct Heap {
  const char* name;
  std::mutex lock;
  std::unordered_set<const void*> live;

  void add(const void* block) {
    std::lock_guard<std::mutex> guard(lock);
    live.insert(block);
  }
  void remove(const void* block, const char* operation) {
    std::lock_guard<std::mutex> guard(lock);
    if (live.erase(block) == 0) {
      std::fprintf(stderr, "winsim: %s of %p, which is not a live %s block\n", operation, block,
                   name);
      std::abort();
    }
  }
  long size() {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<long>(live.size());
  }
};

Heap& taskHeap() {
  static Heap heap{"task-memory", {}, {}};
  return heap;
}
Heap& bstrHeap() {
  static Heap heap{"BSTR", {}, {}};
  return heap;
}
Heap& localHeap() {
  static Heap heap{"local-memory", {}, {}};
  return heap;
}

}  // namespace

namespace detail {

void trackBstr(const void* block) { bstrHeap().add(block); }
void untrackBstr(const void* block) { bstrHeap().remove(block, "SysFreeString"); }
void trackLocal(const void* block) { localHeap().add(block); }
void untrackLocal(const void* block) { localHeap().remove(block, "LocalFree"); }

}  // namespace detail

Census census() {
  Census result;
  result.comObjects = detail::liveObjectCount();
  result.taskMemoryBlocks = taskHeap().size();
  result.bstrs = bstrHeap().size();
  result.localMemoryBlocks = localHeap().size();
  return result;
}

}  // namespace winsim

extern "C" {

LPVOID CoTaskMemAlloc(size_t cb) {
  void* block = std::malloc(cb == 0 ? 1 : cb);
  if (block) winsim::taskHeap().add(block);
  return block;
}

LPVOID CoTaskMemRealloc(LPVOID pv, size_t cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    CoTaskMemFree(pv);
    return nullptr;
  }
  winsim::taskHeap().remove(pv, "CoTaskMemRealloc");
  void* block = std::realloc(pv, cb);
  winsim::taskHeap().add(block ? block : pv);
  return block;
}

void CoTaskMemFree(LPVOID pv) {
  if (!pv) return;
  winsim::taskHeap().remove(pv, "CoTaskMemFree");
  std::free(pv);
}

}  // extern "C"
