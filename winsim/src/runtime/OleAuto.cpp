// BSTRs and automation variants.
#include <cstdlib>
#include <cstring>

#include "Internal.h"

namespace {

// A BSTR's block: a 32-bit byte count, the code units, a zero unit.
char* blockOf(BSTR text) { return reinterpret_cast<char*>(text) - sizeof(uint32_t); }

}  // namespace

extern "C" {

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  const size_t bytes = static_cast<size_t>(ui) * sizeof(OLECHAR);
  if (bytes > 0xFFFFFFF0u) return nullptr;
  if (FAILED(winsim::detail::injectedFailure("SysAllocStringLen"))) return nullptr;
  char* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const uint32_t byteCount = static_cast<uint32_t>(bytes);
  std::memcpy(block, &byteCount, sizeof byteCount);
  BSTR text = reinterpret_cast<BSTR>(block + sizeof(uint32_t));
  if (strIn) {
    std::memcpy(text, strIn, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  text[ui] = 0;
  winsim::detail::trackBstr(text);
  return text;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  UINT length = 0;
  while (psz[length] != 0) ++length;
  return SysAllocStringLen(psz, length);
}

void SysFreeString(BSTR bstrString) {
  if (!bstrString) return;
  winsim::detail::untrackBstr(bstrString);
  std::free(blockOf(bstrString));
}

UINT SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  uint32_t byteCount;
  std::memcpy(&byteCount, blockOf(bstr), sizeof byteCount);
  return byteCount;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

void VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  switch (pvarg->vt) {
    case VT_BSTR:
      SysFreeString(pvarg->bstrVal);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (pvarg->punkVal) pvarg->punkVal->Release();
      break;
    default:
      if ((pvarg->vt & VT_BYREF) == 0 && (pvarg->vt & ~VT_TYPEMASK) != 0) {
        return DISP_E_BADVARTYPE;
      }
      break;
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

}  // extern "C"
