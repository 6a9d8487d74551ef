// Control of the virtual WIA service for tests, benchmarks and the demo: which devices
// exist and how they behave, what the user does in a device's dialog, and property reads
// that return a chosen type or status. Not part of the Windows API.
//
// The device set
//   winsim::reset() installs the set named by the environment variable WINSIM_DEVICES (a
//   JSON file, format below) or, without it, defaultDevices(): one flatbed scanner and one
//   camera with three pictures. setDevices()/loadDevices() replace the set at any time;
//   objects already handed out keep the device they were made for. The environment's set
//   is installed only where the file winsim-virtual-devices lay beside libwinsim.so when it
//   was loaded (the build tree's and the virtual artifact's have it); elsewhere it is empty,
//   and a set installed through these functions is served all the same.
//
// Devices of real drivers (winsim on Linux)
//   EnumDeviceInfo lists the virtual set first, then SANE's scanners and libgphoto2's
//   cameras, as the setting vestaro.drivers / VESTARO_DRIVERS ("virtual,sane,gphoto2", all
//   by default) says; docs/ARCHITECTURE.md ("Drivers on Linux") describes them. Their device
//   IDs are "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\sane:<name>" and "...\gphoto2:<port>";
//   restartDrivers() (control.h) starts them afresh.
//
// Names that fault rules (winsim::Fault::target) and read overrides match
//   - IWiaDevMgr::CreateDevice: the requested device ID.
//   - IEnumWIA_DEV_INFO::Next: the ID of the device the call would return next ("" at the end).
//   - the device information storage (IWiaPropertyStorage::*, IEnumSTATPROPSTG::Next): the
//     device ID.
//   - items (IWiaItem::*, IWiaPropertyStorage::*, IWiaDataTransfer::*, their
//     QueryInterface, IEnumSTATPROPSTG::Next of their storage): the item's full name,
//     "<instance>\Root" for the root and "<instance>\Root\<item name>" for its children,
//     where <instance> is the part of the device ID after its last backslash
//     ("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0000" gives "0000\Root\Flatbed"); devices
//     whose IDs end alike share these names.
//   - IEnumWiaItem::Next: the full name of the item the call would return next ("" at the end).
//   - IWiaDevMgr::* other than CreateDevice: "".
//   - IWiaDataCallback::BandedDataCallback, the progress messages a transfer sends to the
//     caller's callback: the item's full name. A failure rule stands for the callback's
//     answer without calling it; a success rule (S_FALSE) replaces its S_OK.
//   QueryInterface is journaled under the interface it was called through, e.g.
//   "IWiaPropertyStorage::QueryInterface" when a storage is asked for IWiaDataTransfer.
//
// Behaviour worth knowing
//   - ReadMultiple: a property the storage does not have reads as VT_EMPTY; the call returns
//     S_OK when at least one requested property exists and S_FALSE when none does.
//   - WriteMultiple is all or nothing. A read-only property gives E_ACCESSDENIED; an unknown
//     property, a value of another VARTYPE than the property's, or a value outside the
//     property's range, list or flags gives E_INVALIDARG. Either way nothing changes.
//     With `nearestValues` a number outside a range or list is replaced by the nearest valid
//     one and the write succeeds, as some drivers do.
//   - Dependent values follow the driver rules: a new data type brings its nominal depth when
//     the current depth is not valid for it (threshold 1, greyscale 8 or 16, colour 24 or
//     48); a new medium brings its preferred format when the current one is not offered for
//     it; a new resolution keeps the scan area where it was on the glass (position and
//     extent rescaled, rounded, clamped to the glass: the bed, or the feeder's page); a new
//     position shrinks the extent so that the area stays on the glass. Values written in the
//     same call take precedence.
//   - idtGetData renders the current settings into a new file in TMPDIR (or /tmp), created
//     with O_EXCL and mode 0600, and returns its UTF-16 name in task memory;
//     ReleaseStgMedium deletes it. JPEG and BMP files carry at most 8 bits per channel, so
//     16-bit greyscale and 48-bit colour scans are written as 8 and 24 bits per pixel.
//   - DeviceDlg shows no window: the device's dialog script says what the user does.
//
// Progress and cancel (every file transfer, scanner or camera)
//   - With a callback, idtGetData sends IT_MSG_STATUS messages: IT_STATUS_TRANSFER_FROM_DEVICE
//     at 0 % before the file is made, then at the end of every band of rows (as many rows as
//     WIA_IPA_MIN_BUFFER_SIZE, 64 KiB, holds of the file's lines, at least one), its
//     percentage the rows done so far, rounded down, the last at 100; then
//     IT_STATUS_TRANSFER_TO_CLIENT at 100 once the file is complete. The images are made band
//     by band, so the messages come as the rows do. Each message is journaled
//     ("msg=3 status=1 percent=40", the callback's answer as the result), before the
//     idtGetData entry, whose detail says "callback=yes" or "callback=no".
//   - S_FALSE from the callback cancels at once: no further row is made, the file is
//     deleted, idtGetData returns S_FALSE (its detail says "cancelled"). A failure code from
//     the callback stops the transfer the same way and idtGetData returns that code, as the
//     WIA service passes a callback's failure on. Other success codes go on as S_OK does.
//   - `transferMillis` is spread over the bands: a band's message comes no sooner than its
//     share of the time after the transfer began (the device sleeps), with a callback or
//     without. `transferDelayMs` is a delay before anything happens.
//
// The document feeder (a scanner with `feeder`)
//   - The root of every scanner serves WIA_DPS_HORIZONTAL/VERTICAL_BED_SIZE,
//     WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES (read-only: FLAT, with a feeder FEED and
//     DETECT_FEED, with a duplexer DUP), WIA_DPS_DOCUMENT_HANDLING_STATUS (read-only:
//     FLAT_READY; FEED_READY while a side can be fed and the feeder is not jammed, DUP_READY
//     besides when DUPLEX is selected; PAPER_JAM while jammed) and
//     WIA_DPS_DOCUMENT_HANDLING_SELECT (read/write, a flag whose valid bits are FLATBED, with
//     a feeder FEEDER, with a duplexer DUPLEX, FRONT_FIRST and BACK_FIRST; default FLATBED).
//     A selection needs exactly one of FEEDER and FLATBED, DUPLEX only with FEEDER, and
//     FRONT_FIRST or BACK_FIRST (not both) only with DUPLEX; anything else gives E_INVALIDARG.
//   - With a feeder the root also serves WIA_DPS_HORIZONTAL/VERTICAL_SHEET_FEED_SIZE (the
//     largest sheet, read-only), WIA_DPS_PAGES (read/write range 0 to kFeederCapacity, twice
//     that with a duplexer; 0 = ALL_PAGES; default 1) and the page in the feeder, as WIA 1.0
//     has it: WIA_DPS_PAGE_SIZE (read/write list: WIA_PAGE_A4 and WIA_PAGE_LETTER where the
//     sheet-feed size takes them, and WIA_PAGE_CUSTOM; default the first of them, a custom
//     page being the whole sheet) with WIA_DPS_PAGE_WIDTH and WIA_DPS_PAGE_HEIGHT
//     (read/write ranges, kSmallestPage to the sheet-feed size, 1/1000 inch). A named size
//     brings its sides; writing a side that differs from the named size makes the page
//     WIA_PAGE_CUSTOM. Other sizes (A5, Legal) are custom pages.
//   - The root's selection and page are settings of the session, shared with its scan
//     item: the glass a scan is laid out on is the bed with FLATBED and the page with
//     FEEDER. The scan item's position and extent ranges follow that glass, and a new source
//     or a new page while the feeder is selected makes the scan area the whole glass at the
//     item's resolution.
//   - The paper is the device's: every session (CreateDevice) of a device feeds from one
//     stack, which setDevices()/loadDevices()/reset() reload from the FeederSpec
//     (feederState(), loadFeeder()). Sheets are numbered 1, 2, ... in the order they are fed.
//   - With FEEDER selected each idtGetData on the scan item takes the next side: simplex one
//     sheet, duplex the front and then, on the next call, the back of the same sheet
//     (BACK_FIRST the other way round). The journal detail says "sheet=3 front". A batch
//     ends with WIA_ERROR_PAPER_EMPTY (no file): when the feeder is empty, or when it has
//     delivered WIA_DPS_PAGES pages (sides) since it began; a batch begins with a write of
//     the selection or of the page count, and again after it ended. A sheet whose second
//     side the batch does not want leaves the scanner unscanned.
//   - Sheet `jamAt` jams when it is fed: that idtGetData and every later one with the feeder
//     return WIA_ERROR_PAPER_JAM without a file and the status shows PAPER_JAM, until the
//     selection is written again (the user clears the paper path): the jammed sheet is then
//     gone, and feeding goes on with the next.
//   - A cancelled or failed page loses its sheet: the sheet leaves the scanner, a duplex
//     sheet's other side unscanned, and the next feed takes the next sheet.
//   - Each feeder page shows "SHEET <n> FRONT" or "SHEET <n> BACK" in black capitals in the
//     white band above the chart's colour bars (dots of about 0.07 inch on a Letter or A4
//     page, readable at 75 dpi; smaller on narrow pages, none below 1.6 inch); flatbed scans
//     are the chart alone, as they always were.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "winsim.h"

