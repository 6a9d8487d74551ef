// Diagnostic lines on the host's System.err: length, text, threads, the debug switch.
#include <algorithm>

#include "Java.h"
#include "Jvm.h"

namespace jvmtest {
namespace {

class Diagnostics : public JvmTest {
 protected:
  LoadSettings loadSettings() const override { return probeSettings(); }

  void print(const std::u16string& text, const char* method = "print") {
    LocalRef<jstring> string(env_, javaString(env_, text));
    callStatic(env_, kProbe, method, "(Ljava/lang/String;)V", string.get());
  }
  void setDebug(bool on) { callStatic(env_, kHarness, "setDebug", "(Z)V", jboolean(on)); }
};

TEST_F(Diagnostics, LongLinesAreCutAt1023CharactersNeverInsideAPair) {
  print(std::u16string(5000, u'x'));
  print(std::u16string(1023, u'y'));
  print(std::u16string(1022, u'z') + u"\U0001F600 tail");
  const std::vector<std::string> expected = {
      std::string(1023, 'x'), std::string(1023, 'y'), std::string(1022, 'z')};
  EXPECT_EQ(takeErrLines(), expected);
}

TEST_F(Diagnostics, NonAsciiTextArrivesIntact) {
  const std::u16string text = u"Gr\u00fc\u00dfe \u65e5\u672c \U0001F600";
  print(text);
  EXPECT_EQ(takeErrLines(), std::vector<std::string>{winsim::toUtf8(text)});
}

// Lines and reports made in a loop within one native call give their local references
// back; the VM's checks flag a frame that outgrows its capacity.
TEST_F(Diagnostics, ManyLinesAndReportsInOneCallKeepTheLocalFrameSmall) {
  LocalRef<jstring> text(env_, javaString(env_, std::string("line")));
  callStatic(env_, kProbe, "printRepeatedly", "(Ljava/lang/String;I)V", text.get(), jint(200));
  EXPECT_EQ(takeErrLines().size(), 200u);
  JavaException e = thrownByStatic(env_, kProbe, "reportRepeatedly", "(II)V", jint(E_FAIL), jint(200));
  EXPECT_EQ(e.suppressed.size(), 199u) << "the first report stays, the others are attached to it";
  expectCensusUnchanged();
}

TEST_F(Diagnostics, EightThreadsPrintAtOnceWithoutLosingOrMixingLines) {
  const int threads = 8, lines = 300;
  callStatic(env_, kProbe, "printFromThreads", "(II)V", jint(threads), jint(lines));
  std::vector<std::string> printed = takeErrLines();
  std::vector<std::string> expected;
  for (int t = 0; t < threads; ++t) {
    for (int l = 0; l < lines; ++l) expected.push_back("t" + std::to_string(t) + " l" + std::to_string(l));
  }
  std::sort(printed.begin(), printed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(printed, expected);
}

TEST_F(Diagnostics, ThreadTheVmNeverSawPrintsAndIsNotLeftAttached) {
  const jint before = callStatic<jint>(env_, kHarness, "liveThreadCount", "()I");
  print(u"from a new thread", "printFromNewThread");
  print(u"from another new thread", "printFromNewThread");
  EXPECT_EQ(takeErrLines(), (std::vector<std::string>{"from a new thread", "from another new thread"}));
  EXPECT_EQ(callStatic<jint>(env_, kHarness, "liveThreadCount", "()I"), before);
}

TEST_F(Diagnostics, PendingExceptionStaysWhileALineIsPrinted) {
  LocalRef<jstring> text(env_, javaString(env_, std::string("printed anyway")));
  JavaException e = thrownByStatic(env_, kProbe, "printWhilePending", "(Ljava/lang/String;)V", text.get());
  EXPECT_EQ(e.className, "java.lang.IllegalStateException");
  EXPECT_EQ(e.message, "first");
  EXPECT_EQ(takeErrLines(), std::vector<std::string>{"printed anyway"});
}

TEST_F(Diagnostics, DebugSwitchTurnedOnAfterTheLoadIsNotSeen) {
  print(u"off at load", "printWhenDebugging");
  setDebug(true);
  print(u"on after load", "printWhenDebugging");
  EXPECT_EQ(takeErr(), "");
}

class DiagnosticsDebugAtLoad : public Diagnostics {
 protected:
  LoadSettings loadSettings() const override { return probeSettings("probe-debug", true); }
};

TEST_F(DiagnosticsDebugAtLoad, DebugSwitchTurnedOffAfterTheLoadIsNotSeen) {
  print(u"on at load", "printWhenDebugging");
  setDebug(false);
  print(u"off after load", "printWhenDebugging");
  EXPECT_EQ(takeErrLines(), (std::vector<std::string>{"on at load", "off after load"}));
}

// A host whose System.err was null at load: lines are dropped, and a stream set later is
// not used either (the stream is bound once, at load).
class DiagnosticsWithoutStream : public Diagnostics {
 protected:
  LoadSettings loadSettings() const override {
    LoadSettings settings = probeSettings("probe-no-err", false);
    settings.captureErr = false;
    settings.dropErr = true;
    return settings;
  }
};

TEST_F(DiagnosticsWithoutStream, LinesAreDroppedQuietly) {
  print(u"dropped");
  callStatic(env_, kHarness, "captureErr", "()V");
  print(u"dropped as well");
  print(u"dropped from a new thread", "printFromNewThread");
  EXPECT_EQ(takeErr(), "");
}

}  // namespace
}  // namespace jvmtest
