// libFuzzer target: each input becomes a hostile device set and driver behaviour
// (HostileScenario) and a sequence of the natives' operations on the recording host
// classes inside one Java VM. After each input every handle is given back and the
// process must hold what it held before: the stand-in's census unchanged, no image file
// left in a temporary folder. A crash, a sanitizer report, a JNI warning, an exception
// the natives do not define, a leak or a leftover file stops the run with the input.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "FuzzVm.h"
#include "HostileScenario.h"

namespace {

constexpr const char* kManagerClass = "kordin/vestaro/testhost/RecordingManager";
constexpr const char* kCameraClass = "kordin/vestaro/testhost/RecordingCamera";
constexpr const char* kScannerClass = "kordin/vestaro/testhost/RecordingScanner";

JNIEnv* env = nullptr;
// VESTARO_FUZZ_TRACE=1 prints each operation and what it threw, to read a finding.
const bool tracing = std::getenv("VESTARO_FUZZ_TRACE") != nullptr;
jclass vestaroException = nullptr;  // a global reference
std::string baseFolder;             // below it, every temporary folder an input may use

[[noreturn]] void finding(const std::string& what) {
  std::fprintf(stderr, "hostile-driver fuzzer: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string folderPath(fuzz::TemporaryFolder folder) {
  switch (folder) {
    case fuzz::TemporaryFolder::Plain: return baseFolder + "/plain";
    case fuzz::TemporaryFolder::Unicode: return baseFolder + "/Bilder \xC3\xA4\xE5\x90\x8D \xF0\x9F\x93\xB7";
    case fuzz::TemporaryFolder::Missing: return baseFolder + "/missing/below";
    case fuzz::TemporaryFolder::RegularFile: return baseFolder + "/a-file";
    default: return baseFolder + "/" + std::string(300, 'n');
  }
}

// The names left in a folder that the devices write into; removes them.
std::vector<std::string> takeLeftovers(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      names.push_back(entry->d_name);
      unlink((folder + "/" + entry->d_name).c_str());
    }
    closedir(dir);
  }
  return names;
}

void makeFolders() {
  char pattern[] = "/tmp/vestaro-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) finding("no temporary folder for the devices");
  baseFolder = pattern;
  mkdir(folderPath(fuzz::TemporaryFolder::Plain).c_str(), 0700);
  mkdir(folderPath(fuzz::TemporaryFolder::Unicode).c_str(), 0700);
  if (FILE* file = std::fopen(folderPath(fuzz::TemporaryFolder::RegularFile).c_str(), "w")) std::fclose(file);
  std::atexit([] {
    takeLeftovers(folderPath(fuzz::TemporaryFolder::Plain));
    takeLeftovers(folderPath(fuzz::TemporaryFolder::Unicode));
    rmdir(folderPath(fuzz::TemporaryFolder::Plain).c_str());
    rmdir(folderPath(fuzz::TemporaryFolder::Unicode).c_str());
    unlink(folderPath(fuzz::TemporaryFolder::RegularFile).c_str());
    rmdir(baseFolder.c_str());
  });
}

// One input's run: the host objects, the handles handed out, and what the host throws.
class Run {
 public:
  Run() {
    manager_ = fuzz::newObject(env, kManagerClass);
    camera_ = fuzz::newObject(env, kCameraClass);
    scanner_ = fuzz::newObject(env, kScannerClass);
    hostThrows_ = newHostException();
  }

