// The reference counting of every virtual COM object and the census of the live ones by
// kind, on every runtime the virtual service runs on.
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>

#include "Internal.h"
#include "winsim/control.h"

namespace winsim {
namespace {

struct Objects {
  std::mutex lock;
  std::map<std::string, long> byKind;
  long total = 0;
};
Objects& objects() {
  static Objects instance;
  return instance;
}

}  // namespace

namespace detail {

void objectCreated(const char* kind) {
  auto& o = objects();
  std::lock_guard<std::mutex> guard(o.lock);
  ++o.byKind[kind];
  ++o.total;
}

void objectDestroyed(const char* kind) {
  auto& o = objects();
  std::lock_guard<std::mutex> guard(o.lock);
  if (--o.byKind[kind] == 0) o.byKind.erase(kind);
  --o.total;
}

RefCounted::RefCounted(const char* kind) : kind_(kind) { objectCreated(kind); }

RefCounted::~RefCounted() {
  if (marshaler_) releaseMarshaler(marshaler_);
  objectDestroyed(kind_);
}

ULONG RefCounted::addRefImpl() { return ++count_; }

ULONG RefCounted::releaseImpl() {
  ULONG remaining = --count_;
  if (remaining == 0) delete this;
  return remaining;
}

long liveObjectCount() {
  auto& o = objects();
  std::lock_guard<std::mutex> guard(o.lock);
  return o.total;
}

}  // namespace detail

std::ostream& operator<<(std::ostream& out, const Census& c) {
  return out << "{comObjects " << c.comObjects << ", taskMemoryBlocks " << c.taskMemoryBlocks
             << ", bstrs " << c.bstrs << ", localMemoryBlocks " << c.localMemoryBlocks << "}";
}

std::string describeLiveObjects() {
  auto& o = objects();
  std::lock_guard<std::mutex> guard(o.lock);
  std::ostringstream text;
  for (const auto& [kind, count] : o.byKind) {
    if (text.tellp() > 0) text << ", ";
    text << kind << " x" << count;
  }
  return text.str();
}

}  // namespace winsim
