// Camera and scanner transfers: files in Wine's temporary folder, present in the callback
// and gone after it; dialogs; the scan settings as the device receives them.
#include "Scenario.h"

namespace wine {
namespace {

std::string temporaryFolder() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  return winsim::toUtf8(std::u16string(reinterpret_cast<const char16_t*>(folder), length));
}

void expectFiles(const std::vector<Delivery>& deliveries, const std::string& format) {
  for (const Delivery& d : deliveries) {
    EXPECT_EQ(d.format, format);
    EXPECT_TRUE(d.existed) << d.path;
    EXPECT_EQ(d.path.rfind(temporaryFolder(), 0), 0u) << d.path << " is outside " << temporaryFolder();
    EXPECT_EQ(d.head.substr(0, 2), format == "jpg" ? std::string("\xFF\xD8") : std::string("BM"));
    EXPECT_GT(d.size, 100u);
    EXPECT_FALSE(Scenario::fileExists(d.path)) << d.path << " left behind";
  }
}

class Transfers : public Scenario {
 protected:
  // A transfer that threw nothing and handed the host `count` files of `format`.
  void expectDeliveredQuietly(size_t count, const std::string& format) {
    EXPECT_TRUE(nothingThrown());
    ASSERT_EQ(host->deliveries.size(), count);
    expectFiles(host->deliveries, format);
  }
};

TEST_F(Transfers, CameraDeliversEveryPictureAsJpeg) {
  const jlong manager = discover();
  library->transferCamera(handleOf(cameraId()), false);
  expectDeliveredQuietly(3, "jpg");
  releaseAll(manager);
}

TEST_F(Transfers, CameraDialogPicksArriveInTheirOrderAndCancelDeliversNothing) {
  const std::string third = winsim::fullItemName(cameraId(), "IMG_0003");
  const std::string first = winsim::fullItemName(cameraId(), "IMG_0001");
  winsim::setDialogScript(cameraId(), {{winsim::DialogAction::Pick, {"IMG_0003", "IMG_0001"}, {}, {}},
                                       {winsim::DialogAction::Cancel, {}, {}, {}}});
  const jlong manager = discover();
  library->transferCamera(handleOf(cameraId()), true);
  ASSERT_EQ(host->deliveries.size(), 2u);
  EXPECT_EQ(targets("IWiaDataTransfer::idtGetData"), (std::vector<std::string>{third, first}));
  expectFiles(host->deliveries, "jpg");

  library->transferCamera(handleOf(cameraId()), true);
  EXPECT_TRUE(nothingThrown());
  EXPECT_EQ(host->deliveries.size(), 2u);
  releaseAll(manager);
}

// Failures of the dialog, the item list and the fetch of the next item are reported from
// the operation's source, after whatever already arrived.
TEST_F(Transfers, FailuresOfTheDialogTheListAndTheFetchAreReported) {
  struct Case {
    const char* method;
    HRESULT code;
    unsigned nth;
    bool camera;
    bool dialog;
    size_t delivered;
    const char* file;
  };
  const Case cases[] = {
      {"IEnumWiaItem::Next", WIA_ERROR_OFFLINE, 2, true, false, 1, "WIACamera.cpp"},
      {"IWiaItem::EnumChildItems", WIA_ERROR_BUSY, 0, true, false, 0, "WIACamera.cpp"},
      {"IWiaItem::DeviceDlg", WIA_ERROR_BUSY, 0, true, true, 0, "WIACamera.cpp"},
      {"IWiaItem::DeviceDlg", WIA_ERROR_PAPER_JAM, 0, false, true, 0, "WIAScanner.cpp"},
      {"IWiaItem::EnumChildItems", WIA_ERROR_OFFLINE, 0, false, false, 0, "WIAScanner.cpp"},
  };
  const jlong manager = discover();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + (c.camera ? " camera" : " scanner"));
    winsim::clearFaults();
    winsim::injectFault({c.method, c.code, c.nth, ""});
    host->deliveries.clear();
    if (c.camera) {
      library->transferCamera(handleOf(cameraId()), c.dialog);
    } else {
      library->transferScanner(handleOf(scannerId()), c.dialog);
    }
    Host::Thrown thrown;
    ASSERT_TRUE(reportedFrom(c.file, c.code, &thrown));
    EXPECT_EQ(host->deliveries.size(), c.delivered);
    expectFiles(host->deliveries, "jpg");
  }
  winsim::clearFaults();
  releaseAll(manager);
}