  void perform(const fuzz::Operation& op) {
    using Kind = fuzz::Operation::Kind;
    if (tracing) std::fprintf(stderr, "operation %d, handle choice %u\n", static_cast<int>(op.kind), op.handleChoice);
    switch (op.kind) {
      case Kind::Initialize: {
        jthrowable thrown = nullptr;
        const jlong handle = fuzz::callLong(env, manager_, "initialize", &thrown);
        check(thrown, "initialize");
        if (!thrown) managers_.push_back(handle);
        break;
      }
      case Kind::Poll: {
        const size_t listedBefore = listedDevices();
        const jint offersBefore = fuzz::callInt(env, manager_, "offerCount");
        jthrowable thrown = fuzz::callVoid(env, manager_, "poll", "(J)V", managerHandle(op));
        if (!thrown) requireEveryListedDeviceOffered(listedBefore, offersBefore);
        check(thrown, "poll");
        collectOffers();
        break;
      }
      case Kind::TransferCamera:
        check(fuzz::callVoid(env, camera_, "transfer", "(JZ)V", deviceHandle(op), jboolean(op.dialog)),
              "camera transfer");
        break;
      case Kind::TransferScanner:
        check(fuzz::callVoid(env, scanner_, "setScan", "(IIIIII)V", op.scan[0], op.scan[1], op.scan[2],
                             op.scan[3], op.scan[4], op.scan[5]),
              "setScan");
        check(fuzz::callVoid(env, scanner_, "transfer", "(JZ)V", deviceHandle(op), jboolean(op.dialog)),
              "scanner transfer");
        break;
      case Kind::ReleaseDevice: {
        const jlong handle = deviceHandle(op);
        releaseOnce(camera_, handle, "device release");
        forget(devices_, handle);  // as the Java API does, whatever the release said
        break;
      }
      case Kind::ReleaseManager: {
        const jlong handle = managerHandle(op);
        releaseOnce(manager_, handle, "manager release");
        forget(managers_, handle);
        break;
      }
      case Kind::InjectFault:
        if (tracing) {
          std::fprintf(stderr, "  fault %s -> 0x%08x, nth %u, target %s\n", op.fault.method.c_str(),
                       static_cast<unsigned>(op.fault.result), op.fault.nth, op.fault.target.c_str());
        }
        winsim::injectFault(op.fault);
        break;
      case Kind::RefuseOffers:
        fuzz::setBooleanField(env, manager_, "accept", false);
        break;
      case Kind::ThrowFromAdd:
        fuzz::setObjectField(env, manager_, "toThrow", "Ljava/lang/RuntimeException;", hostThrows_);
        break;
      case Kind::ThrowFromListener: {
        jobject device = op.dialog ? camera_ : scanner_;
        jobject recorder = fuzz::objectField(env, device, "transfers", "Lkordin/vestaro/testhost/TransferRecorder;");
        check(fuzz::callVoid(env, recorder, "throwOn", "(ILjava/lang/RuntimeException;)V",
                             jint(op.listenerCall), hostThrows_),
              "throwOn");
        env->DeleteLocalRef(recorder);
        break;
      }
      case Kind::ScanPages:
        scanPages(op);
        break;
      case Kind::Capabilities: {
        jobject capabilities = nullptr;
        jthrowable thrown = call(scanner_, "capabilities", "(J)[I", [&](jmethodID m) {
          capabilities = env->CallObjectMethod(scanner_, m, deviceHandle(op));
        });
        if (!thrown && !capabilities) finding("the capabilities were null and nothing was thrown");
        env->DeleteLocalRef(capabilities);
        check(thrown, "capabilities");
        break;
      }
      case Kind::CancelProgress:
        check(fuzz::callVoid(env, scanner_, "cancelAt", "(II)V", op.progressPage, op.progressPercent), "cancelAt");
        break;
      case Kind::ThrowFromProgress:
        check(fuzz::callVoid(env, scanner_, "throwAt", "(IILjava/lang/RuntimeException;)V", op.progressPage,
                             op.progressPercent, hostThrows_),
              "throwAt");
        break;
      default:
        break;
    }
  }

