// SANE's own test backend opened through the service's SANE backend, with the settings the
// tests make on it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sane/SaneBackend.h"
#include "sane/SaneDevice.h"

namespace winsim::drivers {

struct TestScanner {
  SaneBackend backend;
  std::unique_ptr<SaneDevice> device;

  explicit TestScanner(const SaneBackendOptions& options = {}, const std::string& name = "test:0")
      : backend(options) {
    EXPECT_TRUE(backend.available()) << backend.unavailableReason();
    DriverStatus opened = backend.open(name, &device);
    EXPECT_TRUE(opened.ok()) << opened.text;
  }

  void set(const std::string& option, const std::string& value) {
    DriverStatus status = device->setText(option, value);
    ASSERT_TRUE(status.ok()) << option << "=" << value << ": " << status.text;
  }
  void set(const std::string& option, double value) {
    DriverStatus status = device->setNumber(option, value);
    ASSERT_TRUE(status.ok()) << option << "=" << value << ": " << status.text;
  }

  // A small page: `dpi` over an area of `millimetres` square at the bed's corner.
  void smallPage(double dpi = 50, double millimetres = 20) {
    set(SANE_NAME_SCAN_RESOLUTION, dpi);
    set(SANE_NAME_SCAN_TL_X, 0.0);
    set(SANE_NAME_SCAN_TL_Y, 0.0);
    set(SANE_NAME_SCAN_BR_X, millimetres);
    set(SANE_NAME_SCAN_BR_Y, millimetres);
  }
};

}  // namespace winsim::drivers