namespace winsim {

// A property value as a device reports it. VT_EMPTY means "the property is missing".
struct PropertyValue {
  VARTYPE vt = VT_EMPTY;
  long long number = 0;             // I1, UI1, I2, UI2, I4, UI4, INT, UINT, I8, UI8, BOOL, ERROR
  double real = 0;                  // R4, R8, DATE
  std::string text;                 // BSTR, LPWSTR, LPSTR (UTF-8)
  GUID guid{};                      // CLSID
  std::vector<long long> elements;  // VT_VECTOR | I1, UI1, I2, UI2, I4, UI4

  static PropertyValue missing() { return {}; }
  static PropertyValue of(VARTYPE type, long long number) {
    PropertyValue value;
    value.vt = type;
    value.number = number;
    return value;
  }
  static PropertyValue i4(LONG number) { return of(VT_I4, number); }
  static PropertyValue bstr(std::string text) {
    PropertyValue value;
    value.vt = VT_BSTR;
    value.text = std::move(text);
    return value;
  }
  static PropertyValue clsid(const GUID& guid) {
    PropertyValue value;
    value.vt = VT_CLSID;
    value.guid = guid;
    return value;
  }
  static PropertyValue vector(VARTYPE elementType, std::vector<long long> elements) {
    PropertyValue value;
    value.vt = static_cast<VARTYPE>(VT_VECTOR | elementType);
    value.elements = std::move(elements);
    return value;
  }
};

enum class DeviceKind { Scanner, Camera };

struct PictureSpec {
  std::string name;  // item name, unique within the camera, no backslash
  LONG width = 320;  // pixels
  LONG height = 240;
  SYSTEMTIME taken{2024, 5, 5, 3, 10, 30, 0, 0};  // WIA_IPA_ITEM_TIME (Friday 2024-05-03)
};

enum class DialogAction { Pick, Cancel, Fail };

// What the user does in one DeviceDlg call.
struct DialogStep {
  DialogAction action = DialogAction::Pick;
  // Pick: the names of the chosen items, in the order the dialog returns them; "*" stands for
  // every child of the root. Empty: the dialog succeeds with zero items.
  std::vector<std::string> items;
  // Fail: the code DeviceDlg returns.
  HRESULT failure = WIA_ERROR_GENERAL_ERROR;
  // Pick: settings the user made in the dialog, written to each chosen item (property ID,
  // VT_I4 value) before it is returned; they must be valid for the item.
  std::vector<std::pair<PROPID, LONG>> settings;
};

// A scanner's automatic document feeder, as it is when the device set is installed.
struct FeederSpec {
  unsigned sheets = 0;   // sheets loaded; 0: the feeder is empty
  bool duplex = false;   // a duplexer scans both sides of each sheet
  unsigned jamAt = 0;    // the sheet (1 for the first one fed) that jams; 0: none does
  LONG sheetWidth = 8500;    // the widest sheet it takes (WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE)
  LONG sheetHeight = 14000;  // the longest (WIA_DPS_VERTICAL_SHEET_FEED_SIZE), 1/1000 inch
  bool backFirst = true;     // the duplexer can scan the back of a sheet first (BACK_FIRST)
};

// The most sheets a feeder holds, and the smallest side of a page it takes (1/1000 inch).
constexpr unsigned kFeederCapacity = 100000;
constexpr LONG kSmallestPage = 1000;

struct DeviceSpec {
  DeviceKind kind = DeviceKind::Scanner;
  std::string id;           // WIA_DIP_DEV_ID, unique in the set
  std::string name;         // WIA_DIP_DEV_NAME
  std::string vendor;       // WIA_DIP_VEND_DESC
  std::string description;  // WIA_DIP_DEV_DESC
  std::string port = "\\\\.\\Usbscan0";  // WIA_DIP_PORT_NAME
  WORD subtype = 0;         // low word of WIA_DIP_DEV_TYPE (the high word is the kind)
  // Device information properties that replace or add to the documented ones, on the
  // information storage and on the root item; PropertyValue::missing() removes one.
  std::vector<std::pair<PROPID, PropertyValue>> info;