  // Gives back every handle still held, with no fault left to stop it.
  void finish() {
    winsim::clearFaults();
    winsim::clearReadOverrides();
    for (jlong handle : devices_) check(fuzz::callVoid(env, camera_, "release", "(J)V", handle), "final device release");
    for (jlong handle : managers_) check(fuzz::callVoid(env, manager_, "release", "(J)V", handle), "final manager release");
    // A registration the platform refused to revoke (on a release, or when the library
    // gave back a device the host refused) is still there: the handle is its cookie, and
    // releasing it again, as a device or else as a manager, must now give it back.
    std::vector<jlong> again = refusedRevocations();
    again.insert(again.end(), otherKind_.begin(), otherKind_.end());
    for (jlong handle : again) {
      jthrowable thrown = fuzz::callVoid(env, camera_, "release", "(J)V", handle);
      if (thrown) {
        env->DeleteLocalRef(thrown);
        thrown = fuzz::callVoid(env, manager_, "release", "(J)V", handle);
        if (thrown) env->DeleteLocalRef(thrown);  // revoked since, by a later release
      }
    }
  }

 private:
  // An exception is defined when it is the library's report or what the host itself threw.
  void check(jthrowable thrown, const char* what) {
    if (!thrown) return;
    if (tracing) std::fprintf(stderr, "  %s threw %s\n", what, fuzz::describe(env, thrown).c_str());
    const bool defined = env->IsInstanceOf(thrown, vestaroException) || env->IsSameObject(thrown, hostThrows_);
    if (!defined) finding(std::string(what) + " threw " + fuzz::describe(env, thrown));
    env->DeleteLocalRef(thrown);
  }

  // Calls `name` through `invoke` and returns what it threw (cleared), else null.
  template <typename Invoke>
  static jthrowable call(jobject target, const char* name, const char* signature, Invoke invoke) {
    jclass cls = env->GetObjectClass(target);
    jmethodID method = env->GetMethodID(cls, name, signature);
    env->DeleteLocalRef(cls);
    fuzz::requireNoException(env, name);
    invoke(method);
    jthrowable thrown = env->ExceptionOccurred();
    if (thrown) env->ExceptionClear();
    return thrown;
  }

  static jintArray intArray(const std::vector<jint>& values) {
    jintArray array = env->NewIntArray(static_cast<jsize>(values.size()));
    fuzz::requireNoException(env, "NewIntArray");
    env->SetIntArrayRegion(array, 0, static_cast<jsize>(values.size()), values.data());
    return array;
  }

  // A batch of pages ends with one of its three outcomes, or with a defined exception.
  void scanPages(const fuzz::Operation& op) {
    jintArray root = intArray(op.rootWrites);
    jintArray item = intArray(op.itemWrites);
    jint outcome = -1;
    jthrowable thrown = call(scanner_, "scanPages", "(J[I[II)I", [&](jmethodID m) {
      outcome = env->CallIntMethod(scanner_, m, deviceHandle(op), root, item, op.maxPages);
    });
    if (tracing && !thrown) std::fprintf(stderr, "  scan pages: outcome %d\n", static_cast<int>(outcome));
    if (!thrown && (outcome < 0 || outcome > 2)) finding("scan pages ended with outcome " + std::to_string(outcome));
    env->DeleteLocalRef(root);
    env->DeleteLocalRef(item);
    check(thrown, "scan pages");
  }

  // The device information storages the enumerations have handed out so far.
  static size_t listedDevices() {
    size_t listed = 0;
    for (const auto& call : winsim::journal("IEnumWIA_DEV_INFO::Next")) listed += call.result == S_OK;
    return listed;
  }

  // A poll that reports nothing has offered every device it listed: a device passed over
  // in silence would be taken for gone, and a host would release the one it holds.
  void requireEveryListedDeviceOffered(size_t listedBefore, jint offersBefore) {
    if (winsim::droppedJournalEntries() != 0) return;
    const size_t listed = listedDevices() - listedBefore;
    const jint offered = fuzz::callInt(env, manager_, "offerCount") - offersBefore;
    if (static_cast<size_t>(offered) != listed) {
      finding("a poll that threw nothing listed " + std::to_string(listed) + " devices and offered " +
              std::to_string(offered));
    }
  }

