// How long one page of SANE's test backend takes through the service's SANE backend
// against `scanimage` with the same settings: alternated pairs, medians, the ratio. It
// measures and reports; it asserts nothing, and ctest does not run it.
//
//   vestaro_sane_scan_check [PAIRS] [DPI]      (defaults: 11 pairs, 300 dpi)
//
// Each side starts cold, as a scan from a new process does: the backend is made (SANE
// loaded and initialised), the device opened, set (colour, 8 bits, the whole 200 x 200 mm
// bed, the colour pattern) and scanned, its rows handed to a sink that only counts them,
// and everything closed again; scanimage does the same and writes the page as PNM to
// /dev/null. Two more figures: the page alone on a device already open, as a running
// service scans, rows counted and rows kept in a SaneRaster (the whole page in memory).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Scanimage.h"
#include "sane/SaneBackend.h"
#include "sane/SaneDevice.h"

namespace {

using Clock = std::chrono::steady_clock;
using winsim::drivers::DriverStatus;
using winsim::drivers::SaneBackend;
using winsim::drivers::SaneDevice;
using winsim::drivers::SaneRaster;
using winsim::drivers::SaneRowSink;

// Rows handed on and dropped, as scanimage's go to /dev/null.
struct CountingSink : SaneRowSink {
  size_t bytes = 0;
  LONG rowBytes = 0;
  DriverStatus begin(LONG width, LONG, int channels) override {
    rowBytes = width * channels;
    bytes = 0;
    return DriverStatus{};
  }
  DriverStatus row(const uint8_t*) override {
    bytes += static_cast<size_t>(rowBytes);
    return DriverStatus{};
  }
  DriverStatus end(LONG, bool) override { return DriverStatus{}; }
};

double seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool check(const DriverStatus& status, const char* what) {
  if (!status.ok()) std::fprintf(stderr, "%s: 0x%08x %s\n", what, static_cast<unsigned>(status.code), status.text.c_str());
  return status.ok();
}

bool configure(SaneDevice& device, double dpi) {
  return check(device.setText("mode", "Color"), "mode") && check(device.setNumber("depth", 8), "depth") &&
         check(device.setResolution(dpi), "resolution") && check(device.setNumber("tl-x", 0), "tl-x") &&
         check(device.setNumber("tl-y", 0), "tl-y") && check(device.setNumber("br-x", 200), "br-x") &&
         check(device.setNumber("br-y", 200), "br-y") &&
         check(device.setText("test-picture", "Color pattern"), "test-picture");
}

// A cold scan through the backend; the page's bytes in `*bytes`.
double backendScan(double dpi, size_t* bytes) {
  Clock::time_point start = Clock::now();
  SaneBackend backend;
  std::unique_ptr<SaneDevice> device;
  if (!backend.available() || !check(backend.open("test:0", &device), "open") || !configure(*device, dpi)) return -1;
  CountingSink rows;
  if (!check(device->scanPage(rows), "scan")) return -1;
  *bytes = rows.bytes;
  device.reset();
  return seconds(start);
}

double scanimageScan(double dpi) {
  return bench::scanimageSeconds({"-d", "test:0", "--mode", "Color", "--depth", "8", "--resolution",
                                  std::to_string(static_cast<int>(dpi)), "-l", "0", "-t", "0", "-x", "200", "-y",
                                  "200", "--test-picture", "Color pattern", "--format=pnm"});
}

}  // namespace

int main(int argc, char** argv) {
  int pairs = argc > 1 ? std::atoi(argv[1]) : 11;
  double dpi = argc > 2 ? std::atof(argv[2]) : 300;
  const std::string folder = bench::useTestBackend("");
  if (folder.empty()) return 1;

  std::vector<double> backend, scanimage;
  size_t bytes = 0;
  for (int i = 0; i < pairs; ++i) {
    // Alternated, each pair in the other order, so that drift of the machine falls on both.
    double a = 0, b = 0;
    if (i % 2 == 0) {
      a = backendScan(dpi, &bytes);
      b = scanimageScan(dpi);
    } else {
      b = scanimageScan(dpi);
      a = backendScan(dpi, &bytes);
    }
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "pair %d failed (backend %.3f s, scanimage %.3f s)\n", i, a, b);
      return 1;
    }
    backend.push_back(a);
    scanimage.push_back(b);
  }

  // The page alone, on an open device: rows counted, and rows kept.
  std::vector<double> warm, kept;
  {
    SaneBackend service;
    std::unique_ptr<SaneDevice> device;
    if (!check(service.open("test:0", &device), "open") || !configure(*device, dpi)) return 1;
    for (int i = 0; i < pairs; ++i) {
      CountingSink rows;
      Clock::time_point start = Clock::now();
      if (!check(device->scanPage(rows), "scan")) return 1;
      warm.push_back(seconds(start));
      SaneRaster page;
      start = Clock::now();
      if (!check(device->scanPage(&page), "scan")) return 1;
      kept.push_back(seconds(start));
    }
  }
  std::filesystem::remove_all(folder);

  double mine = median(backend), theirs = median(scanimage);
  std::printf("SANE test backend, colour, 8 bits, 200 x 200 mm at %.0f dpi (%zu bytes), %d alternated pairs\n",
              dpi, bytes, pairs);
  std::printf("  backend, cold (start, open, set, scan, close): median %.3f s\n", mine);
  std::printf("  scanimage, same settings, PNM to /dev/null:    median %.3f s\n", theirs);
  std::printf("  ratio backend / scanimage:                     %.3f\n", mine / theirs);
  std::printf("  backend, page alone on an open device:         median %.3f s\n", median(warm));
  std::printf("  the same, the page kept in memory:             median %.3f s\n", median(kept));
  return 0;
}