  // Formats offered for file transfers; with neither, the device offers only callback
  // transfers (WIA_IPA_TYMED lists TYMED_CALLBACK alone).
  bool jpegFiles = true;
  bool bmpFiles = true;
  bool deepColour = false;     // 16-bit greyscale and 48-bit colour besides 8 and 24
  bool nearestValues = false;  // out-of-range numbers are replaced instead of refused
  bool vanishes = false;       // listed by EnumDeviceInfo, gone when CreateDevice asks for it
  unsigned transferDelayMs = 0;  // idtGetData answers this much later
  // Each file transfer takes this long, spread over its bands of rows (its progress messages).
  unsigned transferMillis = 0;

  // Scanner: the data types offered (WIA_DATA_THRESHOLD, _GRAYSCALE, _COLOR), the resolution
  // as a range or, when `resolutions` is not empty, as a list, and the bed in 1/1000 inch.
  std::vector<LONG> dataTypes{WIA_DATA_THRESHOLD, WIA_DATA_GRAYSCALE, WIA_DATA_COLOR};
  LONG resolutionMin = 50;
  LONG resolutionNominal = 150;
  LONG resolutionMax = 1200;
  LONG resolutionStep = 1;
  std::vector<LONG> resolutions;
  LONG bedWidth = 8500;
  LONG bedHeight = 11693;
  // Scanner: one resolution for both directions, so that writing WIA_IPS_XRES or
  // WIA_IPS_YRES sets both (a write of the two that differ is refused).
  bool linkedResolutions = false;
  // Scanner: a document feeder beside the flatbed, or none; without the flatbed (a sheet-fed
  // scanner) the feeder is the only source and is selected from the start.
  std::optional<FeederSpec> feeder;
  bool flatbed = true;

