#include "DeviceStrings.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "JniLocalRef.h"
#include "WIAUtils.h"

namespace {

struct Kept {
  std::u16string name;
  DeviceStrings strings;
  uint64_t poll = 0;  // the last poll that offered the device
};

struct ManagerStrings {
  uint64_t polls = 0;
  std::map<std::u16string, Kept> byId;
};

// Held only around map operations, never across a JNI call that may take long.
class SpinLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) {
    }
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

SpinLock cacheLock;
std::map<DWORD, ManagerStrings> cache;  // by the manager's cookie

struct Locked {
  Locked() { cacheLock.lock(); }
  ~Locked() { cacheLock.unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

std::u16string textOf(BSTR bstr) {
  if (!bstr) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(bstr), SysStringLen(bstr));
}

void freeStrings(JNIEnv* env, const std::vector<DeviceStrings>& dropped) {
  for (const DeviceStrings& strings : dropped) {
    env->DeleteGlobalRef(strings.id);
    env->DeleteGlobalRef(strings.name);
  }
}

jstring newGlobalString(JNIEnv* env, BSTR bstr) {
  LocalRef<jstring> local(env, bstrToJstring(env, bstr));
  if (!local) return nullptr;
  return static_cast<jstring>(env->NewGlobalRef(local.get()));
}

}  // namespace

uint64_t beginDevicePoll(DWORD managerCookie) {
  Locked locked;
  return ++cache[managerCookie].polls;
}

bool takeDeviceStrings(JNIEnv* env, DWORD managerCookie, BSTR id, BSTR name, DeviceStrings* strings) {
  const std::u16string idText = textOf(id);
  std::vector<DeviceStrings> dropped;
  {
    Locked locked;
    auto& byId = cache[managerCookie].byId;
    auto found = byId.find(idText);
    if (found != byId.end()) {
      if (found->second.name == textOf(name)) {
        *strings = found->second.strings;
        byId.erase(found);
        return true;
      }
      dropped.push_back(found->second.strings);  // renamed: new strings
      byId.erase(found);
    }
  }
  freeStrings(env, dropped);
  strings->id = newGlobalString(env, id);
  strings->name = strings->id ? newGlobalString(env, name) : nullptr;
  if (strings->name) return true;
  if (strings->id) env->DeleteGlobalRef(strings->id);
  *strings = DeviceStrings{};
  return false;
}

void giveBackDeviceStrings(JNIEnv* env, DWORD managerCookie, BSTR id, BSTR name, uint64_t poll,
                           const DeviceStrings& strings) {
  std::u16string idText = textOf(id);
  {
    Locked locked;
    auto& byId = cache[managerCookie].byId;
    auto found = byId.find(idText);
    if (found == byId.end()) {
      byId.emplace(std::move(idText), Kept{textOf(name), strings, poll});
      return;
    }
    if (found->second.poll < poll) found->second.poll = poll;
  }
  freeStrings(env, {strings});  // a poll on another thread kept its own
}

void endDevicePoll(JNIEnv* env, DWORD managerCookie, uint64_t poll) {
  std::vector<DeviceStrings> dropped;
  {
    Locked locked;
    auto& byId = cache[managerCookie].byId;
    for (auto entry = byId.begin(); entry != byId.end();) {
      if (entry->second.poll < poll) {
        dropped.push_back(entry->second.strings);
        entry = byId.erase(entry);
      } else {
        ++entry;
      }
    }
  }
  freeStrings(env, dropped);
}

void dropDeviceStrings(JNIEnv* env, DWORD managerCookie) {
  std::vector<DeviceStrings> dropped;
  {
    Locked locked;
    auto found = cache.find(managerCookie);
    if (found == cache.end()) return;
    for (const auto& entry : found->second.byId) dropped.push_back(entry.second.strings);
    cache.erase(found);
  }
  freeStrings(env, dropped);
}
