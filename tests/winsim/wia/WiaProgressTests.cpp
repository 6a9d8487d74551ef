// Progress and cancel of file transfers: IT_MSG_STATUS messages band by band to the caller's
// IWiaDataCallback, ending at exactly 100; S_FALSE from the callback cancels at once and a
// failure stops the transfer, neither leaving a file; transferMillis spread over the bands.
#include <chrono>

#include "WiaTestSupport.h"

namespace wiatest {
namespace {

using ProgressTest = WiaTest;

// The default scanner's item set up for files of `format` at `dpi`, area left as it is.
struct Flatbed {
  Ptr<IWiaItem> root = openDevice(kScannerId);
  Ptr<IWiaItem> item = childAt(root.get(), 0);

  Flatbed(const GUID& format, LONG dpi) {
    auto storage = storageOf(item.get());
    EXPECT_EQ(S_OK, writeFormat(storage.get(), format));
    EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_XRES, dpi));
    EXPECT_EQ(S_OK, writeLong(storage.get(), WIA_IPS_YRES, dpi));
  }
};

TEST_F(ProgressTest, EveryBandOfRowsReportsAndTheLastMessageIsExactly100) {
  Flatbed scanner(WiaImgFmt_JPEG, 150);  // 1275 x 1753 colour pixels: 17 rows in 64 KiB
  RecordingCallback callback;
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), nullptr, &callback));
  const auto& m = callback.messages;
  const size_t bands = (1753 + 16) / 17;
  ASSERT_EQ(bands + 2, m.size());
  EXPECT_EQ(IT_STATUS_TRANSFER_FROM_DEVICE, m.front().status);
  EXPECT_EQ(0, m.front().percent);
  for (size_t i = 1; i < m.size(); ++i) {
    EXPECT_EQ(IT_MSG_STATUS, m[i].message);
    EXPECT_LE(m[i - 1].percent, m[i].percent) << "message " << i;
  }
  EXPECT_EQ(IT_STATUS_TRANSFER_FROM_DEVICE, m[m.size() - 2].status);
  EXPECT_EQ(100, m[m.size() - 2].percent);  // every row made
  EXPECT_EQ(IT_STATUS_TRANSFER_TO_CLIENT, m.back().status);
  EXPECT_EQ(100, m.back().percent);

  // The journal has each message with the callback's answer, then the transfer that says it
  // had a callback; without one there is no message.
  const auto journaled = winsim::journal("IWiaDataCallback::BandedDataCallback");
  ASSERT_EQ(m.size(), journaled.size());
  EXPECT_EQ("msg=3 status=1 percent=0", journaled.front().detail);
  EXPECT_EQ("msg=3 status=4 percent=100", journaled.back().detail);
  EXPECT_EQ(winsim::fullItemName(kScannerId, "Flatbed"), journaled.back().target);
  ASSERT_EQ(S_OK, transferPage(scanner.item.get()));
  EXPECT_EQ(m.size(), winsim::journal("IWiaDataCallback::BandedDataCallback").size());
  const auto transfers = winsim::journal("IWiaDataTransfer::idtGetData");
  ASSERT_EQ(2u, transfers.size());
  EXPECT_EQ(0u, transfers[0].detail.find("tymed=2 callback=yes file="));
  EXPECT_EQ(0u, transfers[1].detail.find("tymed=2 callback=no file="));

  // A camera's picture reports the same way; a thin 1-bit scan fits one band.
  auto camera = openDevice(kCameraId);
  RecordingCallback pictureProgress;
  ASSERT_EQ(S_OK, transferPage(childAt(camera.get(), 0).get(), nullptr, &pictureProgress));
  EXPECT_EQ(2u + (240 + 67) / 68, pictureProgress.messages.size());  // 320 x 240 colour pixels
  ASSERT_EQ(S_OK, writeLong(storageOf(scanner.item.get()).get(), WIA_IPA_DATATYPE, WIA_DATA_THRESHOLD));
  ASSERT_EQ(S_OK, writeLong(storageOf(scanner.item.get()).get(), WIA_IPS_YEXTENT, 100));
  RecordingCallback thin;
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), nullptr, &thin));
  ASSERT_EQ(3u, thin.messages.size());
  EXPECT_EQ(100, thin.messages[1].percent);
}

