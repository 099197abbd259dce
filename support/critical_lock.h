#pragma once

#include <mutex>

// A re-entrant lock with an initialised flag. The owning thread may enter it
// again while it holds it; every Enter needs a matching Leave. Destroy only
// acts on an initialised lock, so it may be called twice or without Init.
class CriticalLock {
 public:
  CriticalLock() = default;
  CriticalLock(const CriticalLock&) = delete;
  CriticalLock& operator=(const CriticalLock&) = delete;

  void Init();
  void Destroy();
  int IsInitialised() const { return initialised; }

  void Enter() { mutex.lock(); }
  void Leave() { mutex.unlock(); }

 private:
  std::recursive_mutex mutex;
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
