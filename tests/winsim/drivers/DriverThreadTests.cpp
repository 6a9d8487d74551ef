// The driver thread: calls within their limit, a call that overruns and holds the library,
// the calls behind it, clean-up of what a late call made, and an end that does not wait.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <new>
#include <thread>

#include "DriverThread.h"

namespace winsim::drivers {
namespace {

using std::chrono::milliseconds;

// A call that blocks until the test lets it go, as a hung driver call does.
struct Gate {
  std::promise<void> opened;
  std::shared_future<void> wait = opened.get_future().share();
  void open() { opened.set_value(); }
};

// A call `name` made while "hang" holds `thread`: refused at once as busy, never run (`ran`
// stays false).
DriverStatus callBehindHang(DriverThread& thread, const char* name, milliseconds limit, std::atomic<bool>& ran) {
  int unused = 0;
  DriverStatus refused = thread.call<int>(name, limit, [&ran] {
    ran = true;
    return 1;
  }, &unused);
  EXPECT_EQ(refused.code, WIA_ERROR_BUSY);
  EXPECT_EQ(refused.text, "test is still in hang, past its time limit");
  return refused;
}

TEST(DriverThread, ACallWithinItsLimitGivesItsResult) {
  DriverThread thread("test", milliseconds(5000));
  int result = 0;
  DriverStatus status = thread.call<int>("answer", milliseconds(5000), [] { return 42; }, &result);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(result, 42);
  EXPECT_FALSE(thread.held());
}

TEST(DriverThread, ACallPastItsLimitHoldsTheThreadUntilItReturnsAndItsResultIsCleanedUp) {
  DriverThread thread("test", milliseconds(5000));
  Gate gate;
  std::atomic<int> cleanedUp{0};
  int result = 0;
  DriverStatus late = thread.call<int>(
      "hang", milliseconds(50),
      [wait = gate.wait] {
        wait.wait();
        return 7;
      },
      &result, [&](int& value) { cleanedUp = value; });
  EXPECT_EQ(late.code, WIA_ERROR_BUSY);
  EXPECT_EQ(late.text, "test did not return from hang within 50 ms; its calls fail until it does");
  EXPECT_EQ(late.call, "hang");
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(thread.held());

  // Later calls fail at once and never run.
  std::atomic<bool> ran{false};
  EXPECT_EQ(callBehindHang(thread, "next", milliseconds(5000), ran).call, "next");

  gate.open();
  while (thread.held()) std::this_thread::sleep_for(milliseconds(1));
  DriverStatus again = thread.call<int>("again", milliseconds(5000), [] { return 3; }, &result);
  EXPECT_TRUE(again.ok());
  EXPECT_EQ(result, 3);
  EXPECT_EQ(cleanedUp, 7);
  EXPECT_FALSE(ran);
}

TEST(DriverThread, ACallQueuedBehindOneThatOverrunsFailsWhenThatOneIsGivenUp) {
  DriverThread thread("test", milliseconds(5000));
  Gate gate;
  Gate started;
  std::thread first([&] {
    int unused = 0;
    thread.call<int>("hang", milliseconds(200), [wait = gate.wait, &started] {
      started.open();
      wait.wait();
      return 0;
    }, &unused);
  });
  started.wait.wait();
  std::atomic<bool> queuedRan{false};
  callBehindHang(thread, "queued", milliseconds(60000), queuedRan);
  EXPECT_FALSE(queuedRan);
  gate.open();
  first.join();
}

TEST(DriverThread, ACallThatReportsProgressKeepsItsLimitRunning) {
  DriverThread thread("test", milliseconds(5000));
  int result = 0;
  DriverStatus status = thread.call<int>("download", milliseconds(300), [] {
    for (int i = 0; i < 12; ++i) {
      std::this_thread::sleep_for(milliseconds(50));
      DriverThread::keepCurrentCallAlive();
    }
    return 1;
  }, &result);
  EXPECT_TRUE(status.ok()) << status.text;
  EXPECT_EQ(result, 1);
  DriverThread::keepCurrentCallAlive();  // off the driver thread: nothing happens
}

TEST(DriverThread, WhatACallThrowsIsAFailureNotTheProcessEnd) {
  DriverThread thread("test", milliseconds(5000));
  int result = 0;
  EXPECT_EQ(thread.call<int>("alloc", milliseconds(5000), []() -> int { throw std::bad_alloc(); }, &result).code,
            E_OUTOFMEMORY);
  EXPECT_EQ(thread.call<int>("odd", milliseconds(5000), []() -> int { throw 5; }, &result).code, E_UNEXPECTED);
  EXPECT_TRUE(thread.call<int>("fine", milliseconds(5000), [] { return 2; }, &result).ok());
}

TEST(DriverThread, PostedWorkRunsInOrderBeforeTheThreadEnds) {
  std::vector<int> order;
  {
    DriverThread thread("test", milliseconds(5000));
    for (int i = 0; i < 3; ++i) thread.post([&order, i] { order.push_back(i); });
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(DriverThread, AThreadLeftWhileHeldEndsOnItsOwnOnceTheCallReturns) {
  Gate gate;
  auto finished = std::make_shared<std::atomic<int>>(0);
  {
    DriverThread thread("test", milliseconds(5000));
    int unused = 0;
    thread.call<int>("hang", milliseconds(20), [wait = gate.wait, finished] {
      wait.wait();
      return 0;
    }, &unused, [finished](int&) { ++*finished; });
    thread.post([finished] { ++*finished; });
  }  // not waited for
  gate.open();
  for (int i = 0; i < 500 && *finished < 2; ++i) std::this_thread::sleep_for(milliseconds(5));
  EXPECT_EQ(*finished, 2);  // the late call's clean-up and the posted work both ran
}

}  // namespace
}  // namespace winsim::drivers
