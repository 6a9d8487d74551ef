// The items that a device's own dialog returned. Every item not taken is released, and the
// array freed, when the holder goes out of scope.
//
//   DialogItems picked;
//   HRESULT hr = root->DeviceDlg(nullptr, 0, WIA_INTENT_NONE, picked.countSlot(), picked.arraySlot());
#pragma once

#include <utility>

#include "Platform.h"

class DialogItems {
 public:
  DialogItems() = default;
  ~DialogItems() {
    for (LONG i = 0; i < size(); ++i) {
      if (items_[i]) items_[i]->Release();
    }
    CoTaskMemFree(items_);
  }
  DialogItems(const DialogItems&) = delete;
  DialogItems& operator=(const DialogItems&) = delete;

  LONG* countSlot() { return &count_; }
  IWiaItem*** arraySlot() { return &items_; }

  // The number of entries; zero without an array.
  LONG size() const { return items_ && count_ > 0 ? count_ : 0; }
  // Hands entry `index` (below size()) over to the caller; null for an empty entry.
  IWiaItem* take(LONG index) { return std::exchange(items_[index], nullptr); }

 private:
  LONG count_ = 0;
  IWiaItem** items_ = nullptr;
};
