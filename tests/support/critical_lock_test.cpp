#include "support/critical_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "lock_scene.h"

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

// On a thread of its own, so that an owner that waits for itself fails the
// test instead of hanging it.
TEST(CriticalLock, OwnerMayEnterAgain) {
  LockScene scene;
  auto heldAfterInnerLeave = std::make_shared<std::atomic<int>>(-1);
  scene.Start([heldAfterInnerLeave](LockScene::Shared& s) {
    s.lock.Enter();
    s.lock.Enter();
    s.lock.Leave();
    *heldAfterInnerLeave = s.lock.IsHeld();
    s.lock.Leave();
  });
  ASSERT_TRUE(scene.WaitUntil([](const LockScene::Shared& s) { return s.finished == 1; }))
      << "the owner waits for itself";
  EXPECT_EQ(*heldAfterInnerLeave, 1) << "the inner Leave let the lock go";
  EXPECT_EQ(scene.State().lock.IsHeld(), 0);
}

// Threads that found the lock held are all asleep when the holder leaves;
// each must get the lock in turn. A wake-up lost on the way leaves one
// asleep with the lock free, which fails the test at the bound.
TEST(CriticalLock, EveryThreadThatSleptGetsTheLockInTurn) {
  constexpr int kSleepers = 3;
  LockScene scene;
  LockScene::Shared& shared = scene.State();
  shared.lock.SetSleepHook(
      [](void* context) {
        static_cast<LockScene::Shared*>(context)->Report([](LockScene::Shared& s) { ++s.sleeps; });
      },
      &shared);
  shared.lock.Enter();
  for (int i = 0; i < kSleepers; ++i)
    scene.Start([](LockScene::Shared& s) { CriticalLockGuard hold(s.lock); });
  ASSERT_TRUE(scene.WaitUntil([](const LockScene::Shared& s) { return s.sleeps >= kSleepers; }));
  shared.lock.Leave();
  EXPECT_TRUE(scene.WaitUntil([](const LockScene::Shared& s) { return s.finished == kSleepers; }))
      << "a sleeper was never woken";
}

TEST(CriticalLock, SerialisesThreads) {
  LockScene scene;
  auto counter = std::make_shared<long>(0);  // plain on purpose: only the lock keeps it right
  for (int t = 0; t < 4; ++t) {
    scene.Start([counter](LockScene::Shared& s) {
      for (int i = 0; i < 20000; ++i) {
        CriticalLockGuard hold(s.lock);
        {
          CriticalLockGuard again(s.lock);
          ++*counter;
        }
        ++*counter;  // still held: leaving the inner Enter must not free the lock
      }
    });
  }
  ASSERT_TRUE(scene.WaitUntil([](const LockScene::Shared& s) { return s.finished == 4; }))
      << "a thread never got the lock";
  EXPECT_EQ(*counter, 160000);
}

}  // namespace
