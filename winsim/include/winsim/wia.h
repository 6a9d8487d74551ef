// WIA 1.0: the device manager, items, property storages and data transfer, with the
// SDK's interface layouts (method order), identifiers and failure codes; the property
// identifiers and their values are wiadef.h's.
#pragma once

#include "propidl.h"
#include "wiadef.h"

struct IWiaDevMgr;
struct IEnumWIA_DEV_INFO;
struct IWiaItem;
struct IEnumWiaItem;
struct IWiaPropertyStorage;
struct IWiaDataTransfer;
struct IWiaDataCallback;
struct IWiaEventCallback;
struct IEnumWIA_DEV_CAPS;
struct IEnumWIA_FORMAT_INFO;

EXTERN_C WINSIM_API const CLSID CLSID_WiaDevMgr;
EXTERN_C WINSIM_API const IID IID_IWiaDevMgr;
EXTERN_C WINSIM_API const IID IID_IEnumWIA_DEV_INFO;
EXTERN_C WINSIM_API const IID IID_IWiaItem;
EXTERN_C WINSIM_API const IID IID_IEnumWiaItem;
EXTERN_C WINSIM_API const IID IID_IWiaPropertyStorage;
EXTERN_C WINSIM_API const IID IID_IWiaDataTransfer;
EXTERN_C WINSIM_API const IID IID_IWiaDataCallback;
EXTERN_C WINSIM_API const IID IID_IWiaEventCallback;
EXTERN_C WINSIM_API const IID IID_IEnumWIA_DEV_CAPS;
EXTERN_C WINSIM_API const IID IID_IEnumWIA_FORMAT_INFO;

// Image formats.
EXTERN_C WINSIM_API const GUID WiaImgFmt_UNDEFINED;
EXTERN_C WINSIM_API const GUID WiaImgFmt_MEMORYBMP;
EXTERN_C WINSIM_API const GUID WiaImgFmt_BMP;
EXTERN_C WINSIM_API const GUID WiaImgFmt_EMF;
EXTERN_C WINSIM_API const GUID WiaImgFmt_WMF;
EXTERN_C WINSIM_API const GUID WiaImgFmt_JPEG;
EXTERN_C WINSIM_API const GUID WiaImgFmt_PNG;
EXTERN_C WINSIM_API const GUID WiaImgFmt_GIF;
EXTERN_C WINSIM_API const GUID WiaImgFmt_TIFF;
EXTERN_C WINSIM_API const GUID WiaImgFmt_EXIF;

// Events.
EXTERN_C WINSIM_API const GUID WIA_EVENT_DEVICE_DISCONNECTED;
EXTERN_C WINSIM_API const GUID WIA_EVENT_DEVICE_CONNECTED;
EXTERN_C WINSIM_API const GUID WIA_EVENT_ITEM_CREATED;
EXTERN_C WINSIM_API const GUID WIA_EVENT_ITEM_DELETED;

struct WIA_DEV_CAP {
  GUID guid;
  ULONG ulFlags;
  BSTR bstrName;
  BSTR bstrDescription;
  BSTR bstrIcon;
  BSTR bstrCommandline;
};

struct WIA_FORMAT_INFO {
  GUID guidFormatID;
  LONG lTymed;
};

struct WIA_DATA_TRANSFER_INFO {
  ULONG ulSize;
  ULONG ulSection;
  ULONG ulBufferSize;
  BOOL bDoubleBuffer;
  ULONG ulReserved1;
  ULONG ulReserved2;
  ULONG ulReserved3;
};
typedef WIA_DATA_TRANSFER_INFO* PWIA_DATA_TRANSFER_INFO;

struct WIA_EXTENDED_TRANSFER_INFO {
  ULONG ulSize;
  ULONG ulMinBufferSize;
  ULONG ulOptimalBufferSize;
  ULONG ulMaxBufferSize;
  ULONG ulNumBuffers;
};
typedef WIA_EXTENDED_TRANSFER_INFO* PWIA_EXTENDED_TRANSFER_INFO;

