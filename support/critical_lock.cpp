#include "support/critical_lock.h"

// The lock's state lives as long as the object, so Enter and Leave stay valid
// even around Init and Destroy; the flag records the logical lifetime that
// the lock's owner manages.
void CriticalLock::Init() {
  initialised = 1;
}

void CriticalLock::Destroy() {
  if (!initialised) {
    return;
  }
  initialised = 0;
}

// Marks the lock as wanted before sleeping, so the holder's Leave wakes a
// sleeper; a thread that gets the lock this way keeps the mark, which at
// worst costs one needless wake-up later. The mark is set while holding
// sleepMutex, and WakeOne takes sleepMutex before it signals, so a wake-up
// cannot fall between a sleeper's last look at the state and its wait.
void CriticalLock::WaitUntilFree() {
  std::unique_lock<std::mutex> hold(sleepMutex);
  while (state.exchange(kHeldWithWaiters, std::memory_order_acquire) != kFree) {
    if (sleepHook != nullptr) {
      sleepHook(sleepHookContext);
    }
    sleepers.wait(hold);
  }
}

void CriticalLock::SetSleepHook(SleepHook hook, void* context) {
  std::lock_guard<std::mutex> hold(sleepMutex);
  sleepHook = hook;
  sleepHookContext = context;
}

void CriticalLock::WakeOne() {
  std::lock_guard<std::mutex> hold(sleepMutex);
  sleepers.notify_one();
}
