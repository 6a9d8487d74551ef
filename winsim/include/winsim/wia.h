// WIA 1.0: the device manager, items, property storages and data transfer, with the
// SDK's interface layouts (method order), identifiers and constants.
#pragma once

#include "propidl.h"

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

// Device types (STI): the high word of WIA_DIP_DEV_TYPE.
#define StiDeviceTypeDefault 0
#define StiDeviceTypeScanner 1
#define StiDeviceTypeDigitalCamera 2
#define StiDeviceTypeStreamingVideo 3
#define GET_STIDEVICE_TYPE(dwDevType) HIWORD(dwDevType)
#define GET_STIDEVICE_SUBTYPE(dwDevType) LOWORD(dwDevType)
#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xffff))
#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xffff))

#define WIA_DEVINFO_ENUM_LOCAL 0x00000010
#define WIA_SELECT_DEVICE_NODEFAULT 0x00000001
#define WIA_DEVICE_DIALOG_SINGLE_IMAGE 0x00000002
#define WIA_DEVICE_DIALOG_USE_COMMON_UI 0x00000004

// Item types (IWiaItem::GetItemType, WIA_IPA_ITEM_FLAGS).
#define WiaItemTypeFree 0x00000000
#define WiaItemTypeImage 0x00000001
#define WiaItemTypeFile 0x00000002
#define WiaItemTypeFolder 0x00000004
#define WiaItemTypeRoot 0x00000008
#define WiaItemTypeAnalyze 0x00000010
#define WiaItemTypeAudio 0x00000020
#define WiaItemTypeDevice 0x00000040
#define WiaItemTypeDeleted 0x00000080
#define WiaItemTypeDisconnected 0x00000100
#define WiaItemTypeHPanorama 0x00000200
#define WiaItemTypeVPanorama 0x00000400
#define WiaItemTypeBurst 0x00000800
#define WiaItemTypeStorage 0x00001000
#define WiaItemTypeTransfer 0x00002000
#define WiaItemTypeGenerated 0x00004000
#define WiaItemTypeHasAttachments 0x00008000
#define WiaItemTypeVideo 0x00010000
#define WiaItemTypeRemoved 0x80000000

// Property access and valid-value kinds (GetPropertyAttributes flags).
#define WIA_PROP_READ 0x01
#define WIA_PROP_WRITE 0x02
#define WIA_PROP_RW (WIA_PROP_READ | WIA_PROP_WRITE)
#define WIA_PROP_SYNC_REQUIRED 0x04
#define WIA_PROP_NONE 0x08
#define WIA_PROP_RANGE 0x10
#define WIA_PROP_LIST 0x20
#define WIA_PROP_FLAG 0x40
#define WIA_PROP_CACHEABLE 0x10000
#define WIA_ITEM_CAN_BE_DELETED 0x80
#define WIA_ITEM_READ WIA_PROP_READ
#define WIA_ITEM_WRITE WIA_PROP_WRITE
#define WIA_ITEM_RD (WIA_ITEM_READ | WIA_ITEM_CAN_BE_DELETED)
#define WIA_ITEM_RWD (WIA_ITEM_READ | WIA_ITEM_WRITE | WIA_ITEM_CAN_BE_DELETED)

// Layout of the valid-value vectors that GetPropertyAttributes returns.
#define WIA_RANGE_MIN 0
#define WIA_RANGE_NOM 1
#define WIA_RANGE_MAX 2
#define WIA_RANGE_STEP 3
#define WIA_RANGE_NUM_ELEMS 4
#define WIA_LIST_COUNT 0
#define WIA_LIST_NOM 1
#define WIA_LIST_VALUES 2
#define WIA_LIST_NUM_ELEMS 2
#define WIA_FLAG_NOM 0
#define WIA_FLAG_VALUES 1
#define WIA_FLAG_NUM_ELEMS 2

// Values of WIA_IPA_DATATYPE.
#define WIA_DATA_THRESHOLD 0
#define WIA_DATA_DITHER 1
#define WIA_DATA_GRAYSCALE 2
#define WIA_DATA_COLOR 3
#define WIA_DATA_COLOR_THRESHOLD 4
#define WIA_DATA_COLOR_DITHER 5

// Values of WIA_IPA_COMPRESSION.
#define WIA_COMPRESSION_NONE 0
#define WIA_COMPRESSION_BI_RLE4 1
#define WIA_COMPRESSION_BI_RLE8 2
#define WIA_COMPRESSION_G3 3
#define WIA_COMPRESSION_G4 4
#define WIA_COMPRESSION_JPEG 5

