// The virtual scanner's document feeder, progress and cancel on Wine's COM: a duplex batch
// to the end of the paper, a jam, progress messages and a cancel, driven through the system's
// interface table with Wine's OLE automation, task memory and files, as the DLLs' feeder
// transfers will meet them.
#include "ComPtr.h"
#include "Scenario.h"

namespace wine {
namespace {

using FeederScenario = Scenario;

// A caller's progress callback: records the percentages and cancels at message `cancelAt`.
class Progress final : public IWiaDataCallback {
 public:
  std::vector<LONG> percents;
  std::vector<LONG> statuses;
  size_t cancelAt = static_cast<size_t>(-1);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = riid == IID_IUnknown || riid == IID_IWiaDataCallback ? static_cast<IWiaDataCallback*>(this) : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the scenario's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG, LONG lStatus, LONG lPercentComplete, LONG, LONG, LONG, LONG,
                                               BYTE*) override {
    statuses.push_back(lStatus);
    percents.push_back(lPercentComplete);
    return percents.size() - 1 == cancelAt ? S_FALSE : S_OK;
  }
};

// The scan item of the scanner with a feeder, opened through a virtual manager that the
// system's interface table hands back, and set up for JPEG files at 50 dpi.
class FeederScanner {
 public:
  FeederScanner(IGlobalInterfaceTable* table, DWORD cookie, const std::string& id) {
    ComPtr<IWiaDevMgr> manager;
    EXPECT_EQ(table->GetInterfaceFromGlobal(cookie, IID_IWiaDevMgr, manager.putVoid()), S_OK);
    if (!manager) return;
    const std::u16string wide = winsim::toUtf16(id);
    BSTR name = SysAllocString(reinterpret_cast<const OLECHAR*>(wide.c_str()));
    EXPECT_EQ(manager->CreateDevice(name, root_.put()), S_OK);
    SysFreeString(name);
    if (!root_) return;
    EXPECT_EQ(root_->QueryInterface(IID_IWiaPropertyStorage, device_.putVoid()), S_OK);
    ComPtr<IEnumWiaItem> children;
    EXPECT_EQ(root_->EnumChildItems(children.put()), S_OK);
    if (!children) return;
    ComPtr<IWiaItem> item;
    EXPECT_EQ(children->Next(1, item.put(), nullptr), S_OK);
    if (!item) return;
    EXPECT_EQ(item->QueryInterface(IID_IWiaPropertyStorage, scan_.putVoid()), S_OK);
    if (!scan_) return;
    EXPECT_EQ(scan_->QueryInterface(IID_IWiaDataTransfer, data_.putVoid()), S_OK);
    if (!data_) return;
    EXPECT_EQ(write(scan_.get(), WIA_IPA_TYMED, TYMED_FILE), S_OK);  // brings the scanner's BMP files
    EXPECT_EQ(write(scan_.get(), WIA_IPS_XRES, 50), S_OK);
    EXPECT_EQ(write(scan_.get(), WIA_IPS_YRES, 50), S_OK);
  }

  static HRESULT write(IWiaPropertyStorage* storage, PROPID id, LONG value) {
    PROPSPEC spec{PRSPEC_PROPID, {id}};
    PROPVARIANT number;
    PropVariantInit(&number);
    number.vt = VT_I4;
    number.lVal = value;
    return storage->WriteMultiple(1, &spec, &number, WIA_IPA_FIRST);
  }
  HRESULT writeRoot(PROPID id, LONG value) { return write(device_.get(), id, value); }
  LONG readRoot(PROPID id) {
    PROPSPEC spec{PRSPEC_PROPID, {id}};
    PROPVARIANT value;
    EXPECT_EQ(device_->ReadMultiple(1, &spec, &value), S_OK);
    const LONG number = value.vt == VT_I4 ? value.lVal : -1;
    PropVariantClear(&value);
    return number;
  }

  // One transfer: its result; a page that arrived must be a file while it is held and gone
  // once ReleaseStgMedium has run.
  HRESULT page(IWiaDataCallback* callback = nullptr) {
    STGMEDIUM medium{};
    medium.tymed = TYMED_FILE;
    const HRESULT hr = data_->idtGetData(&medium, callback);
    if (hr != S_OK) {
      EXPECT_EQ(medium.lpszFileName, nullptr);
      return hr;
    }
    const std::string path =
        winsim::toUtf8(std::u16string(reinterpret_cast<const char16_t*>(medium.lpszFileName)));
    EXPECT_TRUE(Scenario::fileExists(path)) << path;
    ReleaseStgMedium(&medium);
    EXPECT_FALSE(Scenario::fileExists(path)) << path << " left behind";
    return hr;
  }

