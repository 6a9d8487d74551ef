#include "Jvm.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "Java.h"

namespace jvmtest {

namespace {

Jvm* theJvm = nullptr;

// Warnings the VM printed while no test was running; they fail the process at the end.
std::mutex warningLock;
std::vector<std::string> strayWarnings;

// The VM's own output arrives here, in pieces. Whole lines are checked: a line with
// "WARNING" (the JNI checks' "WARNING in native method: ...", "WARNING: JNI local refs: ...")
// or "FATAL ERROR" fails the test that is running on any thread.
void checkLine(const std::string& line) {
  if (line.find("WARNING") == std::string::npos && line.find("FATAL ERROR") == std::string::npos) {
    return;
  }
  if (::testing::UnitTest::GetInstance()->current_test_info()) {
    ADD_FAILURE() << "JNI check: " << line;
  } else {
    std::lock_guard<std::mutex> guard(warningLock);
    strayWarnings.push_back(line);
  }
}

jint JNICALL vfprintfHook(FILE* stream, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return length;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);

  thread_local std::string pending;
  pending += text;
  for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
    checkLine(pending.substr(0, end));
    pending.erase(0, end + 1);
  }
  return length;
}

std::string describeLoadError(JNIEnv* env, jthrowable thrown) {
  env->Throw(thrown);
  return takeException(env).describe();
}

constexpr const char* kHarness = "kordin/vestaro/testhost/Harness";

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
  std::string classPath;
  for (const auto& jar : settings.classPathFirst) classPath += jar + ":";
  classPath += std::string(VESTARO_JAR) + ":" + TEST_HOST_JAR;
  std::string classPathOption = "-Djava.class.path=" + classPath;
  std::string libraryPathOption = std::string("-Djava.library.path=") + LIBRARY_PATH;

  JavaVMOption options[] = {
      {const_cast<char*>("-Xcheck:jni"), nullptr},
      {const_cast<char*>(classPathOption.c_str()), nullptr},
      {const_cast<char*>(libraryPathOption.c_str()), nullptr},
      {const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&vfprintfHook)},
      {const_cast<char*>("-Xmx256m"), nullptr},
      {const_cast<char*>("-XX:+UseSerialGC"), nullptr},
      {const_cast<char*>("-XX:TieredStopAtLevel=1"), nullptr},
  };
  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(sizeof options / sizeof options[0]);
  args.options = options;
  args.ignoreUnrecognized = JNI_FALSE;
  void* env = nullptr;
  if (JNI_CreateJavaVM(&vm_, &env, &args) != JNI_OK) return false;
  env_ = static_cast<JNIEnv*>(env);

  if (settings.captureErr) callStatic(env_, kHarness, "captureErr", "()V");
  if (settings.dropErr) callStatic(env_, kHarness, "dropErr", "()V");
  callStatic(env_, kHarness, "setDebug", "(Z)V", static_cast<jboolean>(settings.debug));

  winsim::reset();
  winsim::setJournalEnabled(true);  // the load's calls, for tests that look at them
  if (settings.beforeLoad) settings.beforeLoad();
  LocalRef<jstring> name(env_, javaString(env_, settings.library));
  LocalRef<jthrowable> thrown(
      env_, callStatic<jthrowable>(env_, kHarness, "loadLibrary",
                                   "(Ljava/lang/String;)Ljava/lang/Throwable;", name.get()));
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
