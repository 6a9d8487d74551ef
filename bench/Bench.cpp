// Benchmarks of the natives in a real Java VM against the virtual devices, each against its
// floor: the same platform calls made directly from C++ (Direct), and for a scan a plain
// libjpeg-turbo encode of the same pixels (PlainEncode). The Ratio benchmarks time
// alternated pairs and report the median ratio with its quartiles; the Sweep benchmarks give
// the time per item against the number of items for the plot; Memory follows the resident
// size across one long transfer. They measure; they never assert. They register from
// RatioBenchmarks.cpp and SweepBenchmarks.cpp, in that order (the order they are linked in);
// this file starts the VM and runs them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "Jvm.h"

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
