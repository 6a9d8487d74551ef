// Progress and cancel of file transfers: IT_MSG_STATUS messages band by band to the caller's
// IWiaDataCallback, ending at exactly 100; S_FALSE from the callback cancels at once and a
// failure stops the transfer, neither leaving a file; transferMillis spread over the bands.
#include <unistd.h>

#include <chrono>

#include "WiaTestSupport.h"

namespace wiatest {
namespace {

using ProgressTest = WiaTest;
using Clock = std::chrono::steady_clock;

// A caller's callback: records each message with the milliseconds since it was made, and
// answers `answer` to message number `answerAt` (0 for the first), S_OK to the others.
struct Recorder final : IWiaDataCallback {
  struct Message {
    LONG status, percent;
    double millis;
  };
  std::vector<Message> messages;
  size_t answerAt = static_cast<size_t>(-1);
  HRESULT answer = S_OK;
  Clock::time_point made = Clock::now();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG message, LONG status, LONG percent, LONG, LONG, LONG, LONG,
                                               BYTE*) override {
    EXPECT_EQ(IT_MSG_STATUS, message);
    messages.push_back({status, percent, std::chrono::duration<double, std::milli>(Clock::now() - made).count()});
    return messages.size() - 1 == answerAt ? answer : S_OK;
  }
};

// The item of a new session of the default scanner, for files of `format` at `dpi`.
ComPtr<IWiaItem> flatbedFor(const GUID& format, LONG dpi, ComPtr<IWiaItem>* root) {
  *root = openDevice(winsim::devices()[0].id);
  ComPtr<IWiaItem> item = childAt(root->get(), 0);
  auto storage = storageOf(item.get());
  EXPECT_EQ(S_OK, writeFormat(storage.get(), format));
  EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_XRES, dpi));
  EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_YRES, dpi));
  return item;
}

TEST_F(ProgressTest, EveryBandOfRowsReportsAndTheLastMessageIsExactly100) {
  ComPtr<IWiaItem> root;
  auto item = flatbedFor(WiaImgFmt_JPEG, 150, &root);  // 1753 rows of 3828 bytes: 17 in 64 KiB
  Recorder progress;
  ASSERT_EQ(S_OK, transferPage(item.get(), nullptr, &progress));
  const auto& m = progress.messages;
  ASSERT_EQ(2 + (1753 + 16) / 17u, m.size());
  EXPECT_EQ(IT_STATUS_TRANSFER_FROM_DEVICE, m.front().status);
  EXPECT_EQ(0, m.front().percent);
  for (size_t i = 1; i < m.size(); ++i) EXPECT_LE(m[i - 1].percent, m[i].percent) << "message " << i;
  EXPECT_EQ(100, m[m.size() - 2].percent);  // the last band
  EXPECT_EQ(IT_STATUS_TRANSFER_TO_CLIENT, m.back().status);
  EXPECT_EQ(100, m.back().percent);
  // Each message is journaled with the callback's answer; the transfer's entry says whether
  // it had a callback.
  const auto journaled = winsim::journal("IWiaDataCallback::BandedDataCallback");
  ASSERT_EQ(m.size(), journaled.size());
  EXPECT_EQ("msg=3 status=4 percent=100", journaled.back().detail);
  ASSERT_EQ(S_OK, transferPage(item.get()));
  const auto transfers = winsim::journal("IWiaDataTransfer::idtGetData");
  EXPECT_EQ(0u, transfers.at(0).detail.find("tymed=2 callback=yes file="));
  EXPECT_EQ(0u, transfers.at(1).detail.find("tymed=2 callback=no file="));
}