namespace winsim {
// The methods every WIA enumerator has after IUnknown, in their order: `Next` hands out up
// to `celt` elements, `Clone` a new enumerator of the same kind at the same position.
template <typename Enumerator, typename Element>
struct WiaEnumeratorMethods : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, Element* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(Enumerator** ppIEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* celt) = 0;
};
}  // namespace winsim

struct IWiaDevMgr : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG lFlag, IEnumWIA_DEV_INFO** ppIEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDevice(BSTR bstrDeviceID, IWiaItem** ppWiaItemRoot) = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND hwndParent, LONG lDeviceType,
                                                    LONG lFlags, BSTR* pbstrDeviceID,
                                                    IWiaItem** ppItemRoot) = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND hwndParent, LONG lDeviceType,
                                                      LONG lFlags, BSTR* pbstrDeviceID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetImageDlg(HWND hwndParent, LONG lDeviceType, LONG lFlags,
                                                LONG lIntent, IWiaItem* pItemRoot,
                                                BSTR bstrFilename, GUID* pguidFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(
      LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID, BSTR bstrCommandline,
      BSTR bstrName, BSTR bstrDescription, BSTR bstrIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(
      LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID,
      IWiaEventCallback* pIWiaEventCallback, IUnknown** pEventObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(
      LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID, const GUID* pClsID, BSTR bstrName,
      BSTR bstrDescription, BSTR bstrIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDeviceDlg(HWND hwndParent, LONG lFlags) = 0;
};

struct IEnumWIA_DEV_INFO : public winsim::WiaEnumeratorMethods<IEnumWIA_DEV_INFO, IWiaPropertyStorage*> {};

struct IWiaEventCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ImageEventCallback(const GUID* pEventGUID,
                                                       BSTR bstrEventDescription,
                                                       BSTR bstrDeviceID,
                                                       BSTR bstrDeviceDescription,
                                                       DWORD dwDeviceType,
                                                       BSTR bstrFullItemName,
                                                       ULONG* pulEventType,
                                                       ULONG ulReserved) = 0;
};

struct IWiaDataCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG lMessage, LONG lStatus,
                                                       LONG lPercentComplete, LONG lOffset,
                                                       LONG lLength, LONG lReserved,
                                                       LONG lResLength, BYTE* pbBuffer) = 0;
};

struct IWiaDataTransfer : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE idtGetData(LPSTGMEDIUM pMedium,
                                               IWiaDataCallback* pIWiaDataCallback) = 0;
  virtual HRESULT STDMETHODCALLTYPE idtGetBandedData(PWIA_DATA_TRANSFER_INFO pWiaDataTransInfo,
                                                     IWiaDataCallback* pIWiaDataCallback) = 0;
  virtual HRESULT STDMETHODCALLTYPE idtQueryGetData(WIA_FORMAT_INFO* pfe) = 0;
  virtual HRESULT STDMETHODCALLTYPE idtEnumWIA_FORMAT_INFO(IEnumWIA_FORMAT_INFO** ppEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE idtGetExtendedTransferInfo(
      PWIA_EXTENDED_TRANSFER_INFO pExtendedTransferInfo) = 0;
};