  // Camera: the pictures, then `generatedPictures` more named "IMG_0001", "IMG_0002", ...
  // (numbered after the listed ones) of the generated size, a minute apart.
  std::vector<PictureSpec> pictures;
  unsigned generatedPictures = 0;
  LONG generatedWidth = 64;
  LONG generatedHeight = 48;

  // The dialog script: each DeviceDlg call takes the next step, the last one repeats. With
  // no step the user accepts what the dialog offers: every picture of a camera, the flatbed
  // item of a scanner.
  std::vector<DialogStep> dialog;
};

// One flatbed scanner ("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0000") and one camera
// ("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0001") with three pictures.
WINSIM_API std::vector<DeviceSpec> defaultDevices();

// Replaces the device set, its dialog scripts and the scripts' progress, and loads every
// feeder afresh. Throws std::invalid_argument for an inconsistent set (duplicate IDs or
// picture names, a listed picture with the name of one of the generated pictures, an empty
// ID, a nominal resolution outside its range, an unknown data type, a bed of zero size or of
// more than 65500 pixels a side at the highest resolution, a picture side outside 1 to 65500,
// a feeder on a camera, a scanner with neither flatbed nor feeder, more than kFeederCapacity
// sheets, a sheet side below kSmallestPage or above 65500 pixels at the highest resolution).
WINSIM_API void setDevices(std::vector<DeviceSpec> devices);
WINSIM_API std::vector<DeviceSpec> devices();

// Device sets as JSON. Either {"devices": [...]} or the array itself; each device:
//   {"kind": "scanner" | "camera", "id": "...", "name": "...", "vendor": "...",
//    "description": "...", "port": "...", "subtype": 0,
//    "info": {"7": null, "5": {"type": "BSTR", "value": "x"}},  // property ID -> value
//    "formats": ["jpeg", "bmp"],          // file formats; [] for neither
//    "deepColour": false, "nearestValues": false, "vanishes": false,
//    "transferDelayMs": 0, "transferMillis": 0,
//    "feeder": {"sheets": 0, "duplex": false, "jamAt": 0,          // scanners only
//               "sheetSize": {"width": 8500, "height": 14000}},
//    "dataTypes": ["threshold", "grayscale", "color"],
//    "resolution": {"min": 50, "nominal": 150, "max": 1200, "step": 1},
//    "resolutions": [75, 150, 300],        // a list instead of the range
//    "bed": {"width": 8500, "height": 11693},
//    "pictures": [{"name": "IMG_0001", "width": 320, "height": 240,
//                  "taken": "2024-05-03T10:30:00"}],
//    "generatedPictures": 100000, "generatedSize": [8, 8],
//    "dialog": [{"action": "pick", "items": ["IMG_0001"], "settings": {"6147": 300}},
//               {"action": "cancel"}, {"action": "fail", "code": "0x80210006"}]}
// Values: {"type": T, "value": V} with T one of EMPTY, NULL, I1, UI1, I2, UI2, I4, UI4, INT,
// UINT, I8, UI8, BOOL, ERROR, R4, R8, DATE, BSTR, LPWSTR, LPSTR, CLSID ("{...}") or
// "VECTOR|<integer type>" (V an array), and null for a missing property. Unknown keys and
// a key given twice in one object are errors, as is a "taken" time that is no date of the
// calendar (2024-02-31) or lies before 1601. Throws std::invalid_argument naming the
// offending place.
WINSIM_API std::vector<DeviceSpec> parseDevices(const std::string& json);
WINSIM_API void loadDevices(const std::string& json);          // setDevices(parseDevices())
WINSIM_API void loadDevicesFile(const std::string& path);      // throws for unreadable files

// Replaces the dialog script of one device and starts it from its first step.
WINSIM_API void setDialogScript(const std::string& deviceId, std::vector<DialogStep> steps);

// Makes ReadMultiple on `target` (a device ID or an item's full name; "" for every storage)
// answer for `propid` with `value`, or, when `status` is a failure code, fail as a whole
// with that code. An override's success status is the call's result, S_OK included, so
// {status S_OK, value VT_EMPTY} reads a property that exists without a value, where a
// property the storage lacks makes a read of it alone return S_FALSE. The latest override
// for a target and property wins.
struct ReadOverride {
  std::string target;
  PROPID propid = 0;
  HRESULT status = S_OK;
  bool replaceValue = true;  // false: keep the real value (only the status changes)
  PropertyValue value;
};
WINSIM_API void overrideRead(const ReadOverride& rule);
WINSIM_API void clearReadOverrides();

// The paper in a scanner's feeder now. It belongs to the device, shared by every session of
// it, and starts again from the device set's FeederSpec whenever a set is installed.
struct FeederState {
  unsigned sheetsLeft = 0;   // in the tray
  unsigned sheetsFed = 0;    // taken from it: scanned, jammed or ejected
  bool jammed = false;
  bool sideWaiting = false;  // a duplex sheet in the scanner with its second side to come
};
// Both throw std::invalid_argument for a device of the current set without a feeder.
WINSIM_API FeederState feederState(const std::string& deviceId);
// Puts more sheets in the tray, numbered after those already fed.
WINSIM_API void loadFeeder(const std::string& deviceId, unsigned sheets);

// The full item name of a device's root ("" item name) or of one of its children.
WINSIM_API std::string fullItemName(const std::string& deviceId, const std::string& itemName);

}  // namespace winsim
