#include "support/critical_lock.h"

// The mutex itself lives as long as the object, so Enter and Leave stay valid
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
