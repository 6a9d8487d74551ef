// COM: IUnknown, initialisation, object creation, task memory and the Global Interface Table.
#pragma once

#include "wintypes.h"

EXTERN_C WINSIM_API const IID IID_IUnknown;
EXTERN_C WINSIM_API const IID IID_IGlobalInterfaceTable;
EXTERN_C WINSIM_API const CLSID CLSID_StdGlobalInterfaceTable;

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

struct IGlobalInterfaceTable : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid,
                                                              DWORD* pdwCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE RevokeInterfaceFromGlobal(DWORD dwCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid,
                                                           void** ppv) = 0;
};

enum CLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
               CLSCTX_REMOTE_SERVER,
};

enum COINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8,
};

// A thread must join COM before it calls anything else here or on a COM object; until
// then calls fail with CO_E_NOTINITIALIZED. CoInitialize(NULL) enters a single-threaded
// apartment; a repeated call returns S_FALSE.
EXTERN_C WINSIM_API HRESULT CoInitialize(LPVOID pvReserved);
EXTERN_C WINSIM_API HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
EXTERN_C WINSIM_API void CoUninitialize(void);
EXTERN_C WINSIM_API HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                        LPVOID* ppv);

EXTERN_C WINSIM_API LPVOID CoTaskMemAlloc(size_t cb);
EXTERN_C WINSIM_API LPVOID CoTaskMemRealloc(LPVOID pv, size_t cb);
EXTERN_C WINSIM_API void CoTaskMemFree(LPVOID pv);
