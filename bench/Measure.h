// How the benchmarks measure: times of alternated pairs of the library and its floor, with
// the ratio's median and quartiles; sweeps of time per item; the process's memory and what
// the platform still holds. They report into the benchmark's counters; they never assert.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace bench {

// The process's resident size in MB.
double residentMB();

// The process's memory, and what the platform still holds once the benchmark has given
// everything back (zero when nothing leaked).
void reportMemory(benchmark::State& state);

// The value at quantile `q` (0 to 1) of `values`, interpolated between neighbours.
double quantile(std::vector<double> values, double q);

// Times `library` against `floor` in alternated pairs (which one goes first alternates too,
// so that drift of the machine falls on both) and reports the ratio's median and quartiles,
// in processor time of the process (the VM's own threads and the kernel's work for it
// included, which on a machine shared with other work varies far less than the time on the
// clock), or with `wall` on the clock, for a floor that is another process.
void measurePairs(benchmark::State& state, const std::function<void()>& library,
                  const std::function<void()>& floor, bool wall = false);

// Fails the benchmark unless the library and the direct sequence made the same calls.
bool sameCalls(benchmark::State& state, const std::function<void()>& library,
               const std::function<void()>& direct);

// Time per item against the number of items, library and direct, for the plot; the growth
// of the resident size over the repeated calls (after the first has set everything up).
// The state's first argument is 1 for the library, 0 for the direct calls.
void runSweep(benchmark::State& state, int64_t items, const std::function<void()>& byLibrary,
              const std::function<void()>& byDirect);

}  // namespace bench
