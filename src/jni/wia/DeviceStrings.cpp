#include "DeviceStrings.h"

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "FailureReport.h"
#include "ValueConversion.h"

namespace {

struct GlobalStrings {
  jstring id = nullptr;
  jstring name = nullptr;
};

struct Kept {
  std::u16string name;
  GlobalStrings strings;
  uint64_t poll = 0;  // the last poll that offered the device
};

struct ManagerStrings {
  uint64_t polls = 0;
  std::map<std::u16string, Kept, std::less<>> byId;
};

// Held only around map operations and NewLocalRef, never across a call into Java, so a
// waiter spins for a few map steps at most. Not a std::mutex: the DLLs are built with
// MinGW-w64's win32 thread model, whose C++ library (GCC 12) has no std::mutex, and a
// Windows critical section would put platform code here that Linux builds cannot compile.
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

std::u16string_view textOf(BSTR bstr) {
  if (!bstr) return {};
  return {reinterpret_cast<const char16_t*>(bstr), SysStringLen(bstr)};
}

void freeStrings(JNIEnv* env, const std::vector<GlobalStrings>& dropped) {
  for (const GlobalStrings& strings : dropped) {
    env->DeleteGlobalRef(strings.id);
    env->DeleteGlobalRef(strings.name);
  }
}

jstring newGlobalString(JNIEnv* env, BSTR bstr) {
  LocalRef<jstring> local(env, bstrToJstring(env, bstr));
  if (!local) return nullptr;
  return static_cast<jstring>(env->NewGlobalRef(local.get()));
}

// False with an error pending when a reference could not be made.
bool takeLocal(JNIEnv* env, const GlobalStrings& strings, LocalRef<jstring>* id, LocalRef<jstring>* name) {
  *id = LocalRef<jstring>(env, static_cast<jstring>(env->NewLocalRef(strings.id)));
  *name = LocalRef<jstring>(env, static_cast<jstring>(env->NewLocalRef(strings.name)));
  if (*id && *name) return true;
  if (!env->ExceptionCheck()) THROW_HRESULT(env, E_OUTOFMEMORY);  // poll: no local reference
  return false;
}

}  // namespace

uint64_t beginDevicePoll(DWORD managerCookie) {
  Locked locked;
  return ++cache[managerCookie].polls;
}

bool deviceStrings(JNIEnv* env, DWORD managerCookie, uint64_t poll, BSTR id, BSTR name,
                   LocalRef<jstring>* idString, LocalRef<jstring>* nameString) {
  {
    Locked locked;
    auto& byId = cache[managerCookie].byId;
    auto found = byId.find(textOf(id));
    if (found != byId.end() && found->second.name == textOf(name)) {
      found->second.poll = poll;
      return takeLocal(env, found->second.strings, idString, nameString);
    }
  }
  // New or renamed: new strings, which replace the kept ones.
  GlobalStrings made;
  made.id = newGlobalString(env, id);
  made.name = made.id ? newGlobalString(env, name) : nullptr;
  if (!made.name) {
    if (made.id) env->DeleteGlobalRef(made.id);
    return false;
  }
  const bool taken = takeLocal(env, made, idString, nameString);
  std::vector<GlobalStrings> dropped;
  {
    Locked locked;
    auto& byId = cache[managerCookie].byId;
    auto found = byId.find(textOf(id));
    if (found == byId.end()) {
      byId.emplace(std::u16string(textOf(id)), Kept{std::u16string(textOf(name)), made, poll});
    } else {
      dropped.push_back(found->second.strings);
      found->second = Kept{std::u16string(textOf(name)), made, poll};
    }
  }
  freeStrings(env, dropped);
  return taken;
}

void endDevicePoll(JNIEnv* env, DWORD managerCookie, uint64_t poll) {
  std::vector<GlobalStrings> dropped;
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
  std::vector<GlobalStrings> dropped;
  {
    Locked locked;
    auto found = cache.find(managerCookie);
    if (found == cache.end()) return;
    for (const auto& entry : found->second.byId) dropped.push_back(entry.second.strings);
    cache.erase(found);
  }
  freeStrings(env, dropped);
}
