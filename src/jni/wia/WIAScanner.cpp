// Natives of kordin.vestaro.wia.WIAScanner: one page scanned unattended with the host's
// settings, or the page chosen in the scanner's dialog, into a file handed to the host; a
// batch of pages from the flatbed or the document feeder; the scanner's capabilities.
#include <vector>

#include "DialogItems.h"
#include "Handles.h"
#include "NextElement.h"
#include "RequireOut.h"
#include "ScanBatch.h"
#include "ScanItem.h"
#include "ScannerCapabilities.h"
#include "WIAUtils.h"

namespace {

// The six int fields of a WIAScanner; -1 in x, y, width or height leaves the device's value.
struct ScanSettings {
  jint bitDepth = 8;
  jint resolution = 150;
  jint x = -1, y = -1, width = -1, height = -1;
};

constexpr ULONG kMaxScanProperties = 8;

// The data type and depth (bits per pixel) for a bitDepth: 1 or -1 black and white (depth 1),
// 8 and 16 colour with that many bits per channel (24, 48), -8 and -16 grey (8, 16); any
// other value colour with depth 8.
void scanModeOf(jint bitDepth, LONG* dataType, LONG* depth) {
  switch (bitDepth) {
    case 1:
    case -1:
      *dataType = WIA_DATA_THRESHOLD, *depth = 1;
      break;
    case 8:
      *dataType = WIA_DATA_COLOR, *depth = 24;
      break;
    case 16:
      *dataType = WIA_DATA_COLOR, *depth = 48;
      break;
    case -8:
      *dataType = WIA_DATA_GRAYSCALE, *depth = 8;
      break;
    case -16:
      *dataType = WIA_DATA_GRAYSCALE, *depth = 16;
      break;
    default:  // colour, with a depth of 8 bits per pixel
      *dataType = WIA_DATA_COLOR, *depth = 8;
      break;
  }
}

// Fills the scan properties, all VT_I4, and returns their number (4 to 8): the resolution in
// both directions, the data type and the depth, then the position and extent fields that are
// not -1, packed in the order x, y, width, height. The resolution is written even when it is -1.
ULONG buildScanProperties(const ScanSettings& settings, PROPSPEC specs[kMaxScanProperties],
                          PROPVARIANT values[kMaxScanProperties]) {
  LONG dataType = 0, depth = 0;
  scanModeOf(settings.bitDepth, &dataType, &depth);
  const struct {
    PROPID id;
    LONG value;
    bool present;
  } properties[kMaxScanProperties] = {
      {WIA_IPS_XRES, settings.resolution, true},
      {WIA_IPS_YRES, settings.resolution, true},
      {WIA_IPA_DATATYPE, dataType, true},
      {WIA_IPA_DEPTH, depth, true},
      {WIA_IPS_XPOS, settings.x, settings.x != -1},
      {WIA_IPS_YPOS, settings.y, settings.y != -1},
      {WIA_IPS_XEXTENT, settings.width, settings.width != -1},
      {WIA_IPS_YEXTENT, settings.height, settings.height != -1},
  };
  ULONG count = 0;
  for (const auto& property : properties) {
    if (!property.present) continue;
    specs[count].ulKind = PRSPEC_PROPID;
    specs[count].propid = property.id;
    PropVariantInit(&values[count]);
    values[count].vt = VT_I4;
    values[count].lVal = property.value;
    ++count;
  }
  return count;
}

ScanSettings scanSettingsOf(JNIEnv* env, jobject scanner) {
  ScanSettings settings;
  settings.bitDepth = env->GetIntField(scanner, bindingCache.bitDepthField);
  settings.resolution = env->GetIntField(scanner, bindingCache.resolutionField);
  settings.x = env->GetIntField(scanner, bindingCache.xField);
  settings.y = env->GetIntField(scanner, bindingCache.yField);
  settings.width = env->GetIntField(scanner, bindingCache.widthField);
  settings.height = env->GetIntField(scanner, bindingCache.heightField);
  return settings;
}

// The (property id, value) pairs of a host array; null holds none. False after reporting an
// array whose last id has no value, or with the array's error pending.
bool propertyWritesOf(JNIEnv* env, jintArray pairs, PropertyWrites* writes) {
  if (!pairs) return true;
  const jsize length = env->GetArrayLength(pairs);
  if (length % 2 != 0) {
    THROW_HRESULT(env, E_INVALIDARG);  // scan pages: a property without its value
    return false;
  }
  std::vector<jint> numbers(static_cast<size_t>(length));
  env->GetIntArrayRegion(pairs, 0, length, numbers.data());
  if (env->ExceptionCheck()) return false;
  for (jsize i = 0; i < length; i += 2) writes->add(static_cast<PROPID>(numbers[i]), numbers[i + 1]);
  return true;
}

}  // namespace

