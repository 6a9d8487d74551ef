// Benchmarks of the natives in a real Java VM against the virtual devices: a poll of N
// devices, a camera transfer of N small pictures, and a scan at a few resolutions. Each
// reports the time per operation and the process's resident and peak memory. They measure;
// they never assert.
#include <benchmark/benchmark.h>
#include <jni.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <winsim/control.h>
#include <winsim/devices.h>

namespace {

JNIEnv* env = nullptr;

// A failed call ends the benchmark run: a measurement of a broken call means nothing.
void check(const char* what) {
  if (!env->ExceptionCheck()) return;
  std::fprintf(stderr, "%s threw:\n", what);
  env->ExceptionDescribe();
  std::exit(1);
}

jobject newObject(const char* className) {
  jclass cls = env->FindClass(className);
  check(className);
  jobject object = env->NewObject(cls, env->GetMethodID(cls, "<init>", "()V"));
  check(className);
  env->DeleteLocalRef(cls);
  return object;
}

jmethodID methodOf(jobject object, const char* name, const char* signature) {
  jclass cls = env->GetObjectClass(object);
  jmethodID method = env->GetMethodID(cls, name, signature);
  env->DeleteLocalRef(cls);
  check(name);
  return method;
}

void setBoolean(jobject object, const char* name, bool value) {
  jclass cls = env->GetObjectClass(object);
  env->SetBooleanField(object, env->GetFieldID(cls, name, "Z"), value ? JNI_TRUE : JNI_FALSE);
  env->DeleteLocalRef(cls);
  check(name);
}

jint intField(jobject object, const char* name) {
  jclass cls = env->GetObjectClass(object);
  const jint value = env->GetIntField(object, env->GetFieldID(cls, name, "I"));
  env->DeleteLocalRef(cls);
  return value;
}

bool startJvm() {
  std::string classPath = std::string("-Djava.class.path=") + VESTARO_JAR + ":" + BENCH_HOST_JAR;
  std::string libraryPath = std::string("-Djava.library.path=") + LIBRARY_PATH;
  JavaVMOption options[] = {
      {const_cast<char*>(classPath.c_str()), nullptr},
      {const_cast<char*>(libraryPath.c_str()), nullptr},
      // A fixed heap, so that the resident size follows the library, not the heap's sizing.
      {const_cast<char*>("-Xms64m"), nullptr},
      {const_cast<char*>("-Xmx64m"), nullptr},
  };
  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(sizeof options / sizeof options[0]);
  args.options = options;
  JavaVM* vm = nullptr;
  if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) return false;

  jclass host = env->FindClass("kordin/vestaro/bench/BenchHost");
  check("BenchHost");
  jstring name = env->NewStringUTF(LIBRARY_NAME);
  jobject thrown = env->CallStaticObjectMethod(
      host, env->GetStaticMethodID(host, "load", "(Ljava/lang/String;)Ljava/lang/Throwable;"), name);
  check("load");
  if (thrown) {
    env->Throw(static_cast<jthrowable>(thrown));
    check("System.loadLibrary");
  }
  env->DeleteLocalRef(name);
  env->DeleteLocalRef(host);
  return true;
}

long kilobytesOf(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  }
  return 0;
}

// The process's memory, and what the platform still holds once the benchmark has given
// everything back (zero when nothing leaked).
void reportMemory(benchmark::State& state) {
  const winsim::Census held = winsim::census();
  state.counters["live_objects"] = held.comObjects + held.taskMemoryBlocks + held.bstrs;
  state.counters["rss_MB"] = kilobytesOf("VmRSS:") / 1024.0;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = usage.ru_maxrss / 1024.0;
}

std::vector<winsim::DeviceSpec> devices(int count, winsim::DeviceKind kind) {
  std::vector<winsim::DeviceSpec> set;
  for (int i = 0; i < count; ++i) {
    winsim::DeviceSpec device;
    device.kind = kind;
    device.id = "{BENCH}\\" + std::to_string(i);
    device.name = "Device " + std::to_string(i);
    set.push_back(device);
  }
  return set;
}

// A manager of the library over a device set, and its handle.
struct Opened {
  jobject manager = nullptr;
  jlong managerHandle = 0;
};