struct IWiaItem : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetItemType(LONG* pItemType) = 0;
  virtual HRESULT STDMETHODCALLTYPE AnalyzeItem(LONG lFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumChildItems(IEnumWiaItem** ppIEnumWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteItem(LONG lFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateChildItem(LONG lFlags, BSTR bstrItemName,
                                                    BSTR bstrFullItemName,
                                                    IWiaItem** ppIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumRegisterEventInfo(LONG lFlags, const GUID* pEventGUID,
                                                          IEnumWIA_DEV_CAPS** ppIEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindItemByName(LONG lFlags, BSTR bstrFullItemName,
                                                   IWiaItem** ppIWiaItem) = 0;
  // On success the array and its items belong to the caller: release each item and free
  // the array with CoTaskMemFree. A cancelled dialog returns S_FALSE.
  virtual HRESULT STDMETHODCALLTYPE DeviceDlg(HWND hwndParent, LONG lFlags, LONG lIntent,
                                              LONG* plItemCount, IWiaItem*** ppIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeviceCommand(LONG lFlags, const GUID* pCmdGUID,
                                                  IWiaItem** pIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem** ppIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumDeviceCapabilities(LONG lFlags,
                                                           IEnumWIA_DEV_CAPS** ppIEnumWIA_DEV_CAPS) = 0;
  virtual HRESULT STDMETHODCALLTYPE DumpItemData(BSTR* bstrData) = 0;
  virtual HRESULT STDMETHODCALLTYPE DumpDrvItemData(BSTR* bstrData) = 0;
  virtual HRESULT STDMETHODCALLTYPE DumpTreeItemData(BSTR* bstrData) = 0;
  virtual HRESULT STDMETHODCALLTYPE Diagnostic(ULONG ulSize, BYTE* pBuffer) = 0;
};

struct IWiaPropertyStorage : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                                 PROPVARIANT rgpropvar[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                                  const PROPVARIANT rgpropvar[],
                                                  PROPID propidNameFirst) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG cpspec, const PROPSPEC rgpspec[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG cpropid, const PROPID rgpropid[],
                                                      LPOLESTR rglpwstrName[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG cpropid, const PROPID rgpropid[],
                                                       const LPOLESTR rglpwstrName[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG cpropid,
                                                        const PROPID rgpropid[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Revert() = 0;
  virtual HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG** ppenum) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME* pctime, const FILETIME* patime,
                                             const FILETIME* pmtime) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG* pstatpsstg) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyAttributes(ULONG cpspec, PROPSPEC rgpspec[],
                                                          ULONG rgflags[],
                                                          PROPVARIANT rgpropvar[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* pulNumProps) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyStream(GUID* pCompatibilityId,
                                                      IStream** ppIStream) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPropertyStream(GUID* pCompatibilityId,
                                                      IStream* pIStream) = 0;
};

struct IEnumWiaItem : public winsim::WiaEnumeratorMethods<IEnumWiaItem, IWiaItem*> {};
struct IEnumWIA_DEV_CAPS : public winsim::WiaEnumeratorMethods<IEnumWIA_DEV_CAPS, WIA_DEV_CAP> {};
struct IEnumWIA_FORMAT_INFO : public winsim::WiaEnumeratorMethods<IEnumWIA_FORMAT_INFO, WIA_FORMAT_INFO> {};

// Failure codes of the WIA service (facility 33).
#define FACILITY_WIA 33
#define WIA_ERROR_GENERAL_ERROR ((HRESULT)0x80210001)
#define WIA_ERROR_PAPER_JAM ((HRESULT)0x80210002)
#define WIA_ERROR_PAPER_EMPTY ((HRESULT)0x80210003)
#define WIA_ERROR_PAPER_PROBLEM ((HRESULT)0x80210004)
#define WIA_ERROR_OFFLINE ((HRESULT)0x80210005)
#define WIA_ERROR_BUSY ((HRESULT)0x80210006)
#define WIA_ERROR_WARMING_UP ((HRESULT)0x80210007)
#define WIA_ERROR_USER_INTERVENTION ((HRESULT)0x80210008)
#define WIA_ERROR_ITEM_DELETED ((HRESULT)0x80210009)
#define WIA_ERROR_DEVICE_COMMUNICATION ((HRESULT)0x8021000A)
#define WIA_ERROR_INVALID_COMMAND ((HRESULT)0x8021000B)
#define WIA_ERROR_INCORRECT_HARDWARE_SETTING ((HRESULT)0x8021000C)
#define WIA_ERROR_DEVICE_LOCKED ((HRESULT)0x8021000D)
#define WIA_ERROR_EXCEPTION_IN_DRIVER ((HRESULT)0x8021000E)
#define WIA_ERROR_INVALID_DRIVER_RESPONSE ((HRESULT)0x8021000F)
#define WIA_S_NO_DEVICE_AVAILABLE ((HRESULT)0x80210015)
// A success code some drivers end a feeder batch with.
#define WIA_STATUS_END_OF_MEDIA ((HRESULT)0x00210001)
