// Fault injection and the journal of calls, applied by CallScope at the entry of every
// gated method.
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
  bool journalEnabled = true;
};
CallState& state() {
  static CallState instance;
  return instance;
}

// The first rule that fires for this call, if any. Every matching rule counts the call.
bool findFault(const std::string& method, const std::string& target, HRESULT* result) {
  auto& s = state();
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
}

void clearFaults() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.faults.clear();
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

void clearJournal() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.journal.clear();
}

void setJournalEnabled(bool enabled) {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.journalEnabled = enabled;
}

namespace detail {

HRESULT injectedFailure(const char* method) {
  HRESULT injected = S_OK;
  if (findFault(method, "", &injected) && FAILED(injected)) return injected;
  return S_OK;
}

CallScope::CallScope(const char* method, std::string target)
    : method_(method), target_(std::move(target)) {
  if (!comInitializedOnThisThread()) {
    refused_ = true;
    result_ = CO_E_NOTINITIALIZED;
    return;
  }
  HRESULT injected = S_OK;
  if (findFault(method_, target_, &injected)) {
    if (FAILED(injected)) {
      refused_ = true;
      result_ = injected;
    } else {
      hasSuccessOverride_ = true;
      successOverride_ = injected;
    }
  }
}

CallScope::~CallScope() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.journalEnabled) s.journal.push_back({method_, target_, detail_, result_});
}

void CallScope::detail(const std::string& text) {
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
