// Names of variant types in the property listing.
#include <gtest/gtest.h>

#include "WIAUtils.h"

namespace {

TEST(VarTypeName, NamesTheBaseTypesOnly) {
  EXPECT_STREQ(varTypeName(VT_EMPTY), "EMPTY");
  EXPECT_STREQ(varTypeName(VT_I2), "I2");
  EXPECT_STREQ(varTypeName(VT_BOOL), "BOOL");
  EXPECT_STREQ(varTypeName(VT_DECIMAL), "DECIMAL");
  EXPECT_STREQ(varTypeName(VT_I1), "I1");
  EXPECT_STREQ(varTypeName(VT_LPWSTR), "LPWSTR");
  EXPECT_STREQ(varTypeName(VT_FILETIME), "FILETIME");
  EXPECT_STREQ(varTypeName(VT_STREAMED_OBJECT), "STREAMED_OBJECT");
  EXPECT_STREQ(varTypeName(VT_CLSID), "CLSID");
  // Gaps, codes past the table, and modifier bits, which are not stripped.
  for (unsigned code : {15u, 32u, 36u, 63u, 73u, 0x1011u, 0x2003u, 0x4008u, 0xFFFFu}) {
    EXPECT_STREQ(varTypeName(static_cast<VARTYPE>(code)), "unknown") << code;
  }
}

}  // namespace
