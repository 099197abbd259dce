#pragma once

// Runs one function with one user pointer on a new thread.
class WorkerThread {
 public:
  using Function = int (*)(void* user);

  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  void Open();
  int Start(Function function, void* user);
  // Lets the thread go: neither waits for it nor stops it.
  void Close();
  // Waits until the thread started last has ended (no effect when none runs).
  void Join();
};
