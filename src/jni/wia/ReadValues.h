// Values read from a property storage: N PROPVARIANTs that start empty and whose payloads
// (strings, vectors, ...) are freed with FreePropVariantArray when the holder goes out of
// scope. A read that fails leaves them empty, so freeing them then does nothing.
#pragma once

#include "Platform.h"

template <ULONG N>
class ReadValues {
 public:
  ReadValues() {
    for (PROPVARIANT& value : values_) PropVariantInit(&value);
  }
  ~ReadValues() { FreePropVariantArray(N, values_); }
  ReadValues(const ReadValues&) = delete;
  ReadValues& operator=(const ReadValues&) = delete;

  PROPVARIANT* data() { return values_; }
  const PROPVARIANT& operator[](ULONG index) const { return values_[index]; }

 private:
  PROPVARIANT values_[N];
};
