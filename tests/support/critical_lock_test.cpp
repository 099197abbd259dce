#include "support/critical_lock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(CriticalLock, InitialisedFlagFollowsInitAndDestroy) {
  CriticalLock lock;
  EXPECT_EQ(lock.IsInitialised(), 0);
  lock.Destroy();  // never initialised: nothing happens
  lock.Init();
  EXPECT_EQ(lock.IsInitialised(), 1);
  lock.Destroy();
  lock.Destroy();
  EXPECT_EQ(lock.IsInitialised(), 0);
}

TEST(CriticalLock, OwnerMayEnterAgain) {
  CriticalLock lock;
  lock.Init();
  CriticalLockGuard outer(lock);
  CriticalLockGuard inner(lock);
  SUCCEED();
}

TEST(CriticalLock, SerialisesThreads) {
  CriticalLock lock;
  lock.Init();
  long counter = 0;  // plain on purpose: only the lock keeps it consistent
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        CriticalLockGuard hold(lock);
        {
          CriticalLockGuard again(lock);
          ++counter;
        }
        ++counter;  // still held: leaving the inner Enter must not free the lock
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(counter, 160000);
  lock.Destroy();
}

}  // namespace
