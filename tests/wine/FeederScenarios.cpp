// The virtual scanner's document feeder, progress and cancel on Wine's COM: a duplex batch
// with progress to the end of the paper, a cancel and a jam, driven through the system's
// interface table with Wine's OLE automation, task memory and files; then the same through
// the DLL's batch of pages and capabilities.
#include <algorithm>

#include "ComPtr.h"
#include "PropertyWrite.h"
#include "Scenario.h"

namespace wine {
namespace {

using FeederScenario = Scenario;

// A caller's progress callback: records the percentages and cancels at message `cancelAt`.
class Progress final : public IWiaDataCallback {
 public:
  std::vector<LONG> percents;
  size_t cancelAt = static_cast<size_t>(-1);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the scenario's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG, LONG, LONG percent, LONG, LONG, LONG, LONG, BYTE*) override {
    percents.push_back(percent);
    return percents.size() - 1 == cancelAt ? S_FALSE : S_OK;
  }
};

// One transfer: its result; a page that arrived is a file while it is held and gone once
// Wine's ReleaseStgMedium has run.
HRESULT page(IWiaDataTransfer* data, IWiaDataCallback* callback = nullptr) {
  STGMEDIUM medium{};
  medium.tymed = TYMED_FILE;
  const HRESULT hr = data->idtGetData(&medium, callback);
  if (hr != S_OK) {
    EXPECT_EQ(medium.lpszFileName, nullptr);
    return hr;
  }
  const std::string path = winsim::toUtf8(std::u16string(reinterpret_cast<const char16_t*>(medium.lpszFileName)));
  EXPECT_TRUE(Scenario::fileExists(path)) << path;
  ReleaseStgMedium(&medium);
  EXPECT_FALSE(Scenario::fileExists(path)) << path << " left behind";
  return hr;
}

TEST_F(FeederScenario, ADuplexBatchReportsProgressCancelsAndJams) {
  winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
  scanner.feeder = winsim::FeederSpec{3, true, 3};
  winsim::setDevices({scanner});
  const auto cookie = static_cast<DWORD>(registerVirtualManager());
  {
    ComPtr<IWiaDevMgr> manager;
    ASSERT_EQ(table->GetInterfaceFromGlobal(cookie, IID_IWiaDevMgr, manager.putVoid()), S_OK);
    BSTR id = SysAllocString(reinterpret_cast<const OLECHAR*>(winsim::toUtf16(scanner.id).c_str()));
    ComPtr<IWiaItem> root, item;
    ComPtr<IEnumWiaItem> children;
    ComPtr<IWiaPropertyStorage> device, scan;
    ComPtr<IWiaDataTransfer> data;
    EXPECT_EQ(manager->CreateDevice(id, root.put()), S_OK);
    SysFreeString(id);
    ASSERT_TRUE(root);
    ASSERT_EQ(root->QueryInterface(IID_IWiaPropertyStorage, device.putVoid()), S_OK);
    ASSERT_EQ(root->EnumChildItems(children.put()), S_OK);
    ASSERT_EQ(children->Next(1, item.put(), nullptr), S_OK);
    ASSERT_EQ(item->QueryInterface(IID_IWiaPropertyStorage, scan.putVoid()), S_OK);
    ASSERT_EQ(scan->QueryInterface(IID_IWiaDataTransfer, data.putVoid()), S_OK);
    ASSERT_EQ(writeLongProperty(scan.get(), WIA_IPA_TYMED, TYMED_FILE), S_OK);  // the scanner's BMP files
    ASSERT_EQ(writeLongProperty(scan.get(), WIA_IPS_XRES, 50), S_OK);
    ASSERT_EQ(writeLongProperty(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX), S_OK);
    ASSERT_EQ(writeLongProperty(device.get(), WIA_DPS_PAGES, ALL_PAGES), S_OK);

    Progress progress;
    EXPECT_EQ(page(data.get(), &progress), S_OK);
    ASSERT_GE(progress.percents.size(), 3u);
    EXPECT_EQ(progress.percents.front(), 0);
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(progress.percents.back(), 100);
    EXPECT_EQ(page(data.get()), S_OK);
    Progress cancel;
    cancel.cancelAt = 2;
    EXPECT_EQ(page(data.get(), &cancel), S_FALSE);  // sheet 2 leaves, its back unscanned
    EXPECT_EQ(cancel.percents.size(), 3u);
    EXPECT_EQ(page(data.get()), WIA_ERROR_PAPER_JAM);  // sheet 3
    ASSERT_EQ(writeLongProperty(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER), S_OK);
    EXPECT_EQ(page(data.get()), WIA_ERROR_PAPER_EMPTY);

    const auto cancelled = winsim::journal("IWiaDataTransfer::idtGetData").at(2).detail;
    ASSERT_NE(cancelled.find("sheet=2 front cancelled file="), std::string::npos) << cancelled;
    EXPECT_FALSE(Scenario::fileExists(cancelled.substr(cancelled.find("file=") + 5)));
  }
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), S_OK);
}

// ---- through the DLL ----

const std::vector<jint> kSmallPages = {WIA_IPS_XRES, 50, WIA_IPS_YRES, 50};

