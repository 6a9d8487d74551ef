// The reporting code that needs no VM: the line formatter, the failure texts, the
// reporting position, and the COM reference holder.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "ComPtr.h"
#include "DiagnosticLine.h"
#include "FailureReport.h"

namespace {

std::u16string format(size_t capacity, const char* pattern, ...) {
  std::u16string out(capacity + 1, u'#');
  va_list args;
  va_start(args, pattern);
  const size_t length = formatDiagnosticLine(out.data(), capacity, pattern, args);
  va_end(args);
  if (capacity > 0) {
    EXPECT_EQ(out[length], u'\0') << "terminated";
  }
  out.resize(length);
  return out;
}

template <typename... A>
std::u16string line(const char* pattern, A... args) {
  return format(1024, pattern, args...);
}

TEST(DiagnosticFormat, Integers) {
  EXPECT_EQ(line("%d|%i|%u", -5, 7, 4000000000u), u"-5|7|4000000000");
  // 32-bit "long" values, as LONG and HRESULT are: all eight digits of a negative one.
  EXPECT_EQ(line("0x%lx (%ld)", LONG(-1), LONG(-1)), u"0xffffffff (-1)");
  EXPECT_EQ(line("%ld %lu", LONG(INT32_MIN), ULONG(UINT32_MAX)), u"-2147483648 4294967295");
  EXPECT_EQ(line("%08x %X %o", 0x1fu, 0xabcu, 8u), u"0000001f ABC 10");
  EXPECT_EQ(line("[%5d|%-5d|%05d|%+d|% d|%.3d|%#x|%#o]", 42, 42, -42, 3, 3, 7, 255u, 8u),
            u"[   42|42   |-0042|+3| 3|007|0xff|010]");
  EXPECT_EQ(line("[%*d|%-*d|%.*d]", 4, 1, 3, 2, 2, 3), u"[   1|2  |03]");
  EXPECT_EQ(line("%hd %hhu %lld %I64u", 70000, 300, INT64_MIN, UINT64_MAX),
            u"4464 44 -9223372036854775808 18446744073709551615");
  EXPECT_EQ(line("%.0d|%d", 0, 0), u"|0");
}

TEST(DiagnosticFormat, Strings) {
  const WCHAR wide[] = {u'\u65e5', u'\u672c', 0xD83D, 0xDE00, 0};  // two CJK and U+1F600
  EXPECT_EQ(line("%s and %ws", "Gr\xC3\xBC\xC3\x9F" "e", wide), u"Gr\u00fc\u00dfe and \u65e5\u672c\U0001F600");
  EXPECT_EQ(line("%ls|%S", wide, wide), std::u16string(u"\u65e5\u672c\U0001F600|\u65e5\u672c\U0001F600"));
  EXPECT_EQ(line("[%6s|%-4s|%.3s|%.3ws]", "ab", "c", "abcdef", wide), u"[    ab|c   |abc|\u65e5\u672c]");
  EXPECT_EQ(line("[%s|%ws]", static_cast<const char*>(nullptr), static_cast<const WCHAR*>(nullptr)),
            u"[(null)|(null)]");
  EXPECT_EQ(line("%c%wc", 'A', WCHAR(0x00e9)), u"A\u00e9");
  // Bytes that are not UTF-8 become U+FFFD, in the format and in arguments.
  EXPECT_EQ(line("a\xFF%s", "\xC3(b"), u"a\uFFFD\uFFFD(b");
}

TEST(DiagnosticFormat, PercentAndUnknownDirectivesStandAsWritten) {
  EXPECT_EQ(line("100%% %q %"), u"100% %q %");
  EXPECT_EQ(line(nullptr), u"");
}

TEST(DiagnosticFormat, CutsWhereTheBufferEndsNeverInsideAPair) {
  const std::string longText(5000, 'x');
  EXPECT_EQ(line("%s", longText.c_str()), std::u16string(1023, u'x'));
  EXPECT_EQ(line("%s", std::string(1023, 'y').c_str()), std::u16string(1023, u'y'));
  const std::string pairAtTheEnd = std::string(1022, 'z') + "\xF0\x9F\x98\x80 and more";
  EXPECT_EQ(line("%s", pairAtTheEnd.c_str()), std::u16string(1022, u'z'));
  EXPECT_EQ(format(4, "%d%s", 12345, "more"), u"123");
  EXPECT_EQ(format(1, "%d", 1), u"");
  EXPECT_EQ(format(0, "%d", 1), u"");
}

// Widths and precisions beyond the line, the most negative '*' width included, fill the
// line and stop there.
TEST(DiagnosticFormat, HugeWidthsAndPrecisionsFillTheLine) {
  EXPECT_EQ(line("%*d|", INT_MIN, 5), u"5" + std::u16string(1022, u' '));
  EXPECT_EQ(line("%*d", INT_MAX, 5), std::u16string(1023, u' '));
  EXPECT_EQ(line("%*llu", INT_MAX, UINT64_MAX), std::u16string(1023, u' '));
  EXPECT_EQ(line("%*llu", 1030, UINT64_MAX), std::u16string(1010, u' ') + u"1844674407370");
  EXPECT_EQ(line("%.*x", 100000, 0xabu), std::u16string(1023, u'0'));
  EXPECT_EQ(line("%#.*o", 1050, 8u), std::u16string(1023, u'0'));
  EXPECT_EQ(line("a%-*s|", 2000, "b"), u"ab" + std::u16string(1021, u' '));
}

TEST(FailureTexts, TableElseCodeInHexadecimal) {
  EXPECT_STREQ(errorTextOf(HRESULT(0x80210006u), wiaErrorTexts), "The WIA device is busy.");
  EXPECT_STREQ(errorTextOf(HRESULT(0x80210015u), wiaErrorTexts),
               "No WIA device of the selected type is available.");
  EXPECT_STREQ(errorTextOf(HRESULT(0x80210010u), wiaErrorTexts), "ERROR 80210010");
  // The closing row's code is no match: its text is null.
  EXPECT_STREQ(errorTextOf(HRESULT(0xFFFFFFFFu), wiaErrorTexts), "ERROR ffffffff");
  EXPECT_STREQ(errorTextOf(E_FAIL, nullptr), "ERROR 80004005");
}

TEST(FailureTexts, SystemErrorLineFitsTheBuffer) {
  char buffer[96];
  EXPECT_STREQ(formatSystemError(buffer, sizeof buffer, E_ACCESSDENIED, "..\\src\\jni\\wia\\WIAUtils.cpp", 42),
               "System Error HRESULT=-2147024891 [..\\src\\jni\\wia\\WIAUtils.cpp:42]");
  char small[16];
  EXPECT_STREQ(formatSystemError(small, sizeof small, E_ACCESSDENIED, "file", 1), "System Error HR");
}

TEST(ReportingPosition, NamesThisSourceInTheLibrarysFolderWithBackslashes) {
  EXPECT_STREQ(reportingPathOf(__FILE__).text, "..\\src\\jni\\wia\\ReportingUnitTests.cpp");
}

// A COM object that counts its references.
struct Counted : IUnknown {
  ULONG count = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
};

TEST(ComPtrHolder, ReleasesWhatItHoldsOnEveryHandOver) {
  Counted a, b;
  {
    ComPtr<IUnknown> held(&a);
    *held.put() = &b;  // put() releases the old reference first
    EXPECT_EQ(a.count, 0u);
    ComPtr<IUnknown> moved(std::move(held));
    EXPECT_FALSE(held);
    EXPECT_EQ(moved.get(), &b);
    b.AddRef();
    IUnknown* detached = moved.detach();
    EXPECT_EQ(detached, &b);
    moved.attach(&b);
  }
  EXPECT_EQ(b.count, 1u) << "one reference detached, the attached one released";
}

}  // namespace
