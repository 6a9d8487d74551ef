// Property values: conversion to caller-owned PROPVARIANTs, GUID text, property names.
#include "Values.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "runtime/Internal.h"
#include "winsim/control.h"

namespace winsim::wia {
namespace {

template <typename Element>
bool copyElements(const std::vector<long long>& source, Element** target) {
  *target = static_cast<Element*>(CoTaskMemAlloc(source.size() * sizeof(Element)));
  if (!*target) return false;
  for (size_t i = 0; i < source.size(); ++i) (*target)[i] = static_cast<Element>(source[i]);
  return true;
}

LPSTR taskMemNarrow(const std::string& text) {
  auto* copy = static_cast<LPSTR>(CoTaskMemAlloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

struct NamedId {
  PROPID id;
  const char* name;
};

// The platform's names for the properties the virtual devices carry.
constexpr NamedId kPropertyNames[] = {
    {WIA_DIP_DEV_ID, "Unique Device ID"},
    {WIA_DIP_VEND_DESC, "Manufacturer"},
    {WIA_DIP_DEV_DESC, "Description"},
    {WIA_DIP_DEV_TYPE, "Type"},
    {WIA_DIP_PORT_NAME, "Port"},
    {WIA_DIP_DEV_NAME, "Name"},
    {WIA_DIP_SERVER_NAME, "Server"},
    {WIA_DIP_REMOTE_DEV_ID, "Remote Device ID"},
    {WIA_DIP_UI_CLSID, "UI Class ID"},
    {WIA_DIP_HW_CONFIG, "Hardware Configuration"},
    {WIA_DIP_BAUDRATE, "BaudRate"},
    {WIA_DIP_STI_GEN_CAPABILITIES, "STI Generic Capabilities"},
    {WIA_DIP_WIA_VERSION, "WIA Version"},
    {WIA_DIP_DRIVER_VERSION, "Driver Version"},
    {WIA_DPA_FIRMWARE_VERSION, "Firmware Version"},
    {WIA_DPA_CONNECT_STATUS, "Connect Status"},
    {WIA_DPA_DEVICE_TIME, "Device Time"},
    {WIA_DPC_PICTURES_TAKEN, "Pictures Taken"},
    {WIA_DPC_PICTURES_REMAINING, "Pictures Remaining"},
    {WIA_DPC_BATTERY_STATUS, "Battery Status"},
    {WIA_DPC_THUMB_WIDTH, "Thumbnail Width"},
    {WIA_DPC_THUMB_HEIGHT, "Thumbnail Height"},
    {WIA_DPC_PICT_WIDTH, "Picture Width"},
    {WIA_DPC_PICT_HEIGHT, "Picture Height"},
    {WIA_DPS_HORIZONTAL_BED_SIZE, "Horizontal Bed Size"},
    {WIA_DPS_VERTICAL_BED_SIZE, "Vertical Bed Size"},
    {WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, "Horizontal Sheet Feed Size"},
    {WIA_DPS_VERTICAL_SHEET_FEED_SIZE, "Vertical Sheet Feed Size"},
    {WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES, "Document Handling Capabilities"},
    {WIA_DPS_DOCUMENT_HANDLING_STATUS, "Document Handling Status"},
    {WIA_DPS_DOCUMENT_HANDLING_SELECT, "Document Handling Select"},
    {WIA_DPS_OPTICAL_XRES, "Horizontal Optical Resolution"},
    {WIA_DPS_OPTICAL_YRES, "Vertical Optical Resolution"},
    {WIA_DPS_MAX_SCAN_TIME, "Max Scan Time"},
    {WIA_DPS_PAGES, "Pages"},
    {WIA_DPS_PAGE_SIZE, "Page Size"},
    {WIA_DPS_PAGE_WIDTH, "Page Width"},
    {WIA_DPS_PAGE_HEIGHT, "Page Height"},
    {WIA_IPA_ITEM_NAME, "Item Name"},
    {WIA_IPA_FULL_ITEM_NAME, "Full Item Name"},
    {WIA_IPA_ITEM_TIME, "Item Time Stamp"},
    {WIA_IPA_ITEM_FLAGS, "Item Flags"},
    {WIA_IPA_ACCESS_RIGHTS, "Access Rights"},
    {WIA_IPA_DATATYPE, "Data Type"},
    {WIA_IPA_DEPTH, "Bits Per Pixel"},
    {WIA_IPA_PREFERRED_FORMAT, "Preferred Format"},
    {WIA_IPA_FORMAT, "Format"},
    {WIA_IPA_COMPRESSION, "Compression"},
    {WIA_IPA_TYMED, "Media Type"},
    {WIA_IPA_CHANNELS_PER_PIXEL, "Channels Per Pixel"},
    {WIA_IPA_BITS_PER_CHANNEL, "Bits Per Channel"},
    {WIA_IPA_PLANAR, "Planar"},
    {WIA_IPA_PIXELS_PER_LINE, "Pixels Per Line"},
    {WIA_IPA_BYTES_PER_LINE, "Bytes Per Line"},
    {WIA_IPA_NUMBER_OF_LINES, "Number of Lines"},
    {WIA_IPA_ITEM_SIZE, "Item Size"},
    {WIA_IPA_MIN_BUFFER_SIZE, "Buffer Size"},
    {WIA_IPA_FILENAME_EXTENSION, "Filename extension"},
    {WIA_IPC_THUMBNAIL, "Thumbnail Data"},
    {WIA_IPC_THUMB_WIDTH, "Thumbnail Width"},
    {WIA_IPC_THUMB_HEIGHT, "Thumbnail Height"},
    {WIA_IPS_CUR_INTENT, "Current Intent"},
    {WIA_IPS_XRES, "Horizontal Resolution"},
    {WIA_IPS_YRES, "Vertical Resolution"},
    {WIA_IPS_XPOS, "Horizontal Start Position"},
    {WIA_IPS_YPOS, "Vertical Start Position"},
    {WIA_IPS_XEXTENT, "Horizontal Extent"},
    {WIA_IPS_YEXTENT, "Vertical Extent"},
    {WIA_IPS_PHOTOMETRIC_INTERP, "Photometric Interpretation"},
    {WIA_IPS_BRIGHTNESS, "Brightness"},
    {WIA_IPS_CONTRAST, "Contrast"},
    {WIA_IPS_ORIENTATION, "Orientation"},
    {WIA_IPS_THRESHOLD, "Threshold"},
    {WIA_IPS_WARM_UP_TIME, "Lamp Warm up Time"},
};

struct NamedType {
  const char* name;
  VARTYPE vt;
};
constexpr NamedType kTypeNames[] = {
    {"EMPTY", VT_EMPTY}, {"NULL", VT_NULL}, {"I1", VT_I1},       {"UI1", VT_UI1},
    {"I2", VT_I2},       {"UI2", VT_UI2},   {"I4", VT_I4},       {"UI4", VT_UI4},
    {"INT", VT_INT},     {"UINT", VT_UINT}, {"I8", VT_I8},       {"UI8", VT_UI8},
    {"BOOL", VT_BOOL},   {"ERROR", VT_ERROR}, {"R4", VT_R4},     {"R8", VT_R8},
    {"DATE", VT_DATE},   {"BSTR", VT_BSTR}, {"LPWSTR", VT_LPWSTR}, {"LPSTR", VT_LPSTR},
    {"CLSID", VT_CLSID},
};

// The element types of the vectors the service's properties hold.
constexpr VARTYPE kVectorElements[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4};

bool isVectorElement(VARTYPE element) {
  return std::find(std::begin(kVectorElements), std::end(kVectorElements), element) != std::end(kVectorElements);
}

}  // namespace

HRESULT toPropVariant(const PropertyValue& value, PROPVARIANT* out) {
  PropVariantInit(out);
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_I1:
      out->cVal = static_cast<CHAR>(value.number);
      break;
    case VT_UI1:
      out->bVal = static_cast<BYTE>(value.number);
      break;
    case VT_I2:
      out->iVal = static_cast<SHORT>(value.number);
      break;
    case VT_UI2:
      out->uiVal = static_cast<USHORT>(value.number);
      break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
      out->lVal = static_cast<LONG>(value.number);
      break;
    case VT_UI4:
    case VT_UINT:
      out->ulVal = static_cast<ULONG>(value.number);
      break;
    case VT_I8:
    case VT_UI8:
      out->hVal.QuadPart = value.number;
      break;
    case VT_BOOL:
      out->boolVal = value.number ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_R4:
      out->fltVal = static_cast<FLOAT>(value.real);
      break;
    case VT_R8:
    case VT_DATE:
      out->dblVal = value.real;
      break;
    case VT_BSTR: {
      std::u16string text = toUtf16(value.text);
      out->bstrVal = SysAllocStringLen(detail::wideOf(text), static_cast<UINT>(text.size()));
      if (!out->bstrVal) return E_OUTOFMEMORY;
      break;
    }
    case VT_LPWSTR:
      out->pwszVal = detail::taskMemString(toUtf16(value.text));
      if (!out->pwszVal) return E_OUTOFMEMORY;
      break;
    case VT_LPSTR:
      out->pszVal = taskMemNarrow(value.text);
      if (!out->pszVal) return E_OUTOFMEMORY;
      break;
    case VT_CLSID:
      out->puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
      if (!out->puuid) return E_OUTOFMEMORY;
      *out->puuid = value.guid;
      break;
    default: {
      VARTYPE element = static_cast<VARTYPE>(value.vt & ~VT_VECTOR);
      if (!(value.vt & VT_VECTOR) || !isVectorElement(element)) return DISP_E_BADVARTYPE;
      bool copied = false;
      switch (element) {
        case VT_I1:
          copied = copyElements(value.elements, reinterpret_cast<CHAR**>(&out->caub.pElems));
          break;
        case VT_UI1:
          copied = copyElements(value.elements, &out->caub.pElems);
          break;
        case VT_I2:
          copied = copyElements(value.elements, &out->cai.pElems);
          break;
        case VT_UI2:
          copied = copyElements(value.elements, &out->caui.pElems);
          break;
        case VT_I4:
          copied = copyElements(value.elements, &out->cal.pElems);
          break;
        default:
          copied = copyElements(value.elements, &out->caul.pElems);
          break;
      }
      if (!copied) return E_OUTOFMEMORY;
      out->caub.cElems = static_cast<ULONG>(value.elements.size());
      break;
    }
  }
  out->vt = value.vt;
  return S_OK;
}

bool parseGuid(const std::string& text, GUID* guid) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  static constexpr size_t kDashes[] = {9, 14, 19, 24};
  std::string hex;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    bool dash = false;
    for (size_t position : kDashes) dash = dash || position == i;
    if (dash) {
      if (text[i] != '-') return false;
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    hex += text[i];
  }
  auto field = [&](size_t offset, size_t digits) {
    return std::strtoull(hex.substr(offset, digits).c_str(), nullptr, 16);
  };
  guid->Data1 = static_cast<uint32_t>(field(0, 8));
  guid->Data2 = static_cast<uint16_t>(field(8, 4));
  guid->Data3 = static_cast<uint16_t>(field(12, 4));
  for (size_t i = 0; i < 8; ++i) guid->Data4[i] = static_cast<uint8_t>(field(16 + 2 * i, 2));
  return true;
}

const char* propertyName(PROPID id) {
  for (const auto& entry : kPropertyNames) {
    if (entry.id == id) return entry.name;
  }
  return nullptr;
}

VARTYPE varTypeFromName(const std::string& name) {
  static const std::string kVector = "VECTOR|";
  if (name.compare(0, kVector.size(), kVector) == 0) {
    VARTYPE element = varTypeFromName(name.substr(kVector.size()));
    return isVectorElement(element) ? static_cast<VARTYPE>(VT_VECTOR | element) : 0xFFFF;
  }
  for (const auto& entry : kTypeNames) {
    if (name == entry.name) return entry.vt;
  }
  return 0xFFFF;
}

}  // namespace winsim::wia
