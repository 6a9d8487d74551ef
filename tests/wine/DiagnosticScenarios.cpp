// Diagnostic lines with debugging on, and a handle used on another thread.
#include <thread>

#include "Scenario.h"

namespace wine {
namespace {

class Debugging : public Scenario {
 protected:
  Debugging() { options.debug = true; }

  bool printed(const std::string& line) const {
    for (const std::string& l : host->errLines) {
      if (l == line) return true;
    }
    return false;
  }
};

// A refused setting (a resolution the device does not offer, or S_FALSE from the write)
// prints its line and the scan goes on; the listing follows its heading.
TEST_F(Debugging, RefusedSettingsPrintTheirLineAndTheListingFollows) {
  host->setInt(host->scanner, "resolution", 12345);
  winsim::injectFault({"IWiaPropertyStorage::WriteMultiple", S_FALSE, 4, ""});  // the data type
  const jlong manager = discover();
  library->transferScanner(handleOf(scannerId()), false);
  EXPECT_TRUE(nothingThrown());
  EXPECT_EQ(host->deliveries.size(), 1u);
  EXPECT_TRUE(printed("Failed to set property[0] " + std::to_string(WIA_IPS_XRES) + " to 12345"));
  EXPECT_TRUE(printed("Failed to set property[1] " + std::to_string(WIA_IPS_YRES) + " to 12345"));
  EXPECT_TRUE(printed("Failed to set property[2] " + std::to_string(WIA_IPA_DATATYPE) + " to 3"));
  EXPECT_TRUE(printed("\nItem property storage:"));
  const std::string itemName = "  " + std::to_string(WIA_IPA_ITEM_NAME) + " - ";
  bool listed = false;
  for (const std::string& line : host->errLines) {
    listed = listed || (line.rfind(itemName, 0) == 0 && line.find("\"Flatbed\"") != std::string::npos);
  }
  EXPECT_TRUE(listed) << "no listing line for the item's name";
  releaseAll(manager);
}

using Threads = Scenario;

// The device handle made on this thread works on another one, which the VM attaches; the
// object crosses apartments through the interface table.
TEST_F(Threads, AHandleFromOneThreadWorksOnAnother) {
  const jlong manager = discover();
  const jlong camera = handleOf(cameraId());
  std::thread other([&] {
    host->vm.attach(false);
    library->transferCamera(camera, false);
    fakejvm::Env* env = host->vm.envOfThisThread();
    EXPECT_EQ(env->pending(), nullptr);
    host->vm.detach();
    CoUninitialize();  // the library joined COM on this thread
  });
  other.join();
  EXPECT_EQ(host->deliveries.size(), 3u);
  releaseAll(manager);
}

}  // namespace
}  // namespace wine
