// Failures reported as VestaroException: text sources, code, position, a report while
// another is pending, and the interface table's failure at load.
#include "Java.h"
#include "Jvm.h"

namespace jvmtest {
namespace {

constexpr const char* kProbeSource = "tests/jvm/probe/ReportingProbe.cpp";

class Reporting : public JvmTest {
 protected:
  LoadSettings loadSettings() const override { return probeSettings(); }

  JavaException report(HRESULT code) {
    return thrownByStatic(env_, kProbe, "report", "(I)V", static_cast<jint>(code));
  }
};

TEST_F(Reporting, TextComesFromTheSystemElseTheTableElseTheCode) {
  const struct {
    HRESULT code;
    const char* text;
  } cases[] = {
      {E_ACCESSDENIED, "Access is denied.\r\n"},  // the system's text, as it comes
      {HRESULT(0x80210006u), "The WIA device is busy."},
      {HRESULT(0x8021000Eu), "The devicle driver threw an exception."},
      {HRESULT(0x80210010u), "ERROR 0x80210010"},  // a WIA code the table lacks
      {HRESULT(0xFFFFFFFFu), "ERROR 0xffffffff"},  // the code that closes the table
      {S_FALSE, "ERROR 0x00000001"},
  };
  const int line = lineOf(kProbeSource, "// probe: report");
  for (const auto& c : cases) {
    JavaException e = report(c.code);
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, c.code) << "carried bit for bit";
    EXPECT_EQ(e.message, c.text);
    EXPECT_EQ(e.file, reportingFile("ReportingProbe.cpp"));
    EXPECT_EQ(e.line, line);
    EXPECT_TRUE(e.suppressed.empty());
  }
  expectCensusUnchanged();  // every system text given back
}

TEST_F(Reporting, LocalisedSystemTextArrivesIntactAndWinsOverTheTable) {
  const std::u16string text = u"P\u00e9riph\u00e9rique occup\u00e9 \u2014 \u65e5\u672c "
                              u"\U0001F5A8\r\n";
  winsim::setSystemMessage(HRESULT(0x80210006u), text);
  JavaException e = report(HRESULT(0x80210006u));
  EXPECT_EQ(e.message, winsim::toUtf8(text));
  expectCensusUnchanged();
}

TEST_F(Reporting, FirstPendingFailureWinsAndKeepsTheLaterOneAsSuppressed) {
  JavaException e = thrownByStatic(env_, kProbe, "reportTwice", "(II)V",
                                   static_cast<jint>(E_ACCESSDENIED), static_cast<jint>(0x80210005));
  ASSERT_TRUE(e.isVestaro) << e.describe();
  EXPECT_EQ(e.code, E_ACCESSDENIED);
  EXPECT_EQ(e.line, lineOf(kProbeSource, "// probe: first report"));
  ASSERT_EQ(e.suppressed.size(), 1u) << e.describe();
  EXPECT_EQ(e.suppressed[0].code, HRESULT(0x80210005u));
  EXPECT_EQ(e.suppressed[0].message, "The WIA device is not online.");
  EXPECT_EQ(e.suppressed[0].line, lineOf(kProbeSource, "// probe: second report"));
}

TEST_F(Reporting, InterfaceTableIsThere) {
  EXPECT_TRUE(callStatic<jboolean>(env_, kProbe, "useInterfaceTable", "()Z"));
}

// The table cannot be created at load: the load still succeeds, and each use reports why.
class NoInterfaceTable : public Reporting {
 protected:
  LoadSettings loadSettings() const override {
    LoadSettings settings = Reporting::loadSettings();
    settings.name = "probe-no-interface-table";
    settings.beforeLoad = [] {
      winsim::Fault fault;
      fault.method = "CoCreateInstance";
      fault.result = REGDB_E_CLASSNOTREG;
      winsim::injectFault(fault);
    };
    return settings;
  }
};

TEST_F(NoInterfaceTable, EveryUseReportsTheFailedCreation) {
  for (int use = 0; use < 2; ++use) {
    JavaException e = thrownByStatic<jboolean>(env_, kProbe, "useInterfaceTable", "()Z");
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(e.message, "Class not registered\r\n");
    EXPECT_EQ(e.file, reportingFile("ReportingProbe.cpp"));
    EXPECT_EQ(e.line, lineOf(kProbeSource, "// probe: interface table"));
  }
}

}  // namespace
}  // namespace jvmtest
