#include "DriverThread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>

namespace winsim::drivers {

using Clock = std::chrono::steady_clock;

struct DriverThread::Job {
  enum class State { Queued, Running, Done };
  std::function<void()> work;
  std::function<void()> abandonedWork;
  std::string what;
  std::chrono::milliseconds limit{0};
  Clock::time_point deadline;
  State state = State::Queued;
  bool waited = false;     // a caller waits for it (a call, not a post)
  bool abandoned = false;  // its caller stopped waiting
  HRESULT failure = S_OK;  // what the work threw, as a code
};

struct DriverThread::Shared {
  std::string library;
  mutable std::mutex lock;
  std::condition_variable workArrived;
  std::condition_variable jobEnded;
  std::deque<std::shared_ptr<Job>> queue;
  std::shared_ptr<Job> running;
  bool stopping = false;
  bool ended = false;
  std::chrono::milliseconds stopLimit{0};

  bool heldLocked() const { return running && running->abandoned; }
};

namespace {

// The shared state of the driver thread this code runs on (a DriverThread::Shared), for
// keepCurrentCallAlive and to refuse calls that would wait for themselves.
thread_local void* currentThread = nullptr;

// Runs a job's work, turning what it throws into a code: the driver thread never ends
// the process.
HRESULT runGuarded(const std::function<void()>& work) {
  if (!work) return S_OK;
  try {
    work();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

std::string durationText(std::chrono::milliseconds limit) {
  if (limit.count() < 1000) return std::to_string(limit.count()) + " ms";
  auto tenths = (limit.count() + 50) / 100;
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10) text += "." + std::to_string(tenths % 10);
  return text + " s";
}

}  // namespace

DriverThread::DriverThread(std::string library, std::chrono::milliseconds stopLimit)
    : shared_(std::make_shared<Shared>()) {
  shared_->library = std::move(library);
  shared_->stopLimit = stopLimit;
  thread_ = std::thread([shared = shared_] {
    currentThread = shared.get();
    std::unique_lock<std::mutex> guard(shared->lock);
    for (;;) {
      shared->workArrived.wait(guard, [&] { return !shared->queue.empty() || shared->stopping; });
      if (shared->queue.empty()) break;
      std::shared_ptr<Job> job = std::move(shared->queue.front());
      shared->queue.pop_front();
      job->state = Job::State::Running;
      shared->running = job;
      guard.unlock();
      HRESULT failure = runGuarded(job->work);
      // What the work holds goes outside the lock: its destructors may call in here.
      job->work = nullptr;
      guard.lock();
      job->failure = failure;
      job->state = Job::State::Done;
      shared->running.reset();
      bool abandoned = job->abandoned;
      guard.unlock();
      if (abandoned) (void)runGuarded(job->abandonedWork);
      job->abandonedWork = nullptr;
      job.reset();
      guard.lock();
      shared->jobEnded.notify_all();
    }
    shared->ended = true;
    shared->jobEnded.notify_all();
  });
}

DriverThread::~DriverThread() {
  std::unique_lock<std::mutex> guard(shared_->lock);
  shared_->stopping = true;
  shared_->workArrived.notify_one();
  if (currentThread == shared_.get()) {
    // Its last owner let go inside one of its own calls: it ends after that call.
    guard.unlock();
    thread_.detach();
    return;
  }
  // A thread held past a limit is not waited for; one still working gets the stop limit.
  bool ended = !shared_->heldLocked() &&
               shared_->jobEnded.wait_for(guard, shared_->stopLimit, [&] {
                 return shared_->ended || shared_->heldLocked();
               }) &&
               shared_->ended;
  guard.unlock();
  // A thread still inside the library keeps it (and the shared state) until it returns.
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

bool DriverThread::held() const {
  std::lock_guard<std::mutex> guard(shared_->lock);
  return shared_->heldLocked();
}

void DriverThread::post(std::function<void()> work) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->what = "a posted call";
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->queue.push_back(std::move(job));
  shared_->workArrived.notify_one();
}

void DriverThread::keepCurrentCallAlive() {
  auto* shared = static_cast<Shared*>(currentThread);
  if (!shared) return;
  std::lock_guard<std::mutex> guard(shared->lock);
  if (shared->running && shared->running->waited)
    shared->running->deadline = Clock::now() + shared->running->limit;
}

DriverStatus DriverThread::run(const char* what, std::chrono::milliseconds limit,
                               std::function<void()> work, std::function<void()> abandoned) {
  Shared& s = *shared_;
  auto stillHeld = [&] {
    return driverFailure(WIA_ERROR_BUSY,
                         s.library + " is still in " + s.running->what + ", past its time limit",
                         what);
  };
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->abandonedWork = std::move(abandoned);
  job->what = what;
  job->limit = limit;
  job->waited = true;

  std::unique_lock<std::mutex> guard(s.lock);
  if (currentThread == &s) {
    // A call made from a call would wait for itself.
    return driverFailure(E_UNEXPECTED, "a call into " + s.library + " from its own thread", what);
  }
  if (s.heldLocked()) return stillHeld();
  job->deadline = Clock::now() + limit;
  s.queue.push_back(job);
  s.workArrived.notify_one();
  while (job->state != Job::State::Done) {
    bool queued = job->state == Job::State::Queued;
    if (queued && s.heldLocked()) {
      s.queue.erase(std::find(s.queue.begin(), s.queue.end(), job));
      return stillHeld();
    }
    if (Clock::now() >= job->deadline) {
      if (queued) {
        // Never started: the calls before it took the time. The library is not held.
        s.queue.erase(std::find(s.queue.begin(), s.queue.end(), job));
        return driverFailure(WIA_ERROR_BUSY,
                             s.library + " was busy with other calls for " + durationText(limit), what);
      }
      job->abandoned = true;
      s.jobEnded.notify_all();  // calls queued behind it now fail at once
      return driverFailure(WIA_ERROR_BUSY,
                           s.library + " did not return from " + job->what + " within " +
                               durationText(limit) + "; its calls fail until it does",
                           what);
    }
    s.jobEnded.wait_until(guard, job->deadline);
  }
  if (job->failure == E_OUTOFMEMORY)
    return driverFailure(E_OUTOFMEMORY, "out of memory in " + std::string(what), what);
  if (job->failure != S_OK)
    return driverFailure(job->failure, "an unexpected failure in " + std::string(what), what);
  return DriverStatus{};
}

}  // namespace winsim::drivers