// A cancel stops at the message it answers: no later message, no file, S_FALSE, in either
// format and wherever it comes; a failure code stops the same way and is the result. A
// fault rule on the messages stands for the callback's answer.
TEST_F(ProgressTest, ACallbackCancelsOrStopsAtTheMessageItAnswers) {
  ComPtr<IWiaItem> jpegRoot, bmpRoot;
  auto jpeg = flatbedFor(WiaImgFmt_JPEG, 100, &jpegRoot);  // 1169 rows of 2552 bytes: 25 a band
  auto bmp = flatbedFor(WiaImgFmt_BMP, 100, &bmpRoot);
  const size_t last = 1 + (1169 + 24) / 25;
  const std::pair<size_t, HRESULT> answers[] = {{0, S_FALSE},         {1, S_FALSE},    {last - 1, S_FALSE},
                                                {last, S_FALSE},      {7, E_ABORT},    {last, E_FAIL}};
  for (IWiaItem* item : {jpeg.get(), bmp.get()}) {
    for (const auto& [at, answer] : answers) {
      SCOPED_TRACE("message " + std::to_string(at) + " answering " + std::to_string(answer));
      winsim::clearJournal();
      Recorder progress;
      progress.answerAt = at;
      progress.answer = answer;
      EXPECT_EQ(answer, transferPage(item, nullptr, &progress));
      EXPECT_EQ(at + 1, progress.messages.size());
      const std::string file = journaledFile(winsim::journal("IWiaDataTransfer::idtGetData").at(0));
      EXPECT_EQ(at == 0, file.empty()) << "a file is made after the first message";
      EXPECT_NE(0, ::access(file.c_str(), F_OK)) << file;
    }
  }
  winsim::injectFault({"IWiaDataCallback::BandedDataCallback", S_FALSE, 3, ""});
  winsim::injectFault({"IWiaDataCallback::BandedDataCallback", WIA_ERROR_OFFLINE, 5, ""});
  Recorder cancelled, failed;
  EXPECT_EQ(S_FALSE, transferPage(jpeg.get(), nullptr, &cancelled));
  EXPECT_EQ(3u, cancelled.messages.size());  // the third message was called, its S_OK replaced
  EXPECT_EQ(WIA_ERROR_OFFLINE, transferPage(jpeg.get(), nullptr, &failed));
  EXPECT_EQ(1u, failed.messages.size());  // the failed message never reached the callback
}

// A cancelled or failed page of the feeder loses its sheet, the other side unscanned.
TEST_F(ProgressTest, ACancelledFeederPageEjectsItsSheet) {
  winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
  scanner.feeder = winsim::FeederSpec{3, true, 0};
  winsim::setDevices({scanner});
  ComPtr<IWiaItem> root;
  auto item = flatbedFor(WiaImgFmt_JPEG, 50, &root);
  ASSERT_EQ(S_OK, writeLong(storageOf(root.get()).get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX));
  ASSERT_EQ(S_OK, writeLong(storageOf(root.get()).get(), WIA_DPS_PAGES, ALL_PAGES));
  Recorder cancelFront, failBack;
  cancelFront.answerAt = failBack.answerAt = 1;
  cancelFront.answer = S_FALSE;
  failBack.answer = E_FAIL;
  for (IWiaDataCallback* callback : {&cancelFront, static_cast<Recorder*>(nullptr), &failBack}) {
    transferPage(item.get(), nullptr, callback);
  }
  EXPECT_EQ(S_OK, transferPage(item.get()));
  EXPECT_EQ((std::vector<std::string>{"1 front", "2 front", "2 back", "3 front"}), fedSides());
  std::vector<HRESULT> results;
  for (const auto& entry : winsim::journal("IWiaDataTransfer::idtGetData")) results.push_back(entry.result);
  EXPECT_EQ((std::vector<HRESULT>{S_FALSE, S_OK, E_FAIL, S_OK}), results);
}

// transferMillis is spread over the bands: a band's message comes no sooner than its share
// of the time, with a callback or without. Lower bounds only: they hold however loaded the
// machine is.
TEST_F(ProgressTest, TransferMillisIsSpreadOverTheBands) {
  winsim::DeviceSpec slow = winsim::defaultDevices()[0];
  slow.transferMillis = 300;
  winsim::setDevices({slow});
  ComPtr<IWiaItem> root;
  auto item = flatbedFor(WiaImgFmt_BMP, 100, &root);
  Recorder progress;
  ASSERT_EQ(S_OK, transferPage(item.get(), nullptr, &progress));
  for (const auto& m : progress.messages) EXPECT_GE(m.millis, 300.0 * m.percent / 100) << m.percent << " %";
  const auto begun = Clock::now();
  ASSERT_EQ(S_OK, transferPage(item.get()));
  EXPECT_GE(Clock::now() - begun, std::chrono::milliseconds(300));
}

}  // namespace
}  // namespace wiatest