 private:
  ComPtr<IWiaItem> root_;
  ComPtr<IWiaPropertyStorage> device_;
  ComPtr<IWiaPropertyStorage> scan_;
  ComPtr<IWiaDataTransfer> data_;
};

winsim::DeviceSpec scannerWithFeeder(unsigned sheets, unsigned jamAt) {
  winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
  scanner.feeder = winsim::FeederSpec{sheets, true, jamAt};
  return scanner;
}

// What each transfer took from the feeder, from the journal: "sheet=1 front", "feeder=empty".
std::vector<std::string> fedSides() {
  std::vector<std::string> sides;
  for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) {
    const std::string& detail = entry.detail;
    const size_t at = detail.find(detail.find("sheet=") != std::string::npos ? "sheet=" : "feeder=");
    const size_t end = detail.find(" file=");
    sides.push_back(at == std::string::npos ? "" : detail.substr(at, end == std::string::npos ? end : end - at));
  }
  return sides;
}

TEST_F(FeederScenario, ADuplexBatchRunsToTheEndOfThePaperAndAJamStopsIt) {
  winsim::setDevices({scannerWithFeeder(2, 0)});
  const DWORD cookie = static_cast<DWORD>(registerVirtualManager());
  {
    FeederScanner scanner(table, cookie, scannerId());
    ASSERT_EQ(scanner.writeRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX), S_OK);
    ASSERT_EQ(scanner.writeRoot(WIA_DPS_PAGES, ALL_PAGES), S_OK);
    EXPECT_EQ(scanner.readRoot(WIA_DPS_DOCUMENT_HANDLING_STATUS), FLAT_READY | FEED_READY | DUP_READY);
    for (int side = 0; side < 4; ++side) EXPECT_EQ(scanner.page(), S_OK);
    EXPECT_EQ(scanner.page(), WIA_ERROR_PAPER_EMPTY);
    EXPECT_EQ(scanner.readRoot(WIA_DPS_DOCUMENT_HANDLING_STATUS), FLAT_READY);
    EXPECT_EQ(fedSides(), (std::vector<std::string>{"sheet=1 front", "sheet=1 back", "sheet=2 front",
                                                    "sheet=2 back", "feeder=empty"}));
  }
  winsim::setDevices({scannerWithFeeder(3, 2)});
  winsim::clearJournal();
  {
    FeederScanner scanner(table, cookie, scannerId());
    ASSERT_EQ(scanner.writeRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER), S_OK);
    ASSERT_EQ(scanner.writeRoot(WIA_DPS_PAGES, ALL_PAGES), S_OK);
    EXPECT_EQ(scanner.page(), S_OK);
    EXPECT_EQ(scanner.page(), WIA_ERROR_PAPER_JAM);
    EXPECT_EQ(scanner.readRoot(WIA_DPS_DOCUMENT_HANDLING_STATUS), FLAT_READY | PAPER_JAM);
    ASSERT_EQ(scanner.writeRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER), S_OK);
    EXPECT_EQ(scanner.page(), S_OK);
    EXPECT_EQ(fedSides(), (std::vector<std::string>{"sheet=1 front", "feeder=jammed", "sheet=3 front"}));
  }
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), S_OK);
}

TEST_F(FeederScenario, ProgressEndsAt100AndACancelLeavesNoFile) {
  winsim::setDevices({scannerWithFeeder(3, 0)});
  const DWORD cookie = static_cast<DWORD>(registerVirtualManager());
  {
    FeederScanner scanner(table, cookie, scannerId());
    ASSERT_EQ(scanner.writeRoot(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER), S_OK);
    ASSERT_EQ(scanner.writeRoot(WIA_DPS_PAGES, ALL_PAGES), S_OK);
    Progress progress;
    EXPECT_EQ(scanner.page(&progress), S_OK);
    ASSERT_GE(progress.percents.size(), 3u);
    EXPECT_EQ(progress.percents.front(), 0);
    for (size_t i = 1; i < progress.percents.size(); ++i) EXPECT_LE(progress.percents[i - 1], progress.percents[i]);
    EXPECT_EQ(progress.percents.back(), 100);
    EXPECT_EQ(progress.statuses.back(), IT_STATUS_TRANSFER_TO_CLIENT);

    Progress cancel;
    cancel.cancelAt = 2;
    EXPECT_EQ(scanner.page(&cancel), S_FALSE);
    EXPECT_EQ(cancel.percents.size(), 3u);
    const auto transfers = winsim::journal("IWiaDataTransfer::idtGetData");
    ASSERT_EQ(transfers.size(), 2u);
    const size_t file = transfers[1].detail.find("file=");
    ASSERT_NE(file, std::string::npos);
    EXPECT_FALSE(Scenario::fileExists(transfers[1].detail.substr(file + 5))) << "the cancelled page's file";
    EXPECT_EQ(scanner.page(), S_OK);  // the next sheet
    EXPECT_EQ(fedSides().back(), "sheet=3 front");
  }
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), S_OK);
}

}  // namespace
}  // namespace wine
