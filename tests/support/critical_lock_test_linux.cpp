#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "lock_scene.h"

namespace {

// The scheduler's state of a thread of this process: 'S' while it sleeps.
char ThreadState(long thread) {
  std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
  const std::string text{std::istreambuf_iterator<char>(stat), {}};
  const size_t name = text.rfind(')');
  return name != std::string::npos && name + 2 < text.size() ? text[name + 2] : '?';
}

// The holder leaves after the waiter saw the lock held but before it went
// to sleep. The waiter goes on to its sleep only when the holder's Leave
// has returned, or sleeps itself because it must not wake anyone before the
// waiter sleeps; either way the waiter must be woken.
TEST(CriticalLock, LeaveBetweenAWaitersLookAndItsSleepStillWakesIt) {
  LockScene scene;
  LockScene::Shared& shared = scene.State();
  shared.lock.SetSleepHook(
      [](void* context) {
        LockScene::Shared& s = *static_cast<LockScene::Shared*>(context);
        s.Report([](LockScene::Shared& r) { ++r.sleeps; });
        while (s.lock.IsHeld())
          std::this_thread::yield();
        while (!s.holderLeft && ThreadState(s.holder) != 'S')
          std::this_thread::yield();
      },
      &shared);
  scene.Start([](LockScene::Shared& s) {
    s.lock.Enter();
    s.Report([](LockScene::Shared& r) { r.holder = gettid(); });
    {
      std::unique_lock<std::mutex> hold(s.mutex);
      s.changed.wait(hold, [&s] { return s.sleeps > 0; });
    }
    s.lock.Leave();
    s.holderLeft = true;
  });
  ASSERT_TRUE(scene.WaitUntil([](const LockScene::Shared& s) { return s.holder != 0; }));
  scene.Start([](LockScene::Shared& s) { CriticalLockGuard hold(s.lock); });
  EXPECT_TRUE(scene.WaitUntil([](const LockScene::Shared& s) { return s.finished == 2; }))
      << "the waiter was never woken";
}

}  // namespace