// Intents (DeviceDlg, WIA_IPS_CUR_INTENT).
#define WIA_INTENT_NONE 0x00000000
#define WIA_INTENT_IMAGE_TYPE_COLOR 0x00000001
#define WIA_INTENT_IMAGE_TYPE_GRAYSCALE 0x00000002
#define WIA_INTENT_IMAGE_TYPE_TEXT 0x00000004
#define WIA_INTENT_IMAGE_TYPE_MASK 0x0000000F
#define WIA_INTENT_MINIMIZE_SIZE 0x00010000
#define WIA_INTENT_MAXIMIZE_QUALITY 0x00020000
#define WIA_INTENT_BEST_PREVIEW 0x00040000
#define WIA_INTENT_SIZE_MASK 0x000F0000

// Values of WIA_IPS_PHOTOMETRIC_INTERP.
#define WIA_PHOTO_WHITE_1 0
#define WIA_PHOTO_WHITE_0 1

// Media of WIA_IPA_TYMED beyond the storage media of STGMEDIUM.
#define TYMED_CALLBACK 128
#define TYMED_MULTIPAGE_FILE 256
#define TYMED_MULTIPAGE_CALLBACK 512

// Messages and status flags of IWiaDataCallback::BandedDataCallback.
#define IT_MSG_DATA_HEADER 0x0001
#define IT_MSG_DATA 0x0002
#define IT_MSG_STATUS 0x0003
#define IT_MSG_TERMINATION 0x0004
#define IT_MSG_NEW_PAGE 0x0005
#define IT_STATUS_TRANSFER_FROM_DEVICE 0x0001
#define IT_STATUS_PROCESSING_DATA 0x0002
#define IT_STATUS_TRANSFER_TO_CLIENT 0x0004

// Values of WIA_IPS_ORIENTATION.
#define PORTRAIT 0
#define LANSCAPE 1
#define ROT180 2
#define ROT270 3

// Bits of WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES.
#define FEED 0x01
#define FLAT 0x02
#define DUP 0x04
#define DETECT_FLAT 0x08
#define DETECT_SCAN 0x10
#define DETECT_FEED 0x20
#define DETECT_DUP 0x40
#define DETECT_FEED_AVAIL 0x80
#define DETECT_DUP_AVAIL 0x100

// Bits of WIA_DPS_DOCUMENT_HANDLING_STATUS.
#define FEED_READY 0x01
#define FLAT_READY 0x02
#define DUP_READY 0x04
#define FLAT_COVER_UP 0x08
#define PATH_COVER_UP 0x10
#define PAPER_JAM 0x20

// Bits of WIA_DPS_DOCUMENT_HANDLING_SELECT.
#define FEEDER 0x001
#define FLATBED 0x002
#define DUPLEX 0x004
#define FRONT_FIRST 0x008
#define BACK_FIRST 0x010
#define FRONT_ONLY 0x020
#define BACK_ONLY 0x040
#define NEXT_PAGE 0x080
#define PREFEED 0x100
#define AUTO_ADVANCE 0x200

// WIA_DPS_PAGES: every page the feeder holds.
#define ALL_PAGES 0

// Values of WIA_DPS_PAGE_SIZE (WIA 1.0); the page's size in 1/1000 inch, portrait.
#define WIA_PAGE_A4 0      // 8267 x 11692
#define WIA_PAGE_LETTER 1  // 8500 x 11000
#define WIA_PAGE_CUSTOM 2  // WIA_DPS_PAGE_WIDTH x WIA_DPS_PAGE_HEIGHT

