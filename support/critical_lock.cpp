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
// worst costs one needless wake-up later.
void CriticalLock::WaitUntilFree() {
  while (state.exchange(kHeldWithWaiters, std::memory_order_acquire) != kFree) {
    state.wait(kHeldWithWaiters, std::memory_order_relaxed);
  }
}
