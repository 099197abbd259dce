#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/critical_lock.h"

// Threads around one CriticalLock, for tests that must fail rather than hang
// when a thread never gets the lock: the lock and what the threads report
// live on the heap, shared with the threads, so a thread that stays asleep
// is left behind with them when the test gives up.
class LockScene {
 public:
  struct Shared {
    CriticalLock lock;
    std::mutex mutex;
    std::condition_variable changed;
    int finished = 0;                     // threads that ran to their end
    int sleeps = 0;                       // calls of the lock's sleep hook
    std::atomic<long> holder{0};          // the holding thread's id, where a test needs it
    std::atomic<bool> holderLeft{false};  // its Leave has returned

    // Changes what the threads report and tells the waiting test.
    template <typename Change>
    void Report(Change change) {
      std::lock_guard<std::mutex> hold(mutex);
      change(*this);
      changed.notify_all();
    }
  };

  LockScene() : shared(std::make_shared<Shared>()) { shared->lock.Init(); }
  ~LockScene() {
    bool allFinished;
    {
      std::lock_guard<std::mutex> hold(shared->mutex);
      allFinished = shared->finished == static_cast<int>(threads.size());
    }
    for (std::thread& thread : threads) {
      if (allFinished)
        thread.join();
      else
        thread.detach();
    }
  }
  LockScene(const LockScene&) = delete;
  LockScene& operator=(const LockScene&) = delete;

  Shared& State() { return *shared; }

  // Runs `steps` on a thread of its own, which counts as finished after it.
  void Start(std::function<void(Shared&)> steps) {
    threads.emplace_back([state = shared, steps] {
      steps(*state);
      state->Report([](Shared& s) { ++s.finished; });
    });
  }

  // Waits until `done` holds for what the threads reported; false when it
  // still does not after a bound that only a lost wake-up reaches.
  bool WaitUntil(const std::function<bool(const Shared&)>& done) {
    std::unique_lock<std::mutex> hold(shared->mutex);
    return shared->changed.wait_for(hold, std::chrono::seconds(10), [&] { return done(*shared); });
  }

 private:
  std::shared_ptr<Shared> shared;
  std::vector<std::thread> threads;
};
