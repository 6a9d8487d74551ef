// The progress callback of the probe build, driven as a driver drives it: its COM rules, the
// messages it turns into scanProgress calls from the transfer's thread and from threads the
// VM has never seen, cancels and closes, and a throwing scanProgress carried back.
#include <dlfcn.h>

#include <thread>

#include "DeviceHost.h"
#include "probe/ProgressProbe.h"

namespace jvmtest {
namespace {

class ProgressCallbackTest : public ProbeTest<DeviceTest, ProgressProbeApi> {
 protected:
  ProgressCallbackTest() : ProbeTest(PROGRESS_PROBE_API_SYMBOL) {}

  void SetUp() override {
    ProbeTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    scanner_ = newScanner();
    callback_ = api_->newProgressCallback(env_, scanner_);
    ASSERT_NE(callback_, nullptr);
  }
  void TearDown() override {
    if (callback_) {
      EXPECT_EQ(callback_->Release(), 0u);
    }
    DeviceTest::TearDown();
  }

  HRESULT status(LONG percent) { return callback_->BandedDataCallback(IT_MSG_STATUS, 1, percent, 0, 0, 0, 0, nullptr); }
  HRESULT statusFromNewThread(LONG percent) {
    HRESULT answer = E_FAIL;
    std::thread([&] { answer = status(percent); }).join();
    return answer;
  }
  jint liveThreads() { return callStatic<jint>(env_, kHarness, "liveThreadCount", "()I"); }

  jobject scanner_ = nullptr;
  IWiaDataCallback* callback_ = nullptr;
};

TEST_F(ProgressCallbackTest, CountsReferencesAndAnswersForItsTwoInterfaces) {
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(callback_->QueryInterface(IID_IWiaEventCallback, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(callback_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  for (const IID* iid : {&IID_IUnknown, &IID_IWiaDataCallback}) {
    ASSERT_EQ(callback_->QueryInterface(*iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(callback_));
  }
  EXPECT_EQ(callback_->AddRef(), 4u) << "the creator's and the two queries'";
  EXPECT_EQ(callback_->Release(), 3u);
  EXPECT_EQ(callback_->Release(), 2u);
  EXPECT_EQ(callback_->Release(), 1u);  // the last one goes in TearDown, destroying it
}

// Status messages become scanProgress(page, percent within 0..100), on the transfer's thread
// or on one the VM has never seen, which is attached for the call and detached again; other
// messages ask nothing. Once the host says stop, and after close, every message is S_FALSE.
TEST_F(ProgressCallbackTest, StatusMessagesAskTheHostFromAnyThreadUntilItStops) {
  const jint threadsBefore = liveThreads();
  EXPECT_TRUE(api_->beginPage(callback_, env_, 2));
  EXPECT_EQ(status(40), S_OK);
  EXPECT_EQ(statusFromNewThread(250), S_OK);
  EXPECT_EQ(statusFromNewThread(-5), S_OK);
  EXPECT_EQ(callback_->BandedDataCallback(IT_MSG_DATA, 1, 50, 0, 16, 0, 16, nullptr), S_OK);
  EXPECT_EQ(liveThreads(), threadsBefore) << "threads attached for a message are detached again";
  EXPECT_EQ(progress(scanner_), (std::vector<Progress>{{2, 0}, {2, 40}, {2, 100}, {2, 0}}));

  cancelAt(scanner_, 2, 60);
  EXPECT_EQ(statusFromNewThread(60), S_FALSE);
  EXPECT_EQ(status(70), S_FALSE);
  EXPECT_FALSE(api_->beginPage(callback_, env_, 3));
  EXPECT_EQ(progress(scanner_).size(), 5u) << "nothing asked after the host said stop";
  EXPECT_FALSE(api_->throwHostFailure(callback_, env_));

  IWiaDataCallback* closed = api_->newProgressCallback(env_, scanner_);
  api_->close(closed);
  EXPECT_EQ(closed->BandedDataCallback(IT_MSG_STATUS, 1, 10, 0, 0, 0, 0, nullptr), S_FALSE);
  EXPECT_EQ(closed->Release(), 0u);
  EXPECT_EQ(progress(scanner_).size(), 5u);
}

// An exception of scanProgress on a driver's thread cancels there and is thrown again on the
// transfer's thread, once.
TEST_F(ProgressCallbackTest, AThrowingScanProgressIsCarriedToTheTransfersThread) {
  throwAt(scanner_, 1, 50, "java/lang/IllegalStateException", "host stopped");
  EXPECT_TRUE(api_->beginPage(callback_, env_, 1));
  EXPECT_EQ(statusFromNewThread(50), S_FALSE);
  EXPECT_EQ(status(60), S_FALSE);
  EXPECT_TRUE(api_->throwHostFailure(callback_, env_));
  JavaException e = takeException(env_);
  EXPECT_EQ(e.className, "java.lang.IllegalStateException") << e.describe();
  EXPECT_EQ(e.message, "host stopped");
  EXPECT_FALSE(api_->throwHostFailure(callback_, env_));
  EXPECT_FALSE(env_->ExceptionCheck());
}

}  // namespace
}  // namespace jvmtest