// Installs `set` and opens a manager whose host takes no device.
Opened openManager(std::vector<winsim::DeviceSpec> set) {
  winsim::reset();
  winsim::setJournalEnabled(false);
  winsim::setDevices(std::move(set));
  Opened opened;
  opened.manager = newObject("kordin/vestaro/bench/BenchManager");
  opened.managerHandle = env->CallLongMethod(opened.manager, methodOf(opened.manager, "initialize", "()J"));
  check("initialize");
  return opened;
}

void closeManager(Opened& opened) {
  env->CallVoidMethod(opened.manager, methodOf(opened.manager, "release", "(J)V"), opened.managerHandle);
  check("release");
  env->DeleteLocalRef(opened.manager);
}

// A poll of N devices that the host already knows, so it takes none: the steady state of a
// host that polls every few seconds.
void BM_Poll(benchmark::State& state) {
  Opened opened = openManager(devices(static_cast<int>(state.range(0)), winsim::DeviceKind::Scanner));
  jmethodID poll = methodOf(opened.manager, "poll", "(J)V");
  for (auto _ : state) {
    env->CallVoidMethod(opened.manager, poll, opened.managerHandle);
    check("poll");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  closeManager(opened);
  reportMemory(state);
}
BENCHMARK(BM_Poll)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The handle of the set's one device, taken by the host in one poll.
jlong firstDeviceHandle(Opened& opened) {
  setBoolean(opened.manager, "accept", true);
  env->CallVoidMethod(opened.manager, methodOf(opened.manager, "poll", "(J)V"), opened.managerHandle);
  check("poll");
  setBoolean(opened.manager, "accept", false);
  jclass cls = env->GetObjectClass(opened.manager);
  const jlong handle = env->GetLongField(opened.manager, env->GetFieldID(cls, "lastHandle", "J"));
  env->DeleteLocalRef(cls);
  return handle;
}

// One camera transfer of N pictures of 64 by 48 pixels, each into a JPEG file that the host
// sees and that is deleted after its callback.
void BM_CameraTransfer(benchmark::State& state) {
  auto set = devices(1, winsim::DeviceKind::Camera);
  set[0].generatedPictures = static_cast<unsigned>(state.range(0));
  Opened opened = openManager(set);
  const jlong device = firstDeviceHandle(opened);
  jobject camera = newObject("kordin/vestaro/bench/BenchCamera");
  jmethodID transfer = methodOf(camera, "transfer", "(JZ)V");
  for (auto _ : state) {
    env->CallVoidMethod(camera, transfer, device, JNI_FALSE);
    check("camera transfer");
  }
  state.SetItemsProcessed(intField(camera, "images"));
  env->CallVoidMethod(camera, methodOf(camera, "release", "(J)V"), device);
  check("device release");
  env->DeleteLocalRef(camera);
  closeManager(opened);
  reportMemory(state);
}
BENCHMARK(BM_CameraTransfer)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// One unattended colour scan of a 4 by 3 inch area at the given resolution into a JPEG file.
void BM_Scan(benchmark::State& state) {
  Opened opened = openManager(devices(1, winsim::DeviceKind::Scanner));
  const jlong device = firstDeviceHandle(opened);
  jobject scanner = newObject("kordin/vestaro/bench/BenchScanner");
  const jint resolution = static_cast<jint>(state.range(0));
  env->CallVoidMethod(scanner, methodOf(scanner, "setScan", "(IIIIII)V"), jint(8), resolution, jint(0),
                      jint(0), 4 * resolution, 3 * resolution);
  jmethodID transfer = methodOf(scanner, "transfer", "(JZ)V");
  for (auto _ : state) {
    env->CallVoidMethod(scanner, transfer, device, JNI_FALSE);
    check("scan");
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["pixels"] = 12.0 * resolution * resolution;
  env->CallVoidMethod(scanner, methodOf(scanner, "release", "(J)V"), device);
  check("device release");
  env->DeleteLocalRef(scanner);
  closeManager(opened);
  reportMemory(state);
}
BENCHMARK(BM_Scan)->Arg(75)->Arg(150)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!startJvm()) {
    std::fprintf(stderr, "the Java VM could not be created\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