TEST_F(Transfers, ADeviceWithoutJpegFallsBackToBmp) {
  auto devices = winsim::defaultDevices();
  devices[1].jpegFiles = false;
  winsim::setDevices(devices);
  const jlong manager = discover();
  library->transferCamera(handleOf(cameraId()), false);
  ASSERT_EQ(host->deliveries.size(), 3u);
  expectFiles(host->deliveries, "bmp");
  releaseAll(manager);
}

// A picture failing in the middle does not stop the others; its failure comes last.
TEST_F(Transfers, APictureFailingInTheMiddleIsReportedAfterTheOthers) {
  winsim::injectFault({"IWiaDataTransfer::idtGetData", WIA_ERROR_BUSY, 2, ""});
  const jlong manager = discover();
  library->transferCamera(handleOf(cameraId()), false);
  EXPECT_EQ(host->deliveries.size(), 2u);
  Host::Thrown thrown;
  ASSERT_TRUE(reportedFrom("WIAUtils.cpp", WIA_ERROR_BUSY, &thrown));
  EXPECT_EQ(thrown.className, "kordin/vestaro/VestaroException");
  EXPECT_GT(thrown.line, 0);
  expectFiles(host->deliveries, "jpg");
  releaseAll(manager);
}

// Every call the item road makes, failing, gives its own code from the reporting source.
TEST_F(Transfers, FailuresOfTheItemRoadCarryCodeSourceAndLine) {
  const jlong manager = discover();
  for (const char* method : {"IWiaItem::QueryInterface", "IWiaPropertyStorage::QueryInterface",
                             "IWiaDataTransfer::idtGetData"}) {
    SCOPED_TRACE(method);
    winsim::clearFaults();
    winsim::injectFault({method, E_ACCESSDENIED, 1, winsim::fullItemName(scannerId(), "Flatbed")});
    host->deliveries.clear();
    library->transferScanner(handleOf(scannerId()), false);
    Host::Thrown thrown;
    ASSERT_TRUE(reportedFrom("WIAUtils.cpp", E_ACCESSDENIED, &thrown));
    EXPECT_GT(thrown.line, 0);
    EXPECT_TRUE(host->deliveries.empty());
  }
  winsim::clearFaults();
  releaseAll(manager);
}

TEST_F(Transfers, AThrowingListenerDoesNotStopTheCamera) {
  host->throwFromTransferDone = true;
  const jlong manager = discover();
  library->transferCamera(handleOf(cameraId()), false);
  EXPECT_EQ(host->deliveries.size(), 3u);
  Host::Thrown thrown;
  ASSERT_TRUE(host->takeThrown(&thrown));
  EXPECT_EQ(thrown.className, "java/lang/IllegalStateException");
  EXPECT_EQ(thrown.suppressed.size(), 2u);
  expectFiles(host->deliveries, "jpg");
  releaseAll(manager);
}

// The settings reach the device one property at a time, in this order.
TEST_F(Transfers, UnattendedScanWritesTheSettingsInOrder) {
  host->setInt(host->scanner, "resolution", 300);
  host->setInt(host->scanner, "bitDepth", -8);
  host->setInt(host->scanner, "x", 10);
  host->setInt(host->scanner, "y", 20);
  host->setInt(host->scanner, "width", 100);
  host->setInt(host->scanner, "height", 50);
  const jlong manager = discover();
  library->transferScanner(handleOf(scannerId()), false);
  expectDeliveredQuietly(1, "jpg");
  auto written = details("IWiaPropertyStorage::WriteMultiple");
  ASSERT_EQ(written.size(), 9u);  // the format pair, then one write per setting
  auto property = [](PROPID id, LONG value) { return std::to_string(id) + "=I4:" + std::to_string(value); };
  EXPECT_EQ(std::vector<std::string>(written.begin() + 1, written.end()),
            (std::vector<std::string>{property(WIA_IPS_XRES, 300), property(WIA_IPS_YRES, 300),
                                      property(WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE), property(WIA_IPA_DEPTH, 8),
                                      property(WIA_IPS_XPOS, 10), property(WIA_IPS_YPOS, 20),
                                      property(WIA_IPS_XEXTENT, 100), property(WIA_IPS_YEXTENT, 50)}));
  releaseAll(manager);
}

TEST_F(Transfers, ScannerDialogScansTheChosenItem) {
  const jlong manager = discover();
  library->transferScanner(handleOf(scannerId()), true);
  expectDeliveredQuietly(1, "jpg");
  EXPECT_TRUE(details("IWiaPropertyStorage::WriteMultiple").size() == 1u) << "a dialog scan writes no setting";
  releaseAll(manager);
}

}  // namespace
}  // namespace wine
