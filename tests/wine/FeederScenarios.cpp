// The virtual scanner's document feeder, progress and cancel on Wine's COM: a duplex batch
// with progress to the end of the paper, a cancel and a jam, driven through the system's
// interface table with Wine's OLE automation, task memory and files, as the DLLs' feeder
// transfers will meet them.
#include <algorithm>

#include "ComPtr.h"
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

HRESULT writeLong(IWiaPropertyStorage* storage, PROPID id, LONG value) {
  PROPSPEC spec{PRSPEC_PROPID, {id}};
  PROPVARIANT number;
  PropVariantInit(&number);
  number.vt = VT_I4;
  number.lVal = value;
  return storage->WriteMultiple(1, &spec, &number, WIA_IPA_FIRST);
}

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
    ASSERT_EQ(writeLong(scan.get(), WIA_IPA_TYMED, TYMED_FILE), S_OK);  // the scanner's BMP files
    ASSERT_EQ(writeLong(scan.get(), WIA_IPS_XRES, 50), S_OK);
    ASSERT_EQ(writeLong(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX), S_OK);
    ASSERT_EQ(writeLong(device.get(), WIA_DPS_PAGES, ALL_PAGES), S_OK);

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
    ASSERT_EQ(writeLong(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER), S_OK);
    EXPECT_EQ(page(data.get()), WIA_ERROR_PAPER_EMPTY);

    const auto cancelled = winsim::journal("IWiaDataTransfer::idtGetData").at(2).detail;
    ASSERT_NE(cancelled.find("sheet=2 front cancelled file="), std::string::npos) << cancelled;
    EXPECT_FALSE(Scenario::fileExists(cancelled.substr(cancelled.find("file=") + 5)));
  }
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), S_OK);
}

}  // namespace
}  // namespace wine
