// reset(): back to a fresh platform state for the next test.
#include <mutex>
#include <vector>

#include "Internal.h"
#include "winsim/control.h"

namespace winsim {
namespace {

struct Hooks {
  std::mutex lock;
  std::vector<std::function<void()>> list;
};
Hooks& hooks() {
  static Hooks instance;
  return instance;
}

}  // namespace

namespace detail {
void addResetHook(std::function<void()> hook) {
  auto& h = hooks();
  std::lock_guard<std::mutex> guard(h.lock);
  h.list.push_back(std::move(hook));
}
}  // namespace detail

void reset() {
  clearFaults();
  clearJournal();
  setJournalEnabled(false);
  clearTimeZoneBias();
  clearSystemMessageOverrides();
  std::vector<std::function<void()>> list;
  {
    auto& h = hooks();
    std::lock_guard<std::mutex> guard(h.lock);
    list = h.list;
  }
  for (auto& hook : list) hook();
}

}  // namespace winsim
