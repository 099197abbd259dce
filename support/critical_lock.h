#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A re-entrant lock with an initialised flag. The owning thread may enter it
// again while it holds it; every Enter needs a matching Leave. Destroy only
// acts on an initialised lock, so it may be called twice or without Init.
//
// Entering a free lock and leaving it uncontended is one atomic operation
// each; only a thread that finds the lock held sleeps, and only a Leave that
// knows of such a sleeper wakes one.
class CriticalLock {
 public:
  CriticalLock() = default;
  CriticalLock(const CriticalLock&) = delete;
  CriticalLock& operator=(const CriticalLock&) = delete;

  void Init();
  void Destroy();
  int IsInitialised() const { return initialised; }
  // 1 while some thread holds the lock.
  int IsHeld() const { return state.load(std::memory_order_relaxed) != kFree ? 1 : 0; }

  // Called by a thread that found the lock held, after it marked itself as
  // waiting and just before it sleeps, with the sleepers' mutex held. Tests
  // use it to make a Leave fall exactly there.
  using SleepHook = void (*)(void* context);
  void SetSleepHook(SleepHook hook, void* context);

  void Enter() {
    std::uintptr_t self = CurrentThread();
    if (owner.load(std::memory_order_relaxed) == self) {
      ++depth;  // only this thread can have stored its own identity there
      return;
    }
    int expected = kFree;
    if (!state.compare_exchange_strong(expected, kHeld, std::memory_order_acquire)) {
      WaitUntilFree();
    }
    owner.store(self, std::memory_order_relaxed);
    depth = 1;
  }

  void Leave() {
    if (--depth != 0) {
      return;
    }
    owner.store(0, std::memory_order_relaxed);
    if (state.exchange(kFree, std::memory_order_release) == kHeldWithWaiters) {
      WakeOne();
    }
  }

 private:
  enum : int { kFree, kHeld, kHeldWithWaiters };

  // The address of a per-thread variable tells the threads apart and is
  // never 0.
  static std::uintptr_t CurrentThread() {
    static thread_local char identity;
    return reinterpret_cast<std::uintptr_t>(&identity);
  }
  void WaitUntilFree();
  void WakeOne();

  std::atomic<int> state{kFree};
  std::atomic<std::uintptr_t> owner{0};  // thread holding the lock, 0 when none
  int depth = 0;                         // Enters of the owner not yet left
  // Where threads that found the lock held sleep.
  std::mutex sleepMutex;
  std::condition_variable sleepers;
  SleepHook sleepHook = nullptr;
  void* sleepHookContext = nullptr;
  int initialised = 0;
};

// Holds a CriticalLock for the lifetime of the guard.
class CriticalLockGuard {
 public:
  explicit CriticalLockGuard(CriticalLock& lock) : lock(lock) { lock.Enter(); }
  ~CriticalLockGuard() { lock.Leave(); }
  CriticalLockGuard(const CriticalLockGuard&) = delete;
  CriticalLockGuard& operator=(const CriticalLockGuard&) = delete;

 private:
  CriticalLock& lock;
};
