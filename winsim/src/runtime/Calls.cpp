// Fault injection and the journal of calls, applied by CallScope at the entry of every
// gated method. With no fault set and the journal off a call takes no lock and makes no text.
#include <atomic>
#include <mutex>
#include <vector>

#include "Internal.h"
#include "winsim/control.h"

namespace winsim {
namespace {

struct FaultRule {
  Fault fault;
  unsigned matched = 0;
};

struct CallState {
  std::mutex lock;
  std::vector<FaultRule> faults;
  std::vector<JournalEntry> journal;
  unsigned long long dropped = 0;
  // Read without the lock by every call: whether it needs to look any further.
  std::atomic<bool> anyFault{false};
  std::atomic<bool> journalOn{false};
};
CallState& state() {
  static CallState instance;
  return instance;
}

// The first rule that fires for this call, if any. Every matching rule counts the call.
bool findFault(const char* method, const std::string& target, HRESULT* result) {
  auto& s = state();
  if (!s.anyFault.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> guard(s.lock);
  bool fired = false;
  for (auto& rule : s.faults) {
    if (rule.fault.method != method) continue;
    if (!rule.fault.target.empty() && rule.fault.target != target) continue;
    ++rule.matched;
    if (!fired && (rule.fault.nth == 0 || rule.fault.nth == rule.matched)) {
      *result = rule.fault.result;
      fired = true;
    }
  }
  return fired;
}

}  // namespace

void injectFault(const Fault& fault) {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.faults.push_back({fault, 0});
  s.anyFault.store(true, std::memory_order_release);
}

void clearFaults() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.faults.clear();
  s.anyFault.store(false, std::memory_order_release);
}

std::vector<JournalEntry> journal() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.journal;
}

std::vector<JournalEntry> journal(const std::string& method) {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  std::vector<JournalEntry> selected;
  for (const auto& entry : s.journal) {
    if (entry.method == method) selected.push_back(entry);
  }
  return selected;
}

unsigned long long droppedJournalEntries() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.dropped;
}

void clearJournal() {
  std::vector<JournalEntry> released;  // freed outside the lock
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  released.swap(s.journal);
  s.dropped = 0;
}

void setJournalEnabled(bool enabled) { state().journalOn.store(enabled, std::memory_order_release); }

bool journalEnabled() { return state().journalOn.load(std::memory_order_acquire); }

namespace detail {

HRESULT injectedFailure(const char* method) {
  HRESULT injected = S_OK;
  if (findFault(method, std::string(), &injected) && FAILED(injected)) return injected;
  return S_OK;
}

bool CallScope::observed() {
  auto& s = state();
  return s.anyFault.load(std::memory_order_acquire) || s.journalOn.load(std::memory_order_acquire);
}

CallScope::CallScope(const char* method, const std::string& target) : method_(method) {
  if (!comInitializedOnThisThread()) {
    refused_ = true;
    result_ = CO_E_NOTINITIALIZED;
  } else {
    HRESULT injected = S_OK;
    if (findFault(method_, target, &injected)) {
      if (FAILED(injected)) {
        refused_ = true;
        result_ = injected;
      } else {
        hasSuccessOverride_ = true;
        successOverride_ = injected;
      }
    }
  }
  recording_ = state().journalOn.load(std::memory_order_acquire);
  if (recording_) target_ = target;
}

CallScope::~CallScope() {
  if (!recording_) return;
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.journal.size() < kJournalCapacity) {
    s.journal.push_back({method_, std::move(target_), std::move(detail_), result_});
  } else {
    ++s.dropped;
  }
}

void CallScope::detail(const std::string& text) {
  if (!recording_) return;
  if (!detail_.empty()) detail_ += ' ';
  detail_ += text;
}

HRESULT CallScope::finish(HRESULT hr) {
  if (hr == S_OK && hasSuccessOverride_) hr = successOverride_;
  result_ = hr;
  return hr;
}

}  // namespace detail
}  // namespace winsim
