#include "support/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

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
    {
      std::unique_lock<std::mutex> hold(job->mutex);
      job->changed.wait(hold, [job] { return job->open; });
    }
    // The last touch of the job: once finished shows, the test may end it.
    job->finished.fetch_add(1);
    return 7;
  }

  void Release() {
    std::lock_guard<std::mutex> hold(mutex);
    open = true;
    changed.notify_all();
  }
};

TEST(WorkerThread, CloseLetsTheThreadRunToTheEnd) {
  GatedJob job;
  WorkerThread worker;
  worker.Open();
  EXPECT_EQ(worker.Start(GatedJob::Run, &job), 1);
  worker.Close();  // returns while the function is still held at the gate
  EXPECT_EQ(job.finished.load(), 0);
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
  worker.Close();
  worker.Open();
  worker.Start(GatedJob::Run, &second);
  second.Release();
  worker.Join();  // waits for the thread started last only
  EXPECT_EQ(second.finished.load(), 1);
  EXPECT_EQ(first.finished.load(), 0);
  first.Release();
  while (first.finished.load() == 0) {
    std::this_thread::yield();
  }
  worker.Close();
}

TEST(WorkerThread, DestroyedWrapperLeavesTheThreadRunning) {
  auto job = std::make_shared<GatedJob>();
  {
    WorkerThread worker;
    worker.Start(GatedJob::Run, job.get());  // never opened: let go all the same
  }
  job->Release();
  while (job->finished.load() == 0) {
    std::this_thread::yield();
  }
  WorkerThread idle;
  idle.Join();  // nothing started: returns at once
  idle.Close();
}

}  // namespace
