// One step of a WIA enumerator of interfaces (items, device information storages).
#pragma once

#include "ComPtr.h"
#include "Platform.h"

// Next(1) into `out`: S_OK with the next element, a success code other than S_OK at the end
// of the list, or the failure. Always with a count to fill in, as a marshalled enumerator
// refuses a null one.
template <typename Enumerator, typename T>
HRESULT nextElement(Enumerator* enumerator, ComPtr<T>& out) {
  ULONG fetched = 0;
  return enumerator->Next(1, out.put(), &fetched);
}
