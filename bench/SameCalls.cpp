#include "SameCalls.h"

#include <regex>
#include <sstream>
#include <vector>

#include <winsim/control.h>

namespace bench {
namespace {

std::string textOf(const winsim::JournalEntry& entry) {
  static const std::regex fresh("(cookie=)[0-9]+|(sheet=)[0-9]+|(file=).*");
  std::ostringstream text;
  text << entry.method << " [" << entry.target << "] "
       << std::regex_replace(entry.detail, fresh, "$1$2$3#") << " -> 0x" << std::hex
       << static_cast<unsigned>(entry.result);
  return text.str();
}

std::vector<std::string> journalOf(const std::function<void()>& run) {
  winsim::setJournalEnabled(true);
  winsim::clearJournal();
  run();
  std::vector<std::string> calls;
  for (const auto& entry : winsim::journal()) calls.push_back(textOf(entry));
  winsim::clearJournal();
  winsim::setJournalEnabled(false);
  return calls;
}

}  // namespace

std::string differenceOf(const std::function<void()>& library, const std::function<void()>& direct) {
  const std::vector<std::string> byLibrary = journalOf(library);
  const std::vector<std::string> byDirect = journalOf(direct);
  for (size_t i = 0; i < byLibrary.size() || i < byDirect.size(); ++i) {
    const std::string a = i < byLibrary.size() ? byLibrary[i] : "(no call)";
    const std::string b = i < byDirect.size() ? byDirect[i] : "(no call)";
    if (a != b) return "call " + std::to_string(i) + ": library " + a + ", direct " + b;
  }
  if (byLibrary.empty()) return "the library made no call";
  return {};
}

}  // namespace bench
