#pragma once

#include <memory>
#include <thread>

// Runs one function with one user pointer on a new thread.
//
// The wrapper goes from closed (construction, Close) to open (Open) to running
// (Start). Close lets the thread go: it neither waits for it nor stops it, and
// the thread runs its function to the end on its own. Join waits for the
// thread started last to end, also after Close, so that a shutdown can be
// sure the function no longer runs. Start may be called again while an
// earlier thread still runs; that thread is let go like on Close.
class WorkerThread {
 public:
  using Function = int (*)(void* user);

  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  void Open();
  // Always returns 1 and never throws; when no thread can be created, none runs.
  int Start(Function function, void* user);
  // Lets the thread go: neither waits for it nor stops it.
  void Close();
  // Waits until the thread started last has ended (no effect when none runs).
  void Join();
  // 1 while the function of the thread started last has not yet returned.
  int IsRunning() const;

 private:
  struct Completion;

  void LetGo();

  int initialised = 0;
  std::thread thread;
  Function function = nullptr;
  void* user = nullptr;
  // Shared with the running thread, which marks it when its function returns;
  // it outlives a let-go thread so Join can still wait for that thread.
  std::shared_ptr<Completion> completion;
};
