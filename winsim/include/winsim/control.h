// Control surface of the stand-in platform for tests, benchmarks and the demo: the
// census of what is still held, fault injection, the journal of calls, and test
// settings of the platform (time zone, system texts). Not part of the Windows API.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "winsim.h"

namespace winsim {

// What is alive right now. A test takes one at its start and compares at its end.
struct Census {
  long comObjects = 0;         // virtual COM objects (the Global Interface Table excluded)
  long taskMemoryBlocks = 0;   // CoTaskMemAlloc blocks not yet freed
  long bstrs = 0;              // BSTRs not yet freed
  long localMemoryBlocks = 0;  // LocalAlloc blocks (FormatMessage texts) not yet freed

  bool operator==(const Census& other) const {
    return comObjects == other.comObjects && taskMemoryBlocks == other.taskMemoryBlocks &&
           bstrs == other.bstrs && localMemoryBlocks == other.localMemoryBlocks;
  }
  bool operator!=(const Census& other) const { return !(*this == other); }
};
WINSIM_API Census census();
WINSIM_API std::ostream& operator<<(std::ostream& out, const Census& census);
// The live COM objects by kind, e.g. "VirtualItem x2, VirtualEnumWiaItem x1", for
// failure messages.
WINSIM_API std::string describeLiveObjects();

// Fault injection. A rule matches calls of `method` ("IWiaPropertyStorage::WriteMultiple",
// "IGlobalInterfaceTable::GetInterfaceFromGlobal", "CoCreateInstance", ...; also
// "SysAllocStringLen", which then gives null, as when memory runs out) and, when
// `target` is not empty, only calls on that target (a device ID or an item's full name).
// A failure code makes the matched call fail without effect; a success code (S_FALSE)
// lets the call do its work and return that code instead of S_OK.
struct Fault {
  std::string method;
  HRESULT result = E_FAIL;
  unsigned nth = 0;  // 0: every matching call; n: only the n-th matching call (1-based)
  std::string target;
};
WINSIM_API void injectFault(const Fault& fault);
WINSIM_API void clearFaults();

// The journal: every gated call, in order, with its target, a canonical text of its
// arguments (for property writes "6147=I4:300 6148=I4:300") and its result. It is off
// unless a test turns it on (reset() turns it off again); when off, nothing is recorded and
// no argument text is made. It holds at most kJournalCapacity entries (some 10 to 20 MB);
// calls beyond that are counted in droppedJournalEntries() instead of recorded.
constexpr size_t kJournalCapacity = 100000;
struct JournalEntry {
  std::string method;
  std::string target;
  std::string detail;
  HRESULT result = S_OK;
};
WINSIM_API std::vector<JournalEntry> journal();
// The entries of one method only, in order.
WINSIM_API std::vector<JournalEntry> journal(const std::string& method);
// Empties the journal, giving its memory back, and sets the dropped count to zero.
WINSIM_API void clearJournal();
// Calls not recorded because the journal was full, since it was last cleared.
WINSIM_API unsigned long long droppedJournalEntries();
WINSIM_API void setJournalEnabled(bool enabled);
WINSIM_API bool journalEnabled();

// GetTimeZoneInformation reports this Bias (minutes, UTC = local + Bias) until cleared.
WINSIM_API void setTimeZoneBias(LONG biasMinutes);
WINSIM_API void clearTimeZoneBias();

// Adds or replaces the system's text for a code, as a localised system would have it.
WINSIM_API void setSystemMessage(HRESULT code, const std::u16string& text);
WINSIM_API void clearSystemMessageOverrides();

// Starts the drivers of real devices afresh at the next enumeration, with the settings and the
// environment as they are then (SANE reads its configuration as it starts): for tests that
// change them. Throws std::logic_error while a device that such a driver serves is still
// open. Does nothing where there are no such drivers (the Windows test programs).
WINSIM_API void restartDrivers();

// Back to a fresh state: faults, journal (emptied and off), test settings and the virtual device set
// (the set named by WINSIM_DEVICES, else the built-in default). Objects still held keep
// working and stay in the census.
WINSIM_API void reset();

// UTF-16 <-> UTF-8 helpers for tests and tools.
WINSIM_API std::string toUtf8(const std::u16string& text);
WINSIM_API std::u16string toUtf16(const std::string& text);

}  // namespace winsim
