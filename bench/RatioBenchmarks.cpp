// The ratio benchmarks: the natives in a real Java VM against the virtual devices, each
// against its floor, timed in alternated pairs: the same platform calls made directly from
// C++ (Direct), a plain libjpeg-turbo encode of the same pixels (PlainEncode), or SANE's
// scanimage; and the latency of a cancel. They measure; they never assert.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <winsim/control.h>
#include <winsim/devices.h>

#include "Measure.h"
#include "PlainEncode.h"
#include "Sides.h"
#include "drivers/Scanimage.h"

namespace bench {
namespace {

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

}  // namespace
}  // namespace bench