std::vector<jint> feederWrites(jint select) { return {WIA_DPS_DOCUMENT_HANDLING_SELECT, select, WIA_DPS_PAGES, ALL_PAGES}; }

// The default scanner with a feeder of `sheets`.
void installFeeder(unsigned sheets, bool duplex, unsigned jamAt = 0) {
  std::vector<winsim::DeviceSpec> devices = winsim::defaultDevices();
  devices[0].feeder = winsim::FeederSpec{sheets, duplex, jamAt};
  winsim::setDevices(devices);
}

// Every page was a file during its callback and is gone now.
void expectPagesGone(const std::vector<Delivery>& pages) {
  for (const Delivery& page : pages) {
    EXPECT_TRUE(page.existed) << page.path;
    EXPECT_GT(page.size, 100u);
    EXPECT_FALSE(Scenario::fileExists(page.path)) << page.path << " left behind";
  }
}

TEST_F(FeederScenario, TheDllScansADuplexBatchWithProgressToTheEndOfThePaper) {
  installFeeder(2, true);
  const jlong manager = discover();
  const long globals = host->vm.liveGlobals();
  EXPECT_EQ(library->scanPages(handleOf(scannerId()), feederWrites(FEEDER | DUPLEX | FRONT_FIRST), kSmallPages, 0), 0);
  EXPECT_TRUE(nothingThrown());
  EXPECT_EQ(host->vm.liveGlobals(), globals) << "the callback's reference to the scanner is given back";
  ASSERT_EQ(host->deliveries.size(), 4u);
  expectPagesGone(host->deliveries);
  std::vector<std::string> sides;
  for (const std::string& detail : details("IWiaDataTransfer::idtGetData")) {
    sides.push_back(detail.find("sheet=") == std::string::npos ? "empty" : detail.substr(detail.find("sheet=") + 6, 7));
  }
  EXPECT_EQ(sides, (std::vector<std::string>{"1 front", "1 back ", "2 front", "2 back ", "empty"}));
  for (jint page = 1; page <= 4; ++page) {
    std::vector<jint> percents;
    for (const auto& [at, percent] : host->progress) {
      if (at == page) percents.push_back(percent);
    }
    SCOPED_TRACE("page " + std::to_string(page));
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
  }
  releaseAll(manager);
}

// A cancel in the second page keeps the first and deletes the second's file; a jam is
// reported from the batch after the pages before it.
TEST_F(FeederScenario, TheDllCancelsInAPageAndReportsAJam) {
  installFeeder(5, false, 4);
  const jlong manager = discover();
  host->cancelPage = 2;
  host->cancelPercent = 40;
  EXPECT_EQ(library->scanPages(handleOf(scannerId()), feederWrites(FEEDER), kSmallPages, 0), 1);
  EXPECT_TRUE(nothingThrown());
  EXPECT_EQ(host->deliveries.size(), 1u);
  const std::string cancelled = details("IWiaDataTransfer::idtGetData").at(1);
  ASSERT_NE(cancelled.find("sheet=2 front cancelled file="), std::string::npos) << cancelled;
  EXPECT_FALSE(Scenario::fileExists(cancelled.substr(cancelled.find("file=") + 5)));

  host->cancelPage = -1;
  host->deliveries.clear();
  library->scanPages(handleOf(scannerId()), feederWrites(FEEDER), kSmallPages, 0);
  Host::Thrown thrown;
  ASSERT_TRUE(reportedFrom("ScanBatch.cpp", WIA_ERROR_PAPER_JAM, &thrown));
  EXPECT_EQ(host->deliveries.size(), 1u) << "sheet 2 left with the cancel, sheet 3 arrives, sheet 4 jams";
  expectPagesGone(host->deliveries);
  releaseAll(manager);
}

TEST_F(FeederScenario, TheDllReadsTheCapabilitiesOfADuplexFeeder) {
  installFeeder(1, true);
  const jlong manager = discover();
  const std::vector<jint> capabilities = library->capabilities(handleOf(scannerId()));
  EXPECT_TRUE(nothingThrown());
  ASSERT_GE(capabilities.size(), 16u);
  EXPECT_EQ(std::vector<jint>(capabilities.begin(), capabilities.begin() + 12),
            (std::vector<jint>{FLAT | FEED | DETECT_FEED | DUP, FLAT_READY | FEED_READY, FLATBED, 1, 8500, 11693, 8500,
                               14000, 1, 150, 1, 4}));
  releaseAll(manager);
}

// A host whose scanner has no scanProgress scans to the end: no progress, no cancel.
constexpr char kScanProgress[] = "WIAScanner.scanProgress";
using FeederWithoutProgress = WithoutMember<kScanProgress>;

TEST_F(FeederWithoutProgress, TheDllScansEveryPage) {
  ASSERT_EQ(library->onLoad(), JNI_VERSION_1_4);
  installFeeder(2, false);
  const jlong manager = discover();
  EXPECT_EQ(library->scanPages(handleOf(scannerId()), feederWrites(FEEDER), kSmallPages, 0), 0);
  EXPECT_TRUE(nothingThrown());
  EXPECT_EQ(host->deliveries.size(), 2u);
  expectPagesGone(host->deliveries);
  EXPECT_TRUE(host->progress.empty());
  releaseAll(manager);
}

}  // namespace
}  // namespace wine
