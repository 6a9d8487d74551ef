// A batch of pages from a scanner: the root's writes that choose the source (the flatbed, or
// the document feeder with its duplexer and page count), the scan item's format, medium and
// settings, then idtGetData again and again until the feeder runs out, the page count is
// reached, the host cancels or a page fails. Each page reaches the host as it arrives.
#pragma once

#include <vector>

#include "ComPtr.h"
#include "Platform.h"

// Property writes as (property id, VT_I4 value) pairs, written one at a time in order.
struct PropertyWrites {
  std::vector<PROPSPEC> specs;
  std::vector<PROPVARIANT> values;

  void add(PROPID id, LONG value);
  ULONG size() const { return static_cast<ULONG>(specs.size()); }
};

// How a batch ended, as _scanPages returns it.
enum class BatchOutcome : jint {
  Completed = 0,    // the page count reached, or the feeder ran out after a page
  Cancelled = 1,    // the host's scanProgress said stop; the pages before stay delivered
  FeederEmpty = 2,  // no paper before the first page
};

// Scans the batch on `root` and its scan item `item` (the flatbed gives one page, the
// feeder up to `maxPages`, 0 for all), handing each page to scanner.fireTransferDone as it
// arrives, with progress through the host's scanProgress where it has one. A refused root
// write is reported and nothing is scanned; a refused item write only prints its diagnostic
// line. WIA_ERROR_PAPER_EMPTY and WIA_STATUS_END_OF_MEDIA end the batch; any other failure
// is reported after the pages that arrived, as is an exception of the host's (first failure
// wins, later ones attached to it). Returns the outcome, 0 with the report pending.
jint scanPageBatch(JNIEnv* env, jobject scanner, IWiaItem* root, ComPtr<IWiaItem> item,
                   const PropertyWrites& rootWrites, const PropertyWrites& itemWrites, jint maxPages);
