#include "Measure.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>

#include <winsim/control.h>

#include "SameCalls.h"

namespace bench {
namespace {

long kilobytesOf(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  }
  return 0;
}


// The processor time the whole process spends on `run`.
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

// The time on the clock that `run` takes: for a floor that is another process.
double wallMillisecondsOf(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

double residentMB() { return kilobytesOf("VmRSS:") / 1024.0; }

void reportMemory(benchmark::State& state) {
  const winsim::Census held = winsim::census();
  state.counters["live_objects"] = held.comObjects + held.taskMemoryBlocks + held.bstrs;
  state.counters["rss_MB"] = residentMB();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = usage.ru_maxrss / 1024.0;
}

double quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const size_t low = static_cast<size_t>(at);
  const size_t high = std::min(low + 1, values.size() - 1);
  return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

void measurePairs(benchmark::State& state, const std::function<void()>& library,
                  const std::function<void()>& floor, bool wall) {
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

bool sameCalls(benchmark::State& state, const std::function<void()>& library,
               const std::function<void()>& direct) {
  const std::string difference = bench::differenceOf(library, direct);
  if (difference.empty()) return true;
  state.SkipWithError(("the direct calls differ from the library's: " + difference).c_str());
  return false;
}

void runSweep(benchmark::State& state, int64_t items, const std::function<void()>& byLibrary,
              const std::function<void()>& byDirect) {
  const std::function<void()>& run = state.range(0) == 1 ? byLibrary : byDirect;
  const double before = residentMB();
  for (auto _ : state) run();
  state.counters["rss_growth_MB"] = residentMB() - before;
  state.SetItemsProcessed(state.iterations() * items);
}

}  // namespace bench
