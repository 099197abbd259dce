#include "support/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace {

// Lets a test make the calling thread's next allocations fail: after
// allocationsBeforeFailure more allocations the one after throws bad_alloc.
thread_local int allocationsBeforeFailure = -1;
thread_local bool allocationFailed = false;

void* AllocateOrFail(std::size_t size) {
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    allocationFailed = true;
    throw std::bad_alloc();
  }
  if (allocationsBeforeFailure > 0) {
    --allocationsBeforeFailure;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}

}  // namespace

void* operator new(std::size_t size) {
  return AllocateOrFail(size);
}
void* operator new[](std::size_t size) {
  return AllocateOrFail(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return AllocateOrFail(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}

namespace {

// Bounds a wait that only a fault makes long.
constexpr std::chrono::seconds kFailAfter{10};

// A function run by the worker that waits until the test lets it finish.
struct GatedJob {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};

  static int Run(void* user) {
    auto* job = static_cast<GatedJob*>(user);
    job->started.fetch_add(1);
    std::unique_lock<std::mutex> hold(job->mutex);
    job->changed.wait(hold, [job] { return job->open; });
    // Counted and told under the mutex: a test that saw it under the mutex
    // (WaitUntilFinished) or after Join may end the job.
    job->finished.fetch_add(1);
    job->changed.notify_all();
    return 7;
  }

  void Release() {
    std::lock_guard<std::mutex> hold(mutex);
    open = true;
    changed.notify_all();
  }

  // False when the function has not finished within the bound.
  bool WaitUntilFinished() {
    std::unique_lock<std::mutex> hold(mutex);
    return changed.wait_for(hold, kFailAfter, [this] { return finished.load() > 0; });
  }
};

// Runs `call` on a thread of its own; true when it returns while the job is
// still held at its gate. A call that waits for the job is let through at
// the bound by opening the gate, so the test fails instead of hanging.
bool ReturnsWhileTheJobWaits(GatedJob& job, const std::function<void()>& call) {
  std::mutex mutex;
  std::condition_variable changed;
  bool returned = false;
  std::thread caller([&] {
    call();
    std::lock_guard<std::mutex> hold(mutex);
    returned = true;
    changed.notify_all();
  });
  bool inTime;
  {
    std::unique_lock<std::mutex> hold(mutex);
    inTime = changed.wait_for(hold, kFailAfter, [&] { return returned; });
  }
  if (!inTime)
    job.Release();
  caller.join();
  return inTime && job.finished.load() == 0;
}

TEST(WorkerThread, CloseLetsTheThreadRunToTheEnd) {
  GatedJob job;
  WorkerThread worker;
  worker.Open();
  EXPECT_EQ(worker.Start(GatedJob::Run, &job), 1);
  EXPECT_TRUE(ReturnsWhileTheJobWaits(job, [&worker] { worker.Close(); }));
  EXPECT_EQ(worker.IsRunning(), 1);
  job.Release();
  worker.Join();
  EXPECT_EQ(job.started.load(), 1);
  EXPECT_EQ(job.finished.load(), 1);
  EXPECT_EQ(worker.IsRunning(), 0);
}

TEST(WorkerThread, OpenTwiceKeepsTheRunningThread) {
  GatedJob job;
  WorkerThread worker;
  worker.Open();
  worker.Start(GatedJob::Run, &job);
  worker.Open();
  EXPECT_EQ(worker.IsRunning(), 1);
  job.Release();
  worker.Join();  // still the thread from before the second Open
  EXPECT_EQ(job.finished.load(), 1);
  worker.Close();
  worker.Close();  // closed already: nothing happens
  worker.Join();
}

TEST(WorkerThread, RestartWhileAnEarlierThreadRuns) {
  GatedJob first;
  GatedJob second;
  WorkerThread worker;
  worker.Open();
  worker.Start(GatedJob::Run, &first);
  EXPECT_TRUE(ReturnsWhileTheJobWaits(first, [&worker] { worker.Close(); }));
  worker.Open();
  worker.Start(GatedJob::Run, &second);
  second.Release();
  worker.Join();  // waits for the thread started last only
  EXPECT_EQ(second.finished.load(), 1);
  EXPECT_EQ(first.finished.load(), 0);
  first.Release();
  EXPECT_TRUE(first.WaitUntilFinished());
  worker.Close();
}

// Every allocation that Start makes is made to fail once in turn: Start
// still returns 1 without throwing, and no thread runs the function.
TEST(WorkerThread, StartWithoutMemoryThrowsNothingAndRunsNothing) {
  bool failed = true;
  for (int allocations = 0; failed && allocations < 8; ++allocations) {
    GatedJob job;
    job.Release();
    WorkerThread worker;
    worker.Open();
    allocationFailed = false;
    allocationsBeforeFailure = allocations;
    int result = 0;
    EXPECT_NO_THROW(result = worker.Start(GatedJob::Run, &job));
    failed = allocationFailed;
    allocationsBeforeFailure = -1;
    EXPECT_EQ(result, 1);
    worker.Join();
    EXPECT_EQ(job.finished.load(), failed ? 0 : 1) << "allocation " << allocations;
    EXPECT_EQ(worker.IsRunning(), 0);
  }
  EXPECT_FALSE(failed);  // the loop reached a Start that needed no more memory
}

TEST(WorkerThread, DestroyedWrapperLeavesTheThreadRunning) {
  GatedJob job;
  auto worker = std::make_unique<WorkerThread>();
  worker->Start(GatedJob::Run, &job);  // never opened: let go all the same
  EXPECT_TRUE(ReturnsWhileTheJobWaits(job, [&worker] { worker.reset(); }));
  job.Release();
  EXPECT_TRUE(job.WaitUntilFinished()) << "the function never ran to its end";
  EXPECT_EQ(job.started.load(), 1);
}

}  // namespace