// A cancel stops at the message it answers: no later message, no file, S_FALSE, whatever
// the format and wherever it comes; a failure code stops the same way and is the result.
TEST_F(ProgressTest, ACallbackCancelsOrStopsAtTheMessageItAnswers) {
  Flatbed jpeg(WiaImgFmt_JPEG, 100);  // 1169 rows of 850 colour pixels: 25 rows a band
  Flatbed bmp(WiaImgFmt_BMP, 100);
  const size_t messages = 2 + (1169 + 24) / 25;
  const struct {
    size_t at;
    HRESULT answer;
  } cases[] = {{0, S_FALSE}, {1, S_FALSE}, {20, S_FALSE}, {messages - 2, S_FALSE}, {messages - 1, S_FALSE},
               {0, E_ABORT}, {7, WIA_ERROR_USER_INTERVENTION}, {messages - 1, E_FAIL}};
  for (IWiaItem* item : {jpeg.item.get(), bmp.item.get()}) {
    for (const auto& c : cases) {
      SCOPED_TRACE("at message " + std::to_string(c.at) + " answering " + std::to_string(c.answer));
      winsim::clearJournal();
      RecordingCallback callback;
      callback.answerAt = c.at;
      callback.answer = c.answer;
      EXPECT_EQ(c.answer, transferPage(item, nullptr, &callback));
      EXPECT_EQ(c.at + 1, callback.messages.size());
      const auto entry = winsim::journal("IWiaDataTransfer::idtGetData").at(0);
      EXPECT_EQ(c.answer, entry.result);
      const std::string file = journaledFile(entry);
      EXPECT_EQ(c.at == 0, file.empty()) << "a file is only made after the first message";
      if (!file.empty()) {
        EXPECT_FALSE(fileExists(file)) << file;
      }
    }
  }
  // Other success codes than S_FALSE go on.
  RecordingCallback odd;
  odd.answerAt = 3;
  odd.answer = static_cast<HRESULT>(2);
  EXPECT_EQ(S_OK, transferPage(jpeg.item.get(), nullptr, &odd));
  EXPECT_EQ(messages, odd.messages.size());
}

// A fault rule on the callback's messages stands for the callback's answer.
TEST_F(ProgressTest, FaultsOnTheCallbackStandForItsAnswer) {
  Flatbed scanner(WiaImgFmt_JPEG, 75);
  winsim::injectFault({"IWiaDataCallback::BandedDataCallback", S_FALSE, 3, ""});
  RecordingCallback cancelled;
  EXPECT_EQ(S_FALSE, transferPage(scanner.item.get(), nullptr, &cancelled));
  EXPECT_EQ(3u, cancelled.messages.size()) << "the third message went to the callback";
  winsim::clearFaults();
  winsim::injectFault({"IWiaDataCallback::BandedDataCallback", WIA_ERROR_OFFLINE, 2, ""});
  RecordingCallback failed;
  EXPECT_EQ(WIA_ERROR_OFFLINE, transferPage(scanner.item.get(), nullptr, &failed));
  EXPECT_EQ(1u, failed.messages.size()) << "the failed message never reached the callback";
}

// A cancelled or failed page of the feeder loses its sheet: the sheet leaves the scanner,
// its other side unscanned, and the batch goes on with the next sheet.
TEST_F(ProgressTest, ACancelledFeederPageEjectsItsSheet) {
  winsim::DeviceSpec scanner = winsim::defaultDevices()[0];
  scanner.feeder = winsim::FeederSpec{3, true, 0};
  winsim::setDevices({scanner});
  Flatbed feeder(WiaImgFmt_JPEG, 50);
  auto device = storageOf(feeder.root.get());
  ASSERT_EQ(S_OK, writeLong(device.get(), WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX));
  ASSERT_EQ(S_OK, writeLong(device.get(), WIA_DPS_PAGES, ALL_PAGES));
  RecordingCallback cancelFront;
  cancelFront.answerAt = 2;
  cancelFront.answer = S_FALSE;
  EXPECT_EQ(S_FALSE, transferPage(feeder.item.get(), nullptr, &cancelFront));
  EXPECT_FALSE(winsim::feederState(scanner.id).sideWaiting);
  EXPECT_EQ(S_OK, transferPage(feeder.item.get()));
  RecordingCallback failBack;
  failBack.answerAt = 1;
  failBack.answer = E_FAIL;
  EXPECT_EQ(E_FAIL, transferPage(feeder.item.get(), nullptr, &failBack));
  EXPECT_EQ(S_OK, transferPage(feeder.item.get()));
  const auto transfers = winsim::journal("IWiaDataTransfer::idtGetData");
  ASSERT_EQ(4u, transfers.size());
  EXPECT_NE(std::string::npos, transfers[0].detail.find("sheet=1 front cancelled"));
  EXPECT_NE(std::string::npos, transfers[1].detail.find("sheet=2 front"));
  EXPECT_NE(std::string::npos, transfers[2].detail.find("sheet=2 back"));
  EXPECT_NE(std::string::npos, transfers[3].detail.find("sheet=3 front"));
}

// transferMillis is spread over the bands: a band's message comes no sooner than its share
// of the time, whether or not a callback listens. Only lower bounds: they do not depend on
// how loaded the machine is.
TEST_F(ProgressTest, TransferMillisIsSpreadOverTheBands) {
  winsim::DeviceSpec slow = winsim::defaultDevices()[0];
  slow.transferMillis = 300;
  winsim::setDevices({slow});
  Flatbed scanner(WiaImgFmt_BMP, 100);
  RecordingCallback callback;
  ASSERT_EQ(S_OK, transferPage(scanner.item.get(), nullptr, &callback));
  ASSERT_GT(callback.messages.size(), 10u);
  for (const auto& message : callback.messages) {
    EXPECT_GE(message.millis, 300.0 * message.percent / 100) << message.percent << " %";
  }
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(S_OK, transferPage(scanner.item.get()));
  EXPECT_GE(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(300));
}

}  // namespace
}  // namespace wiatest
