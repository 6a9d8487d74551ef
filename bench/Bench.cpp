// Benchmarks of the natives in a real Java VM against the virtual devices, each against its
// floor: the same platform calls made directly from C++ (Direct), and for a scan a plain
// libjpeg-turbo encode of the same pixels (PlainEncode). The Ratio benchmarks time
// alternated pairs and report the median ratio with its quartiles; the Sweep benchmarks give
// the time per item against the number of items for the plot; Memory follows the resident
// size across one long transfer. They measure; they never assert.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <winsim/control.h>
#include <winsim/devices.h>

#include "Direct.h"
#include "Jvm.h"
#include "PlainEncode.h"
#include "SameCalls.h"
#include "drivers/Scanimage.h"

namespace {

using bench::env;
namespace strict = vmstart::strict;

long kilobytesOf(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  }
  return 0;
}

double residentMB() { return kilobytesOf("VmRSS:") / 1024.0; }

// The process's memory, and what the platform still holds once the benchmark has given
// everything back (zero when nothing leaked).
void reportMemory(benchmark::State& state) {
  const winsim::Census held = winsim::census();
  state.counters["live_objects"] = held.comObjects + held.taskMemoryBlocks + held.bstrs;
  state.counters["rss_MB"] = residentMB();
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

std::vector<winsim::DeviceSpec> camera(int pictures, LONG width, LONG height) {
  auto set = devices(1, winsim::DeviceKind::Camera);
  set[0].generatedPictures = static_cast<unsigned>(pictures);
  set[0].generatedWidth = width;
  set[0].generatedHeight = height;
  return set;
}

// Installs `set` with the journal off: both sides then run on the same, quiet platform.
void install(std::vector<winsim::DeviceSpec> set) {
  winsim::reset();
  winsim::setJournalEnabled(false);
  winsim::setDevices(std::move(set));
}

// An object of the library's host and the handle it holds, released with the scope.
struct HostObject {
  jobject object;
  jlong handle = 0;

  explicit HostObject(jobject hostObject) : object(hostObject) {}
  ~HostObject() {
    if (handle) {  // zero: the handle belongs to another host object
      env->CallVoidMethod(object, strict::methodOf(env, object, "release", "(J)V"), handle);
      strict::requireNoException(env, "release");
    }
    env->DeleteLocalRef(object);
  }
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;
};

// The library's manager over the installed set, with a host that takes no device unless
// told to.
struct Library : HostObject {
  jmethodID poll = nullptr;

  Library() : HostObject(bench::newManager()) {
    handle = env->CallLongMethod(object, strict::methodOf(env, object, "initialize", "()J"));
    strict::requireNoException(env, "initialize");
    poll = strict::methodOf(env, object, "poll", "(J)V");
  }

  void pollOnce() {
    env->CallVoidMethod(object, poll, handle);
    strict::requireNoException(env, "poll");
  }
  // The handle of the set's one device, taken by the host in one poll.
  jlong takeOnlyDevice() {
    strict::setBooleanField(env, object, "accept", true);
    pollOnce();
    strict::setBooleanField(env, object, "accept", false);
    return strict::longField(env, object, "lastHandle");
  }
};

// A device object of the library's host, a camera or a scanner, on a device taken.
struct LibraryDevice : HostObject {
  jmethodID transfer;

  LibraryDevice(const char* className, jlong deviceHandle) : HostObject(bench::newDevice(className)) {
    handle = deviceHandle;
    transfer = strict::methodOf(env, object, "transfer", "(JZ)V");
  }

  void transferOnce() {
    env->CallVoidMethod(object, transfer, handle, JNI_FALSE);
    strict::requireNoException(env, "transfer");
  }
  // A scanner's next scans: colour, at `dpi`, of the area from the bed's corner.
  void setColourScan(jint dpi, jint width, jint height) {
    env->CallVoidMethod(object, strict::methodOf(env, object, "setScan", "(IIIIII)V"), jint(8), dpi, jint(0),
                        jint(0), width, height);
    strict::requireNoException(env, "setScan");
  }
};

// A scanner of the library's host over a device taken, for batches of pages: JPEG pages at
// `dpi` from the feeder, with the device's own page count 0 and the batch's count given. It
// releases the device unless another host object `owns` it.
struct LibraryScanner : HostObject {
  jlong device;
  jmethodID scanPages;
  jintArray rootWrites, itemWrites;  // global references

  LibraryScanner(jlong deviceHandle, LONG dpi, bool owns = true)
      : HostObject(bench::newDevice(bench::kScanner)), device(deviceHandle) {
    if (owns) handle = deviceHandle;
    scanPages = strict::methodOf(env, object, "scanPages", "(J[I[II)I");
    rootWrites = globalArray({WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER, WIA_DPS_PAGES, ALL_PAGES});
    itemWrites = globalArray({WIA_IPS_XRES, dpi, WIA_IPS_YRES, dpi});
    strict::setBooleanField(env, object, "recordProgress", false);
  }
  ~LibraryScanner() {
    env->DeleteGlobalRef(rootWrites);
    env->DeleteGlobalRef(itemWrites);
  }

  static jintArray globalArray(std::vector<jint> values) {
    jintArray local = env->NewIntArray(static_cast<jsize>(values.size()));
    env->SetIntArrayRegion(local, 0, static_cast<jsize>(values.size()), values.data());
    strict::requireNoException(env, "the writes");
    auto global = static_cast<jintArray>(env->NewGlobalRef(local));
    env->DeleteLocalRef(local);
    return global;
  }
  // The batch's outcome.
  jint scanOnce(jint pages) {
    const jint outcome = env->CallIntMethod(object, scanPages, device, rootWrites, itemWrites, pages);
    strict::requireNoException(env, "scanPages");
    return outcome;
  }
};

// A scanner whose feeder holds enough paper for every batch of a run, with a small page:
// A4 at 50 dpi, 413 by 584 pixels.
constexpr LONG kFeederDpi = 50;
std::vector<winsim::DeviceSpec> feederScanner(unsigned transferMillis = 0) {
  auto set = devices(1, winsim::DeviceKind::Scanner);
  set[0].feeder = winsim::FeederSpec{winsim::kFeederCapacity, false, 0};
  set[0].transferMillis = transferMillis;
  return set;
}

// The direct session over the installed set, closed with the scope.
struct Direct {
  bench::direct::Session session = bench::direct::open();
  ~Direct() { bench::direct::close(session); }
};

// The installed feeder scanner taken by both sides: the library's host scanner and the
// direct session, each scanning batches of pages.
struct FeederOnBothSides {
  Library library;
  LibraryScanner scanner{library.takeOnlyDevice(), kFeederDpi};
  Direct direct;
  DWORD cookie = bench::direct::takeFirstDevice(direct.session);

  ~FeederOnBothSides() { bench::direct::releaseDevice(direct.session, cookie); }
  void byLibrary(jint pages) { benchmark::DoNotOptimize(scanner.scanOnce(pages)); }
  void byDirect(jint pages) {
    benchmark::DoNotOptimize(bench::direct::feederBatch(direct.session, cookie, pages, kFeederDpi));
  }
};

// The processor time the whole process spends on `run` (the VM's own threads and the
// kernel's work for it included): on a machine shared with other work this varies far less
// than the time on the clock.
double millisecondsOf(const std::function<void()>& run) {
  auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
  };
  const double start = now();
  run();
  return now() - start;
}

double quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const size_t low = static_cast<size_t>(at);
  const size_t high = std::min(low + 1, values.size() - 1);
  return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

// The time on the clock that `run` takes: for a floor that is another process.
double wallMillisecondsOf(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Times `library` against `floor` in alternated pairs (which one goes first alternates too,
// so that drift of the machine falls on both) and reports the ratio's median and quartiles,
// in processor time of the process, or with `wall` on the clock.
void measurePairs(benchmark::State& state, const std::function<void()>& library,
                  const std::function<void()>& floor, bool wall = false) {
  library();  // warm-up: the VM compiles the host's methods, the files' folder is cached
  floor();
  auto timed = wall ? wallMillisecondsOf : millisecondsOf;
  std::vector<double> ratios, libraryTimes, floorTimes;
  bool libraryFirst = true;
  for (auto _ : state) {
    double a = 0, b = 0;
    if (libraryFirst) {
      a = timed(library);
      b = timed(floor);
    } else {
      b = timed(floor);
      a = timed(library);
    }
    libraryFirst = !libraryFirst;
    libraryTimes.push_back(a);
    floorTimes.push_back(b);
    ratios.push_back(a / b);
  }
  state.counters["ratio"] = quantile(ratios, 0.5);
  state.counters["ratio_q1"] = quantile(ratios, 0.25);
  state.counters["ratio_q3"] = quantile(ratios, 0.75);
  state.counters["library_ms"] = quantile(libraryTimes, 0.5);
  state.counters["floor_ms"] = quantile(floorTimes, 0.5);
}

// Fails the benchmark unless the library and the direct sequence made the same calls.
bool sameCalls(benchmark::State& state, const std::function<void()>& library,
               const std::function<void()>& direct) {
  const std::string difference = bench::differenceOf(library, direct);
  if (difference.empty()) return true;
  state.SkipWithError(("the direct calls differ from the library's: " + difference).c_str());
  return false;
}

// A camera transfer of N pictures of the given size, library against direct.
void BM_RatioCameraTransfer(benchmark::State& state) {
  const auto pictures = static_cast<int>(state.range(0));
  install(camera(pictures, static_cast<LONG>(state.range(1)), static_cast<LONG>(state.range(2))));
  Library library;
  LibraryDevice device(bench::kCamera, library.takeOnlyDevice());
  Direct direct;
  const DWORD cookie = bench::direct::takeFirstDevice(direct.session);
  auto byLibrary = [&] { device.transferOnce(); };
  auto byDirect = [&] { benchmark::DoNotOptimize(bench::direct::cameraTransfer(direct.session, cookie)); };
  if (sameCalls(state, byLibrary, byDirect)) measurePairs(state, byLibrary, byDirect);
  bench::direct::releaseDevice(direct.session, cookie);
}
BENCHMARK(BM_RatioCameraTransfer)
    ->ArgNames({"pictures", "width", "height"})
    ->Args({1000, 8, 8})
    ->Args({1000, 64, 48})
    ->Iterations(31)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A poll of N devices that the host already knows, so it takes none: the steady state of a
// host that polls every few seconds.
void BM_RatioPoll(benchmark::State& state) {
  install(devices(static_cast<int>(state.range(0)), winsim::DeviceKind::Scanner));
  Library library;
  Direct direct;
  auto byLibrary = [&] { library.pollOnce(); };
  auto byDirect = [&] { bench::direct::poll(direct.session); };
  if (sameCalls(state, byLibrary, byDirect)) measurePairs(state, byLibrary, byDirect);
}
BENCHMARK(BM_RatioPoll)->ArgName("devices")->Arg(1000)->Iterations(31)->Unit(benchmark::kMillisecond)->UseRealTime();

// A full-bed colour scan at the given resolution through the library, against a plain
// encode of the same pixels in memory.
void BM_RatioScan(benchmark::State& state) {
  const LONG dpi = static_cast<LONG>(state.range(0));
  install(devices(1, winsim::DeviceKind::Scanner));
  const winsim::DeviceSpec bed;
  const LONG width = bed.bedWidth * dpi / 1000;
  const LONG height = bed.bedHeight * dpi / 1000;
  Library library;
  LibraryDevice scanner(bench::kScanner, library.takeOnlyDevice());
  scanner.setColourScan(dpi, width, height);
  std::vector<uint8_t> pixels;
  {
    Direct direct;
    const DWORD cookie = bench::direct::takeFirstDevice(direct.session);
    pixels = bench::direct::scanPixels(direct.session, cookie, dpi, width, height);
    bench::direct::releaseDevice(direct.session, cookie);
  }
  measurePairs(state, [&] { scanner.transferOnce(); },
               [&] { benchmark::DoNotOptimize(bench::encodeInMemory(pixels, width, height, dpi)); });
  state.counters["pixels"] = static_cast<double>(width) * height;
}
BENCHMARK(BM_RatioScan)->ArgName("dpi")->Arg(300)->Iterations(15)->Unit(benchmark::kMillisecond)->UseRealTime();

// One page of SANE's test backend through the library and the service's SANE driver against
// scanimage with the same settings (colour, 8 bits, the whole 200 x 200 mm bed, the colour
// pattern) writing the page as a JPEG file: alternated pairs on the clock. Each side starts
// as a new scan does: SANE started, its devices listed, the device opened, set and read, the
// JPEG written, everything closed (the library's drivers are started afresh for each page;
// its VM runs already, as an application's does).
void BM_RatioSaneScan(benchmark::State& state) {
  const auto dpi = static_cast<jint>(state.range(0));
  const std::string folder = bench::useTestBackend("number_of_devices 1\ntest-picture \"Color pattern\"\n");
  const char* drivers = std::getenv("VESTARO_DRIVERS");
  const std::string savedDrivers = drivers ? drivers : "";
  setenv("VESTARO_DRIVERS", "sane", 1);
  install({});
  const auto side = static_cast<jint>(std::lround(200 / 25.4 * dpi));
  auto byLibrary = [&] {
    winsim::restartDrivers();
    Library library;
    LibraryDevice scanner(bench::kScanner, library.takeOnlyDevice());
    scanner.setColourScan(dpi, side, side);
    scanner.transferOnce();
  };
  auto byScanimage = [&] {
    if (bench::scanimageSeconds({"-d", "test:0", "--mode", "Color", "--depth", "8", "--resolution",
                                 std::to_string(dpi), "-l", "0", "-t", "0", "-x", "200", "-y", "200",
                                 "--test-picture", "Color pattern", "--format=jpeg", "-o", folder + "/page.jpg"}) < 0) {
      state.SkipWithError("scanimage failed");
    }
  };
  measurePairs(state, byLibrary, byScanimage, true);
  state.counters["pixels"] = static_cast<double>(side) * side;
  winsim::restartDrivers();
  drivers ? setenv("VESTARO_DRIVERS", savedDrivers.c_str(), 1) : unsetenv("VESTARO_DRIVERS");
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RatioSaneScan)->ArgName("dpi")->Arg(300)->Iterations(21)->Unit(benchmark::kMillisecond)->UseRealTime();

// A feeder batch of N pages through _scanPages (the host's scanProgress answering every
// message, recording nothing), against the same calls made directly with a callback that
// goes on.
void BM_RatioFeederBatch(benchmark::State& state) {
  const auto pages = static_cast<jint>(state.range(0));
  install(feederScanner());
  FeederOnBothSides feeder;
  auto byLibrary = [&] { feeder.byLibrary(pages); };
  auto byDirect = [&] { feeder.byDirect(pages); };
  if (sameCalls(state, byLibrary, byDirect)) measurePairs(state, byLibrary, byDirect);
}
BENCHMARK(BM_RatioFeederBatch)->ArgName("pages")->Arg(100)->Iterations(31)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same batch with the host's scanProgress recording each page and percent, against one
// that records nothing.
void BM_RatioProgress(benchmark::State& state) {
  const auto pages = static_cast<jint>(state.range(0));
  install(feederScanner());
  Library library;
  const jlong handle = library.takeOnlyDevice();
  LibraryScanner recording(handle, kFeederDpi, false);
  LibraryScanner quiet(handle, kFeederDpi);
  strict::setBooleanField(env, recording.object, "recordProgress", true);
  jmethodID clear = strict::methodOf(env, recording.object, "clearProgress", "()V");
  measurePairs(
      state,
      [&] {
        benchmark::DoNotOptimize(recording.scanOnce(pages));
        env->CallVoidMethod(recording.object, clear);  // what a progress bar keeps is its last value
      },
      [&] { benchmark::DoNotOptimize(quiet.scanOnce(pages)); });
}
BENCHMARK(BM_RatioProgress)->ArgName("pages")->Arg(100)->Iterations(31)->Unit(benchmark::kMillisecond)->UseRealTime();

// From a host thread's cancel() in the middle of the second page to _scanPages returning,
// on a device whose pages take `millis` each, against the interval of its progress
// messages (the page's time over its bands of rows).
void BM_CancelLatency(benchmark::State& state) {
  const auto millis = static_cast<unsigned>(state.range(0));
  install(feederScanner(millis));
  Library library;
  const jlong handle = library.takeOnlyDevice();
  LibraryScanner owner(handle, kFeederDpi);  // gives the device back at the end
  double bands = 0;
  {
    winsim::setJournalEnabled(true);
    LibraryScanner counting(handle, kFeederDpi, false);
    counting.scanOnce(1);
    // The messages of a page: one at 0 % before the file, one per band, one when it is done.
    bands = static_cast<double>(winsim::journal("IWiaDataCallback::BandedDataCallback").size()) - 2;
    winsim::setJournalEnabled(false);
  }
  const double interval = millis / bands;
  jclass system = env->FindClass("java/lang/System");
  jmethodID nanoTime = env->GetStaticMethodID(system, "nanoTime", "()J");
  std::vector<double> latencies;
  for (auto _ : state) {
    LibraryScanner scanner(handle, kFeederDpi, false);
    env->CallVoidMethod(scanner.object, strict::methodOf(env, scanner.object, "cancelAfter", "(J)V"),
                        static_cast<jlong>(millis * 3 / 2));
    if (scanner.scanOnce(0) != 1) state.SkipWithError("the batch was not cancelled");
    const jlong returned = env->CallStaticLongMethod(system, nanoTime);
    const jlong cancelled = env->CallLongMethod(scanner.object, strict::methodOf(env, scanner.object, "cancelledAt", "()J"));
    strict::requireNoException(env, "the times");
    latencies.push_back((returned - cancelled) / 1e6);
  }
  env->DeleteLocalRef(system);
  state.counters["latency_ms"] = quantile(latencies, 0.5);
  state.counters["latency_max_ms"] = quantile(latencies, 1.0);
  state.counters["interval_ms"] = interval;
  state.counters["latency_intervals"] = quantile(latencies, 0.5) / interval;
  state.counters["latency_max_intervals"] = quantile(latencies, 1.0) / interval;
}
BENCHMARK(BM_CancelLatency)->ArgName("page_ms")->Arg(400)->Iterations(15)->Unit(benchmark::kMillisecond)->UseRealTime();

// Time per item against the number of items, library and direct, for the plot; the growth
// of the resident size over the repeated calls (after the first has set everything up).
// The state's first argument is 1 for the library, 0 for the direct calls.
void runSweep(benchmark::State& state, int64_t items, const std::function<void()>& byLibrary,
              const std::function<void()>& byDirect) {
  const std::function<void()>& run = state.range(0) == 1 ? byLibrary : byDirect;
  const double before = residentMB();
  for (auto _ : state) run();
  state.counters["rss_growth_MB"] = residentMB() - before;
  state.SetItemsProcessed(state.iterations() * items);
}

void BM_SweepPoll(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(1));
  install(devices(count, winsim::DeviceKind::Scanner));
  Library library;
  Direct direct;
  runSweep(state, count, [&] { library.pollOnce(); }, [&] { bench::direct::poll(direct.session); });
  reportMemory(state);
}
BENCHMARK(BM_SweepPoll)
    ->ArgNames({"library", "devices"})
    ->ArgsProduct({{1, 0}, {10, 100, 1000, 10000}})
    ->MinTime(0.2)
    ->Unit(benchmark::kMicrosecond);

void BM_SweepCameraTransfer(benchmark::State& state) {
  const auto pictures = static_cast<int>(state.range(1));
  install(camera(pictures, 64, 48));
  Library library;
  LibraryDevice device(bench::kCamera, library.takeOnlyDevice());
  Direct direct;
  const DWORD cookie = bench::direct::takeFirstDevice(direct.session);
  runSweep(state, pictures, [&] { device.transferOnce(); },
           [&] { benchmark::DoNotOptimize(bench::direct::cameraTransfer(direct.session, cookie)); });
  bench::direct::releaseDevice(direct.session, cookie);
  reportMemory(state);
}
BENCHMARK(BM_SweepCameraTransfer)
    ->ArgNames({"library", "pictures"})
    ->ArgsProduct({{1, 0}, {10, 100, 1000, 10000}})
    ->MinTime(0.2)
    ->Unit(benchmark::kMillisecond);

void BM_SweepFeederBatch(benchmark::State& state) {
  const auto pages = static_cast<jint>(state.range(1));
  install(feederScanner());
  {
    FeederOnBothSides feeder;
    runSweep(state, pages, [&] { feeder.byLibrary(pages); }, [&] { feeder.byDirect(pages); });
  }
  reportMemory(state);
}
BENCHMARK(BM_SweepFeederBatch)
    ->ArgNames({"library", "pages"})
    ->ArgsProduct({{1, 0}, {10, 100, 1000}})
    ->MinTime(0.2)
    ->Unit(benchmark::kMillisecond);

// The resident size over one batch of N pages through the library, from after a warm-up
// batch of 100 to its end.
void BM_MemoryLongBatch(benchmark::State& state) {
  const auto pages = static_cast<jint>(state.range(0));
  for (auto _ : state) {
    install(feederScanner());
    Library library;
    LibraryScanner scanner(library.takeOnlyDevice(), kFeederDpi);
    scanner.scanOnce(100);
    const double before = residentMB();
    if (scanner.scanOnce(pages) != 0) state.SkipWithError("the batch did not complete");
    state.counters["rss_growth_MB"] = residentMB() - before;
  }
  state.SetItemsProcessed(state.iterations() * pages);
  winsim::reset();
  reportMemory(state);
}
BENCHMARK(BM_MemoryLongBatch)->ArgName("pages")->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The resident size across one long camera transfer through the library, on the platform
// as it starts (its journal as reset() leaves it): the growth from after a warm-up transfer
// to the end of the long one.
void BM_MemoryLongTransfer(benchmark::State& state) {
  const auto pictures = static_cast<int>(state.range(0));
  for (auto _ : state) {
    winsim::reset();
    winsim::setDevices(camera(1000, 8, 8));
    double before = 0;
    {
      Library library;
      LibraryDevice device(bench::kCamera, library.takeOnlyDevice());
      device.transferOnce();
      device.transferOnce();
    }
    winsim::reset();
    winsim::setDevices(camera(pictures, 8, 8));
    Library library;
    LibraryDevice device(bench::kCamera, library.takeOnlyDevice());
    before = residentMB();
    device.transferOnce();
    state.counters["rss_growth_MB"] = residentMB() - before;
  }
  state.SetItemsProcessed(state.iterations() * pictures);
  winsim::reset();
  reportMemory(state);
}
BENCHMARK(BM_MemoryLongTransfer)->ArgName("pictures")->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One unattended colour scan of a 4 by 3 inch area at the given resolution into a JPEG file.
void BM_Scan(benchmark::State& state) {
  install(devices(1, winsim::DeviceKind::Scanner));
  Library library;
  LibraryDevice scanner(bench::kScanner, library.takeOnlyDevice());
  const jint resolution = static_cast<jint>(state.range(0));
  scanner.setColourScan(resolution, 4 * resolution, 3 * resolution);
  for (auto _ : state) scanner.transferOnce();
  state.SetItemsProcessed(state.iterations());
  state.counters["pixels"] = 12.0 * resolution * resolution;
  reportMemory(state);
}
BENCHMARK(BM_Scan)->ArgName("dpi")->Arg(75)->Arg(150)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The benchmarks measure the virtual devices; the machine's own scanners and cameras
  // stay out (the SANE benchmark turns SANE on for itself).
  setenv("VESTARO_DRIVERS", "virtual", 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!bench::startJvm()) {
    std::fprintf(stderr, "the Java VM could not be created\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