  // A release whose lookup says "no such cookie" (E_INVALIDARG) or "a registration of
  // another interface" (E_NOINTERFACE) leaves the registration to its owner; an injected
  // fault with either code looks the same, so the handle is released again at the end.
  void releaseOnce(jobject host, jlong handle, const char* what) {
    jthrowable thrown = fuzz::callVoid(env, host, "release", "(J)V", handle);
    if (thrown && env->IsInstanceOf(thrown, vestaroException)) {
      const HRESULT code = codeOf(thrown);
      if (code == E_NOINTERFACE || code == E_INVALIDARG) otherKind_.push_back(handle);
    }
    check(thrown, what);
  }

  static HRESULT codeOf(jthrowable thrown) {
    jclass cls = env->GetObjectClass(thrown);
    const jint code = env->CallIntMethod(thrown, env->GetMethodID(cls, "getCode", "()I"));
    fuzz::requireNoException(env, "getCode");
    env->DeleteLocalRef(cls);
    return static_cast<HRESULT>(code);
  }

  // The cookies whose revocation the platform refused in this input.
  static std::vector<jlong> refusedRevocations() {
    std::vector<jlong> cookies;
    for (const auto& call : winsim::journal("IGlobalInterfaceTable::RevokeInterfaceFromGlobal")) {
      const size_t at = call.detail.find("cookie=");
      if (FAILED(call.result) && at != std::string::npos) cookies.push_back(std::stoll(call.detail.substr(at + 7)));
    }
    return cookies;
  }

  jobject newHostException() {
    jclass cls = env->FindClass("java/lang/IllegalStateException");
    jmethodID constructor = env->GetMethodID(cls, "<init>", "(Ljava/lang/String;)V");
    jstring text = env->NewStringUTF("thrown by the host");
    jobject thrown = env->NewObject(cls, constructor, text);
    fuzz::requireNoException(env, "the host's exception");
    env->DeleteLocalRef(text);
    env->DeleteLocalRef(cls);
    return thrown;
  }

  // Every device offered so far stays held until released: the manager kept it when add
  // returned true; a refused or throwing add made the library give it back itself, and
  // then the handle is already gone (its release must fail cleanly).
  void collectOffers() {
    const jint count = fuzz::callInt(env, manager_, "offerCount");
    for (jint i = offersSeen_; i < count; ++i) {
      jobject offer = fuzz::callObject(env, manager_, "offer", "(I)Lkordin/vestaro/testhost/RecordingManager$Offer;", i);
      const jlong handle = fuzz::longField(env, offer, "handle");
      env->DeleteLocalRef(offer);
      everSeen_.push_back(handle);
      if (accepted()) devices_.push_back(handle);
    }
    offersSeen_ = count;
  }

  bool accepted() {
    jclass cls = env->GetObjectClass(manager_);
    const bool accept = env->GetBooleanField(manager_, env->GetFieldID(cls, "accept", "Z"));
    jobject toThrow = fuzz::objectField(env, manager_, "toThrow", "Ljava/lang/RuntimeException;");
    env->DeleteLocalRef(cls);
    const bool throws = toThrow != nullptr;
    env->DeleteLocalRef(toThrow);
    return accept && !throws;
  }

  jlong deviceHandle(const fuzz::Operation& op) const { return choose(everSeen_, op); }
  jlong managerHandle(const fuzz::Operation& op) const { return choose(managersEver(), op); }

  std::vector<jlong> managersEver() const {
    std::vector<jlong> all = managers_;
    all.insert(all.end(), releasedManagers_.begin(), releasedManagers_.end());
    return all;
  }

  static jlong choose(const std::vector<jlong>& handles, const fuzz::Operation& op) {
    const size_t choices = handles.size() + 1;
    const size_t choice = op.handleChoice % choices;
    return choice < handles.size() ? handles[choice] : op.foreignHandle;
  }

  void forget(std::vector<jlong>& held, jlong handle) {
    for (auto it = held.begin(); it != held.end(); ++it) {
      if (*it == handle) {
        if (&held == &managers_) releasedManagers_.push_back(handle);
        held.erase(it);
        return;
      }
    }
  }

