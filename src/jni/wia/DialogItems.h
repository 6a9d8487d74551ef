// The items that a device's own dialog returned. Every item not taken is released, and the
// array freed, when the holder goes out of scope.
//
//   DialogItems picked;
//   HRESULT hr = root->DeviceDlg(nullptr, 0, WIA_INTENT_NONE, picked.countSlot(), picked.arraySlot());
#pragma once

#include <utility>

#include "ComPtr.h"
#include "Platform.h"
#include "UniqueValue.h"

class DialogItems {
 public:
  DialogItems() = default;
  ~DialogItems() {
    for (LONG i = 0; i < size(); ++i) take(i).reset();
  }
  DialogItems(const DialogItems&) = delete;
  DialogItems& operator=(const DialogItems&) = delete;

  LONG* countSlot() { return &count_; }
  IWiaItem*** arraySlot() { return items_.put(); }

  // The number of entries; zero without an array.
  LONG size() const { return items_.get() && count_ > 0 ? count_ : 0; }
  // Hands entry `index` (below size()) over to the caller; empty for an empty entry.
  ComPtr<IWiaItem> take(LONG index) { return ComPtr<IWiaItem>(std::exchange(items_.get()[index], nullptr)); }

 private:
  LONG count_ = 0;
  TaskMemory<IWiaItem*> items_;
};
