// The classes registered with registerClass, shared by winsim's CoCreateInstance and the
// Windows programs' newVirtualDeviceManager().
#include <mutex>
#include <vector>

#include "Internal.h"

namespace winsim::detail {
namespace {

struct ClassEntry {
  CLSID clsid;
  DWORD contexts;
  ClassFactory create;
};

struct ClassTable {
  std::mutex lock;
  std::vector<ClassEntry> entries;
};
ClassTable& classTable() {
  static ClassTable table;
  return table;
}

}  // namespace

void registerClass(const CLSID& clsid, DWORD contexts, ClassFactory create) {
  auto& table = classTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (auto& entry : table.entries) {
    if (entry.clsid == clsid) {
      entry.contexts = contexts;
      entry.create = std::move(create);
      return;
    }
  }
  table.entries.push_back({clsid, contexts, std::move(create)});
}

ClassFactory registeredClass(const CLSID& clsid, DWORD contexts) {
  auto& table = classTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (const auto& entry : table.entries) {
    if (entry.clsid == clsid && (entry.contexts & contexts) != 0) return entry.create;
  }
  return {};
}

}  // namespace winsim::detail
