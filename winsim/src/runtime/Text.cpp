// Text conversions and the canonical texts used in the journal.
#include <cstdio>
#include <cstring>

#include "Internal.h"
#include "winsim/control.h"

namespace winsim {

std::string toUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t unit = text[i];
    uint32_t code = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      code = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::u16string toUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t length = 1;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      length = 0;  // a stray continuation byte
    }
    if (length > 1) {
      if (i + length > text.size()) {
        length = 0;
      } else {
        for (size_t k = 1; k < length; ++k) {
          const unsigned char next = static_cast<unsigned char>(text[i + k]);
          if ((next & 0xC0) != 0x80) {
            length = 0;
            break;
          }
          code = (code << 6) | (next & 0x3F);
        }
      }
    }
    if (length == 0) {
      code = 0xFFFD;
      length = 1;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return out;
}

namespace detail {

std::string guidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::string variantText(const PROPVARIANT& v) {
  switch (v.vt) {
    case VT_EMPTY:
      return "EMPTY";
    case VT_NULL:
      return "NULL";
    case VT_I2:
      return "I2:" + std::to_string(v.iVal);
    case VT_UI2:
      return "UI2:" + std::to_string(v.uiVal);
    case VT_I4:
      return "I4:" + std::to_string(v.lVal);
    case VT_UI4:
      return "UI4:" + std::to_string(v.ulVal);
    case VT_I1:
      return "I1:" + std::to_string(v.cVal);
    case VT_UI1:
      return "UI1:" + std::to_string(v.bVal);
    case VT_R4:
      return "R4:" + std::to_string(v.fltVal);
    case VT_R8:
      return "R8:" + std::to_string(v.dblVal);
    case VT_BOOL:
      return std::string("BOOL:") + (v.boolVal ? "true" : "false");
    case VT_BSTR:
      return "BSTR:\"" + (v.bstrVal ? toUtf8(utf16Of(v.bstrVal, SysStringLen(v.bstrVal)))
                                    : std::string()) +
             "\"";
    case VT_LPWSTR:
      return "LPWSTR:\"" + (v.pwszVal ? toUtf8(utf16Of(v.pwszVal)) : std::string()) + "\"";
    case VT_CLSID:
      return "CLSID:" + (v.puuid ? guidText(*v.puuid) : std::string("null"));
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "VT%u", static_cast<unsigned>(v.vt));
      return text;
    }
  }
}

LPWSTR taskMemString(const std::u16string& text) {
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
  if (!copy) return nullptr;
  std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return copy;
}

}  // namespace detail
}  // namespace winsim