// Property identifiers.
#define WIA_RESERVED_FOR_NEW_PROPS 1024
#define WIA_DIP_FIRST 2
#define WIA_DPA_FIRST (WIA_DIP_FIRST + WIA_RESERVED_FOR_NEW_PROPS)
#define WIA_DPC_FIRST (WIA_DPA_FIRST + WIA_RESERVED_FOR_NEW_PROPS)
#define WIA_DPS_FIRST (WIA_DPC_FIRST + WIA_RESERVED_FOR_NEW_PROPS)
#define WIA_IPA_FIRST (WIA_DPS_FIRST + WIA_RESERVED_FOR_NEW_PROPS)
#define WIA_IPC_FIRST (WIA_IPA_FIRST + WIA_RESERVED_FOR_NEW_PROPS)
#define WIA_IPS_FIRST (WIA_IPC_FIRST + WIA_RESERVED_FOR_NEW_PROPS)
#define WIA_DIP_DEV_ID 2
#define WIA_DIP_VEND_DESC 3
#define WIA_DIP_DEV_DESC 4
#define WIA_DIP_DEV_TYPE 5
#define WIA_DIP_PORT_NAME 6
#define WIA_DIP_DEV_NAME 7
#define WIA_DIP_SERVER_NAME 8
#define WIA_DIP_REMOTE_DEV_ID 9
#define WIA_DIP_UI_CLSID 10
#define WIA_DIP_HW_CONFIG 11
#define WIA_DIP_BAUDRATE 12
#define WIA_DIP_STI_GEN_CAPABILITIES 13
#define WIA_DIP_WIA_VERSION 14
#define WIA_DIP_DRIVER_VERSION 15
#define WIA_DPA_FIRMWARE_VERSION 1026
#define WIA_DPA_CONNECT_STATUS 1027
#define WIA_DPA_DEVICE_TIME 1028
#define WIA_DPC_PICTURES_TAKEN 2050
#define WIA_DPC_PICTURES_REMAINING 2051
#define WIA_DPC_EXPOSURE_MODE 2052
#define WIA_DPC_EXPOSURE_COMP 2053
#define WIA_DPC_EXPOSURE_TIME 2054
#define WIA_DPC_FNUMBER 2055
#define WIA_DPC_FLASH_MODE 2056
#define WIA_DPC_FOCUS_MODE 2057
#define WIA_DPC_FOCUS_MANUAL_DIST 2058
#define WIA_DPC_ZOOM_POSITION 2059
#define WIA_DPC_PAN_POSITION 2060
#define WIA_DPC_TILT_POSITION 2061
#define WIA_DPC_TIMER_MODE 2062
#define WIA_DPC_TIMER_VALUE 2063
#define WIA_DPC_POWER_MODE 2064
#define WIA_DPC_BATTERY_STATUS 2065
#define WIA_DPC_THUMB_WIDTH 2066
#define WIA_DPC_THUMB_HEIGHT 2067
#define WIA_DPC_PICT_WIDTH 2068
#define WIA_DPC_PICT_HEIGHT 2069
#define WIA_DPC_DIMENSION 2070
#define WIA_DPC_COMPRESSION_SETTING 2071
#define WIA_DPC_FOCUS_METERING 2072
#define WIA_DPC_TIMELAPSE_INTERVAL 2073
#define WIA_DPC_TIMELAPSE_NUMBER 2074
#define WIA_DPC_BURST_INTERVAL 2075
#define WIA_DPC_BURST_NUMBER 2076
#define WIA_DPC_EFFECT_MODE 2077
#define WIA_DPC_DIGITAL_ZOOM 2078
#define WIA_DPC_SHARPNESS 2079
#define WIA_DPC_CONTRAST 2080
#define WIA_DPC_CAPTURE_MODE 2081
#define WIA_DPC_CAPTURE_DELAY 2082
#define WIA_DPC_EXPOSURE_INDEX 2083
#define WIA_DPC_EXPOSURE_METERING_MODE 2084
#define WIA_DPC_FOCUS_METERING_MODE 2085
#define WIA_DPC_FOCUS_DISTANCE 2086
#define WIA_DPC_FOCAL_LENGTH 2087
#define WIA_DPC_RGB_GAIN 2088
#define WIA_DPC_WHITE_BALANCE 2089
#define WIA_DPC_UPLOAD_URL 2090
#define WIA_DPC_ARTIST 2091
#define WIA_DPC_COPYRIGHT_INFO 2092
#define WIA_DPS_HORIZONTAL_BED_SIZE 3074
#define WIA_DPS_VERTICAL_BED_SIZE 3075
#define WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE 3076
#define WIA_DPS_VERTICAL_SHEET_FEED_SIZE 3077
#define WIA_DPS_SHEET_FEEDER_REGISTRATION 3078
#define WIA_DPS_HORIZONTAL_BED_REGISTRATION 3079
#define WIA_DPS_VERTICAL_BED_REGISTRATION 3080
#define WIA_DPS_PLATEN_COLOR 3081
#define WIA_DPS_PAD_COLOR 3082
#define WIA_DPS_FILTER_SELECT 3083
#define WIA_DPS_DITHER_SELECT 3084
#define WIA_DPS_DITHER_PATTERN_DATA 3085
#define WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES 3086
#define WIA_DPS_DOCUMENT_HANDLING_STATUS 3087
#define WIA_DPS_DOCUMENT_HANDLING_SELECT 3088
#define WIA_DPS_DOCUMENT_HANDLING_CAPACITY 3089
#define WIA_DPS_OPTICAL_XRES 3090
#define WIA_DPS_OPTICAL_YRES 3091
#define WIA_DPS_ENDORSER_CHARACTERS 3092
#define WIA_DPS_ENDORSER_STRING 3093
#define WIA_DPS_SCAN_AHEAD_PAGES 3094
#define WIA_DPS_MAX_SCAN_TIME 3095
#define WIA_DPS_PAGES 3096
#define WIA_DPS_PAGE_SIZE 3097
#define WIA_DPS_PAGE_WIDTH 3098
#define WIA_DPS_PAGE_HEIGHT 3099
#define WIA_DPS_PREVIEW 3100
#define WIA_DPS_TRANSPARENCY 3101
#define WIA_DPS_TRANSPARENCY_SELECT 3102
#define WIA_DPS_SHOW_PREVIEW_CONTROL 3103
#define WIA_DPS_MIN_HORIZONTAL_SHEET_FEED_SIZE 3104
#define WIA_DPS_MIN_VERTICAL_SHEET_FEED_SIZE 3105
#define WIA_IPA_ITEM_NAME 4098
#define WIA_IPA_FULL_ITEM_NAME 4099
#define WIA_IPA_ITEM_TIME 4100
#define WIA_IPA_ITEM_FLAGS 4101
#define WIA_IPA_ACCESS_RIGHTS 4102
#define WIA_IPA_DATATYPE 4103
#define WIA_IPA_DEPTH 4104
#define WIA_IPA_PREFERRED_FORMAT 4105
#define WIA_IPA_FORMAT 4106
#define WIA_IPA_COMPRESSION 4107
#define WIA_IPA_TYMED 4108
#define WIA_IPA_CHANNELS_PER_PIXEL 4109
#define WIA_IPA_BITS_PER_CHANNEL 4110
#define WIA_IPA_PLANAR 4111
#define WIA_IPA_PIXELS_PER_LINE 4112
#define WIA_IPA_BYTES_PER_LINE 4113
#define WIA_IPA_NUMBER_OF_LINES 4114
#define WIA_IPA_GAMMA_CURVES 4115
#define WIA_IPA_ITEM_SIZE 4116
#define WIA_IPA_COLOR_PROFILE 4117
#define WIA_IPA_MIN_BUFFER_SIZE 4118
#define WIA_IPA_BUFFER_SIZE 4118
#define WIA_IPA_REGION_TYPE 4119
#define WIA_IPA_ICM_PROFILE_NAME 4120
#define WIA_IPA_APP_COLOR_MAPPING 4121
#define WIA_IPA_PROP_STREAM_COMPAT_ID 4122
#define WIA_IPA_FILENAME_EXTENSION 4123
#define WIA_IPA_SUPPRESS_PROPERTY_PAGE 4124
#define WIA_IPC_THUMBNAIL 5122
#define WIA_IPC_THUMB_WIDTH 5123
#define WIA_IPC_THUMB_HEIGHT 5124
#define WIA_IPC_AUDIO_AVAILABLE 5125
#define WIA_IPC_AUDIO_DATA_FORMAT 5126
#define WIA_IPC_AUDIO_DATA 5127
#define WIA_IPC_NUM_PICT_PER_ROW 5128
#define WIA_IPC_SEQUENCE 5129
#define WIA_IPC_TIMEDELAY 5130
#define WIA_IPS_CUR_INTENT 6146
#define WIA_IPS_XRES 6147
#define WIA_IPS_YRES 6148
#define WIA_IPS_XPOS 6149
#define WIA_IPS_YPOS 6150
#define WIA_IPS_XEXTENT 6151
#define WIA_IPS_YEXTENT 6152
#define WIA_IPS_PHOTOMETRIC_INTERP 6153
#define WIA_IPS_BRIGHTNESS 6154
#define WIA_IPS_CONTRAST 6155
#define WIA_IPS_ORIENTATION 6156
#define WIA_IPS_ROTATION 6157
#define WIA_IPS_MIRROR 6158
#define WIA_IPS_THRESHOLD 6159
#define WIA_IPS_INVERT 6160
#define WIA_IPS_WARM_UP_TIME 6161
