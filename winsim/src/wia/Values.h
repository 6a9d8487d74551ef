// Property values between the device model (PropertyValue) and the PROPVARIANTs that
// callers receive and free with the platform's routines.
#pragma once

#include <string>

#include "winsim/devices.h"

namespace winsim::wia {

// Fills `out` with a copy of `value` whose strings and arrays come from the allocators that
// PropVariantClear releases (BSTRs, task memory). Returns E_OUTOFMEMORY or
// DISP_E_BADVARTYPE without leaving anything allocated.
HRESULT toPropVariant(const PropertyValue& value, PROPVARIANT* out);

// "{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}" (case-insensitive) to a GUID.
bool parseGuid(const std::string& text, GUID* guid);

// The documented name of a WIA property, or nullptr.
const char* propertyName(PROPID id);

// Type names as the JSON device sets spell them ("I4", "VECTOR|UI1"); 0xFFFF when unknown.
VARTYPE varTypeFromName(const std::string& name);

}  // namespace winsim::wia