  jobject manager_ = nullptr;
  jobject camera_ = nullptr;
  jobject scanner_ = nullptr;
  jobject hostThrows_ = nullptr;
  std::vector<jlong> managers_;
  std::vector<jlong> releasedManagers_;
  std::vector<jlong> devices_;
  std::vector<jlong> everSeen_;
  std::vector<jlong> otherKind_;
  jint offersSeen_ = 0;
};

// Adds the flags a Java VM inside libFuzzer needs unless the command line has them: the
// VM handles SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGXFSZ and SIGUSR2 itself, and leaks
// by design (leaks here are the census's business).
void addVmFlags(int* argc, char*** argv) {
  static const char* const kFlags[] = {"-handle_segv=0", "-handle_bus=0", "-handle_ill=0",
                                       "-handle_fpe=0", "-handle_xfsz=0", "-handle_usr1=0",
                                       "-handle_usr2=0", "-detect_leaks=0"};
  static std::vector<char*> args;
  args.assign(*argv, *argv + *argc);
  for (const char* flag : kFlags) {
    const std::string name(flag, std::strchr(flag, '=') + 1);
    bool given = false;
    for (int i = 1; i < *argc; ++i) given = given || std::strncmp((*argv)[i], name.c_str(), name.size()) == 0;
    if (!given) args.push_back(const_cast<char*>(flag));
  }
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size() - 1);
  *argv = args.data();
}

}  // namespace

extern "C" const char* __asan_default_options() {
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:allow_user_segv_handler=1:"
         "detect_leaks=0";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The hostile devices are the virtual set's: the machine's scanners and cameras stay out.
  setenv("VESTARO_DRIVERS", "virtual", 1);
  addVmFlags(argc, argv);
  makeFolders();
  env = fuzz::startVm();
  jclass cls = env->FindClass("kordin/vestaro/VestaroException");
  fuzz::requireNoException(env, "VestaroException");
  vestaroException = static_cast<jclass>(env->NewGlobalRef(cls));
  env->DeleteLocalRef(cls);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Scenario scenario = fuzz::readScenario(data, size);
  winsim::reset();
  winsim::setJournalEnabled(true);  // the harness reads the revocations from it
  try {
    winsim::setDevices(scenario.devices);
  } catch (const std::invalid_argument&) {
    return -1;  // a set the stand-in refuses never reaches the natives
  }
  const std::string folder = folderPath(scenario.folder);
  setenv("TMPDIR", folder.c_str(), 1);
  for (const auto& rule : scenario.overrides) winsim::overrideRead(rule);
  for (const auto& fault : scenario.faults) winsim::injectFault(fault);
  if (tracing) {
    std::fprintf(stderr, "%zu devices, %zu read overrides, TMPDIR %s\n", scenario.devices.size(),
                 scenario.overrides.size(), folder.c_str());
    for (const auto& fault : scenario.faults) {
      std::fprintf(stderr, "fault %s -> 0x%08x, nth %u, target %s\n", fault.method.c_str(),
                   static_cast<unsigned>(fault.result), fault.nth, fault.target.c_str());
    }
  }
  const winsim::Census before = winsim::census();

  if (env->PushLocalFrame(64) != 0) finding("no local frame");
  {
    Run run;
    // Every input opens the platform and polls first, as the Java API does, so that the
    // operations after it mostly meet real handles.
    fuzz::Operation open;
    open.kind = fuzz::Operation::Kind::Initialize;
    run.perform(open);
    open.kind = fuzz::Operation::Kind::Poll;
    run.perform(open);
    for (const auto& op : scenario.operations) run.perform(op);
    run.finish();
  }
  env->PopLocalFrame(nullptr);

  const winsim::Census after = winsim::census();
  if (after != before) {
    std::ostringstream text;
    text << "the census changed from " << before << " to " << after << ": "
         << winsim::describeLiveObjects();
    finding(text.str());
  }
  for (auto which : {fuzz::TemporaryFolder::Plain, fuzz::TemporaryFolder::Unicode}) {
    const std::vector<std::string> left = takeLeftovers(folderPath(which));
    if (!left.empty()) finding("a file was left in " + folderPath(which) + ": " + left.front());
  }
  return 0;
}
