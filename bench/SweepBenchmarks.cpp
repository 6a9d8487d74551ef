// The sweep benchmarks (time per item against the number of items, library and direct, for
// the plot), the memory over long batches and transfers, and single scans at each
// resolution. They measure; they never assert.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include <winsim/control.h>
#include <winsim/devices.h>

#include "Measure.h"
#include "Sides.h"

namespace bench {
namespace {

void BM_SweepPoll(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(1));
  install(devices(count, winsim::DeviceKind::Scanner));
  Library library;
  Direct direct;
  runSweep(state, count, [&] { library.pollOnce(); }, [&] { bench::direct::poll(direct.session); });
  reportMemory(state);
}

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

void BM_SweepFeederBatch(benchmark::State& state) {
  const auto pages = static_cast<jint>(state.range(1));
  install(feederScanner());
  {
    FeederOnBothSides feeder;
    runSweep(state, pages, [&] { feeder.byLibrary(pages); }, [&] { feeder.byDirect(pages); });
  }
  reportMemory(state);
}
// The sweeps, registered in this order: by the library and direct (the first argument, 1
// and 0) over the numbers of `items`, each for at least 0.2 s.
void sweep(const char* name, void (*run)(benchmark::State&), const char* items, std::vector<int64_t> counts,
           benchmark::TimeUnit unit) {
  benchmark::RegisterBenchmark(name, run)
      ->ArgNames({"library", items})
      ->ArgsProduct({{1, 0}, counts})
      ->MinTime(0.2)
      ->Unit(unit);
}
[[maybe_unused]] const bool kSweepsRegistered =
    (sweep("BM_SweepPoll", BM_SweepPoll, "devices", {10, 100, 1000, 10000}, benchmark::kMicrosecond),
     sweep("BM_SweepCameraTransfer", BM_SweepCameraTransfer, "pictures", {10, 100, 1000, 10000},
           benchmark::kMillisecond),
     sweep("BM_SweepFeederBatch", BM_SweepFeederBatch, "pages", {10, 100, 1000}, benchmark::kMillisecond), true);

// The growth of the resident size over `run`, as the counter rss_growth_MB.
void reportGrowth(benchmark::State& state, const std::function<void()>& run) {
  const double before = residentMB();
  run();
  state.counters["rss_growth_MB"] = residentMB() - before;
}

// The end of a long run of `items` items: the platform given back, then its memory reported.
void endMemoryRun(benchmark::State& state, int64_t items) {
  state.SetItemsProcessed(state.iterations() * items);
  winsim::reset();
  reportMemory(state);
}

// The resident size over one batch of N pages through the library, from after a warm-up
// batch of 100 to its end.
void BM_MemoryLongBatch(benchmark::State& state) {
  const auto pages = static_cast<jint>(state.range(0));
  for (auto _ : state) {
    install(feederScanner());
    Library library;
    LibraryScanner scanner(library.takeOnlyDevice(), kFeederDpi);
    scanner.scanOnce(100);
    reportGrowth(state, [&] {
      if (scanner.scanOnce(pages) != 0) state.SkipWithError("the batch did not complete");
    });
  }
  endMemoryRun(state, pages);
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
    reportGrowth(state, [&] { device.transferOnce(); });
  }
  endMemoryRun(state, pictures);
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
}  // namespace bench
