// Freeing property values and storage media.
#include <unistd.h>

#include "Internal.h"
#include "winsim/control.h"

namespace {

// Frees each element with `freeOne`, then the array itself.
template <typename Counted, typename FreeOne>
void freeElements(Counted& array, FreeOne freeOne) {
  for (ULONG i = 0; i < array.cElems; ++i) freeOne(array.pElems[i]);
  CoTaskMemFree(array.pElems);
}

}  // namespace

extern "C" {

HRESULT PropVariantClear(PROPVARIANT* pvar) {
  if (!pvar) return S_OK;
  switch (pvar->vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
    case VT_ERROR:
    case VT_FILETIME:
      break;
    case VT_BSTR:
      SysFreeString(pvar->bstrVal);
      break;
    case VT_LPSTR:
      CoTaskMemFree(pvar->pszVal);
      break;
    case VT_LPWSTR:
      CoTaskMemFree(pvar->pwszVal);
      break;
    case VT_CLSID:
      CoTaskMemFree(pvar->puuid);
      break;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
      CoTaskMemFree(pvar->blob.pBlobData);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
    case VT_STREAM:
    case VT_STORAGE:
    case VT_STREAMED_OBJECT:
    case VT_STORED_OBJECT:
      if (pvar->punkVal) pvar->punkVal->Release();
      break;
    case VT_VECTOR | VT_BSTR:
      freeElements(pvar->cabstr, [](BSTR text) { SysFreeString(text); });
      break;
    case VT_VECTOR | VT_LPWSTR:
      freeElements(pvar->calpwstr, [](LPWSTR text) { CoTaskMemFree(text); });
      break;
    case VT_VECTOR | VT_LPSTR:
      freeElements(pvar->calpstr, [](LPSTR text) { CoTaskMemFree(text); });
      break;
    case VT_VECTOR | VT_I1:
    case VT_VECTOR | VT_UI1:
    case VT_VECTOR | VT_I2:
    case VT_VECTOR | VT_UI2:
    case VT_VECTOR | VT_I4:
    case VT_VECTOR | VT_UI4:
    case VT_VECTOR | VT_I8:
    case VT_VECTOR | VT_UI8:
    case VT_VECTOR | VT_R4:
    case VT_VECTOR | VT_R8:
    case VT_VECTOR | VT_BOOL:
    case VT_VECTOR | VT_CLSID:
    case VT_VECTOR | VT_FILETIME:
    case VT_VECTOR | VT_DATE:
    case VT_VECTOR | VT_ERROR:
    case VT_VECTOR | VT_CY:
      // Every counted array has the same layout: a count and a task-memory block.
      CoTaskMemFree(pvar->caub.pElems);
      break;
    default:
      return STG_E_INVALIDPARAMETER;
  }
  PropVariantInit(pvar);
  return S_OK;
}

HRESULT FreePropVariantArray(ULONG cVariants, PROPVARIANT* rgvars) {
  if (!rgvars) return E_INVALIDARG;
  HRESULT result = S_OK;
  for (ULONG i = 0; i < cVariants; ++i) {
    if (FAILED(PropVariantClear(&rgvars[i]))) {
      // Like the platform: an unknown type is not freed, the value is still emptied.
      PropVariantInit(&rgvars[i]);
      result = STG_E_INVALIDPARAMETER;
    }
  }
  return result;
}

void ReleaseStgMedium(LPSTGMEDIUM pmedium) {
  if (!pmedium) return;
  switch (pmedium->tymed) {
    case TYMED_FILE:
      if (pmedium->pUnkForRelease) break;
      if (pmedium->lpszFileName) {
        std::string path = winsim::toUtf8(pmedium->lpszFileName);
        ::unlink(path.c_str());
        winsim::detail::removeTransferFolderOf(path);  // a camera file's folder goes with it
        CoTaskMemFree(pmedium->lpszFileName);
      }
      break;
    case TYMED_ISTREAM:
    case TYMED_ISTORAGE:
      if (pmedium->pstm) reinterpret_cast<IUnknown*>(pmedium->pstm)->Release();
      break;
    default:
      break;
  }
  if (pmedium->pUnkForRelease) pmedium->pUnkForRelease->Release();
}

}  // extern "C"
