// Structured storage property values and storage media.
#pragma once

#include "oleauto.h"

#define PRSPEC_INVALID 0xffffffff
#define PRSPEC_LPWSTR 0
#define PRSPEC_PROPID 1

struct PROPSPEC {
  ULONG ulKind;
  union {
    PROPID propid;
    LPOLESTR lpwstr;
  };
};

struct STATPROPSTG {
  LPOLESTR lpwstrName;
  PROPID propid;
  VARTYPE vt;
};

struct STATPROPSETSTG {
  GUID fmtid;
  CLSID clsid;
  DWORD grfFlags;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD dwOSVersion;
};

struct BLOB {
  ULONG cbSize;
  BYTE* pBlobData;
};

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};

#define WINSIM_COUNTED_ARRAY(name, type) \
  struct name {                          \
    ULONG cElems;                        \
    type* pElems;                        \
  }
WINSIM_COUNTED_ARRAY(CAUB, BYTE);
WINSIM_COUNTED_ARRAY(CAI, SHORT);
WINSIM_COUNTED_ARRAY(CAUI, USHORT);
WINSIM_COUNTED_ARRAY(CAL, LONG);
WINSIM_COUNTED_ARRAY(CAUL, ULONG);
WINSIM_COUNTED_ARRAY(CAFLT, FLOAT);
WINSIM_COUNTED_ARRAY(CADBL, DOUBLE);
WINSIM_COUNTED_ARRAY(CABOOL, VARIANT_BOOL);
WINSIM_COUNTED_ARRAY(CABSTR, BSTR);
WINSIM_COUNTED_ARRAY(CALPSTR, LPSTR);
WINSIM_COUNTED_ARRAY(CALPWSTR, LPWSTR);
WINSIM_COUNTED_ARRAY(CACLSID, CLSID);
WINSIM_COUNTED_ARRAY(CAFILETIME, FILETIME);
#undef WINSIM_COUNTED_ARRAY

// A property value. Vectors (VT_VECTOR | type) carry a counted array in task memory.
struct PROPVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    CHAR cVal;
    BYTE bVal;
    SHORT iVal;
    USHORT uiVal;
    LONG lVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    LARGE_INTEGER hVal;
    ULARGE_INTEGER uhVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    CY cyVal;
    DATE date;
    FILETIME filetime;
    CLSID* puuid;
    BLOB blob;
    BSTR bstrVal;
    LPSTR pszVal;
    LPWSTR pwszVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    CAUB caub;
    CAI cai;
    CAUI caui;
    CAL cal;
    CAUL caul;
    CAFLT caflt;
    CADBL cadbl;
    CABOOL cabool;
    CABSTR cabstr;
    CALPSTR calpstr;
    CALPWSTR calpwstr;
    CACLSID cauuid;
    CAFILETIME cafiletime;
  };
};

inline void PropVariantInit(PROPVARIANT* pvar) { std::memset(pvar, 0, sizeof(PROPVARIANT)); }
// Frees what the value owns (strings, vectors, CLSIDs, blobs in task memory; BSTRs;
// interface references) and sets it to VT_EMPTY.
EXTERN_C WINSIM_API HRESULT PropVariantClear(PROPVARIANT* pvar);
EXTERN_C WINSIM_API HRESULT FreePropVariantArray(ULONG cVariants, PROPVARIANT* rgvars);

struct IEnumSTATPROPSTG : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, STATPROPSTG* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumSTATPROPSTG** ppenum) = 0;
};
EXTERN_C WINSIM_API const IID IID_IEnumSTATPROPSTG;

struct IStream;
struct IStorage;

enum TYMED {
  TYMED_HGLOBAL = 1,
  TYMED_FILE = 2,
  TYMED_ISTREAM = 4,
  TYMED_ISTORAGE = 8,
  TYMED_GDI = 16,
  TYMED_MFPICT = 32,
  TYMED_ENHMF = 64,
  TYMED_NULL = 0,
};

// A storage medium. With TYMED_FILE, lpszFileName is a UTF-16 path in task memory.
struct STGMEDIUM {
  DWORD tymed;
  union {
    void* hBitmap;
    void* hMetaFilePict;
    void* hEnhMetaFile;
    HGLOBAL hGlobal;
    LPOLESTR lpszFileName;
    IStream* pstm;
    IStorage* pstg;
  };
  IUnknown* pUnkForRelease;
};
typedef STGMEDIUM* LPSTGMEDIUM;

// For a file medium without a release object: deletes the file and frees its name.
// With a release object: releases that object only.
EXTERN_C WINSIM_API void ReleaseStgMedium(LPSTGMEDIUM pmedium);
