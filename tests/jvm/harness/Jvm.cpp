#include "Jvm.h"

#include <cstdio>
#include <mutex>

#include "Java.h"

namespace jvmtest {

namespace {

Jvm* theJvm = nullptr;

// Warnings the VM printed while no test was running; they fail the process at the end.
std::mutex warningLock;
std::vector<std::string> strayWarnings;

// A line of the VM's output in which its JNI checks warn or it fails fatally fails the
// test that is running on any thread.
void checkLine(const std::string& line) {
  if (::testing::UnitTest::GetInstance()->current_test_info()) {
    ADD_FAILURE() << "JNI check: " << line;
  } else {
    std::lock_guard<std::mutex> guard(warningLock);
    strayWarnings.push_back(line);
  }
}

std::string describeLoadError(JNIEnv* env, jthrowable thrown) {
  env->Throw(thrown);
  return takeException(env).describe();
}

}  // namespace

Jvm* Jvm::current() { return theJvm; }

Jvm* Jvm::ensure(const LoadSettings& settings, std::string* why) {
  if (theJvm) {
    if (theJvm->settings_.name == settings.name) return theJvm;
    if (why) {
      *why = "needs its own process: the library was loaded here with the settings \"" +
             theJvm->settings_.name + "\", this test needs \"" + settings.name + "\"";
    }
    return nullptr;
  }
  auto* jvm = new Jvm(settings);
  if (!jvm->start()) {
    if (why) *why = "the Java VM could not be created";
    delete jvm;
    return nullptr;
  }
  theJvm = jvm;
  return theJvm;
}

bool Jvm::start() {
  const LoadSettings& settings = settings_;
  vmstart::VmOptions options = vmstart::checkedVm(&checkLine);
  options.classPath.insert(options.classPath.begin(), settings.classPathFirst.begin(),
                           settings.classPathFirst.end());
  options.libraryPath.push_back(PROBE_LIBRARY_DIR);
  env_ = vmstart::createVm(options, &vm_);
  if (!env_) return false;

  if (settings.captureErr) callStatic(env_, kHarness, "captureErr", "()V");
  if (settings.dropErr) callStatic(env_, kHarness, "dropErr", "()V");
  callStatic(env_, kHarness, "setDebug", "(Z)V", static_cast<jboolean>(settings.debug));

  winsim::reset();
  winsim::setJournalEnabled(true);  // the load's calls, for tests that look at them
  if (settings.beforeLoad) settings.beforeLoad();
  LocalRef<jthrowable> thrown(env_, vmstart::loadLibrary(env_, settings.library));
  expectNoException(env_, "Harness.loadLibrary");
  if (thrown) loadError_ = describeLoadError(env_, thrown.get());
  loadJournal_ = winsim::journal();
  return true;
}

int Jvm::shutDown() {
  if (theJvm) {
    theJvm->vm_->DestroyJavaVM();
    theJvm = nullptr;
  }
  std::lock_guard<std::mutex> guard(warningLock);
  for (const auto& line : strayWarnings) {
    std::fprintf(stderr, "JNI check outside any test: %s\n", line.c_str());
  }
  return strayWarnings.empty() ? 0 : 1;
}

void JvmTest::SetUp() {
  std::string why;
  jvm_ = Jvm::ensure(loadSettings(), &why);
  if (!jvm_) GTEST_SKIP() << why;
  env_ = jvm_->env();
  if (requireLoaded()) {
    ASSERT_EQ(jvm_->loadError(), "") << "loading " << jvm_->settings().library;
  }
  ASSERT_EQ(env_->PushLocalFrame(256), 0);
  framePushed_ = true;
  winsim::reset();
  winsim::setJournalEnabled(true);
  censusAtStart_ = winsim::census();
  takeErr();
}

void JvmTest::TearDown() {
  if (!framePushed_) return;
  expectNoException(env_, "the test");
  env_->PopLocalFrame(nullptr);
  framePushed_ = false;
}

void JvmTest::expectCensusUnchanged() const {
  EXPECT_EQ(winsim::census(), censusAtStart_) << winsim::describeLiveObjects();
}

std::string JvmTest::takeErr() const {
  LocalRef<jstring> text(env_, callStatic<jstring>(env_, kHarness, "takeErr", "()Ljava/lang/String;"));
  return utf8(env_, text.get());
}

std::vector<std::string> JvmTest::takeErrLines() const {
  std::vector<std::string> lines;
  const std::string text = takeErr();
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace jvmtest