// A failing dialog, child enumeration or fetch is reported; a cancelled dialog (S_FALSE), a
// dialog that returns no item and a scanner without items end the call quietly.
extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIAScanner__1transfer(JNIEnv* env, jobject self,
                                                                                jlong deviceHandle,
                                                                                jboolean dialog) {
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  ComPtr<IWiaItem> root;
  if (!LOOK_UP_HANDLE(env, deviceHandle, IID_IWiaItem, root)) return;

  if (dialog) {
    // The first item chosen, with the settings made in the dialog; the others are released.
    DialogItems chosen;
    const HRESULT shown = root->DeviceDlg(nullptr, 0, WIA_INTENT_NONE, chosen.countSlot(), chosen.arraySlot());
    if (FAILED(shown)) {
      THROW_HRESULT(env, shown);  // scanner: dialog failed
      return;
    }
    if (shown != S_OK) return;  // cancelled (S_FALSE)
    ComPtr<IWiaItem> first = chosen.size() > 0 ? chosen.take(0) : ComPtr<IWiaItem>();
    // The native ends with the transfer: whatever it leaves pending is what the host sees.
    if (first) (void)transferItem(env, self, std::move(first), 0, nullptr, nullptr);
    return;
  }

  ComPtr<IEnumWiaItem> children;
  HRESULT hr = requireOutOnSuccess(root->EnumChildItems(children.put()), children);
  if (FAILED(hr)) {
    THROW_HRESULT(env, hr);  // scanner: no item list
    return;
  }
  if (hr != S_OK) return;
  ComPtr<IWiaItem> first;
  hr = nextElement(children.get(), first);
  if (FAILED(hr)) {
    THROW_HRESULT(env, hr);  // scanner: first item not fetched
    return;
  }
  if (hr != S_OK || !first) return;  // no item (S_FALSE)

  PROPSPEC specs[kMaxScanProperties];
  PROPVARIANT values[kMaxScanProperties];
  const ULONG count = buildScanProperties(scanSettingsOf(env, self), specs, values);
  // The native ends with the transfer: whatever it leaves pending is what the host sees.
  (void)transferItem(env, self, std::move(first), count, specs, values);
}

extern "C" JNIEXPORT jintArray JNICALL Java_kordin_vestaro_wia_WIAScanner__1capabilities(JNIEnv* env, jobject,
                                                                                        jlong deviceHandle) {
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  ComPtr<IWiaItem> root, item;
  if (!lookUpScanItem(env, deviceHandle, root, item)) return nullptr;
  return readScannerCapabilities(env, root.get(), item.get());
}

// A negative page count, or a write without its value, is reported before the device is used.
extern "C" JNIEXPORT jint JNICALL Java_kordin_vestaro_wia_WIAScanner__1scanPages(JNIEnv* env, jobject self,
                                                                                jlong deviceHandle,
                                                                                jintArray rootWrites,
                                                                                jintArray itemWrites,
                                                                                jint maxPages) {
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  if (maxPages < 0) {
    THROW_HRESULT(env, E_INVALIDARG);  // scan pages: a negative page count
    return 0;
  }
  PropertyWrites rootProperties, itemProperties;
  if (!propertyWritesOf(env, rootWrites, &rootProperties) || !propertyWritesOf(env, itemWrites, &itemProperties)) {
    return 0;
  }
  ComPtr<IWiaItem> root, item;
  if (!lookUpScanItem(env, deviceHandle, root, item)) return 0;
  return scanPageBatch(env, self, root.get(), std::move(item), rootProperties, itemProperties, maxPages);
}
