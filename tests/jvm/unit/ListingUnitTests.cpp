// Names of variant types in the property listing.
#include <gtest/gtest.h>

#include <string>

#include "WIAUtils.h"

namespace {

TEST(VarTypeName, EveryCodeOfTheTableAndNothingElse) {
  const char* const named[73] = {
      "EMPTY", "NULL", "I2", "I4", "R4", "R8", "CY", "DATE", "BSTR", "DISPATCH", "ERROR",
      "BOOL", "VARIANT", "UNKNOWN", "DECIMAL", nullptr, "I1", "UI1", "UI2", "UI4", "I8", "UI8",
      "INT", "UINT", "VOID", "HRESULT", "PTR", "SAFEARRAY", "CARRAY", "USERDEFINED", "LPSTR",
      "LPWSTR", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
      nullptr, nullptr, nullptr, "FILETIME", "BLOB", "STREAM", "STORAGE", "STREAMED_OBJECT",
      "STORED_OBJECT", "BLOB_OBJECT", "CF", "CLSID"};
  for (unsigned code = 0; code <= 0xFFFF; ++code) {
    const char* expected = code < 73 && named[code] ? named[code] : "unknown";
    ASSERT_STREQ(varTypeName(static_cast<VARTYPE>(code)), expected) << "code " << code;
  }
}

TEST(VarTypeName, ModifierBitsAreNotStripped) {
  EXPECT_STREQ(varTypeName(VT_VECTOR | VT_UI1), "unknown");
  EXPECT_STREQ(varTypeName(VT_ARRAY | VT_I4), "unknown");
  EXPECT_STREQ(varTypeName(VT_BYREF | VT_BSTR), "unknown");
}

}  // namespace
