#include "support/worker_thread.h"

#include <condition_variable>
#include <mutex>

struct WorkerThread::Completion {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;

  void MarkDone() {
    std::lock_guard<std::mutex> hold(mutex);
    done = true;
    ended.notify_all();
  }

  void Wait() {
    std::unique_lock<std::mutex> hold(mutex);
    ended.wait(hold, [this] { return done; });
  }

  bool IsDone() {
    std::lock_guard<std::mutex> hold(mutex);
    return done;
  }
};

WorkerThread::~WorkerThread() {
  Close();
  // A thread started without Open is let go as well, never left joinable.
  LetGo();
}

void WorkerThread::Open() {
  if (initialised) {
    return;
  }
  initialised = 1;
  LetGo();
}

int WorkerThread::Start(Function newFunction, void* newUser) {
  function = newFunction;
  user = newUser;
  LetGo();
  completion.reset();
  try {
    auto state = std::make_shared<Completion>();
    // The thread reads only its own copies of the function and user pointer.
    thread = std::thread([state, run = function, argument = user] {
      run(argument);
      state->MarkDone();
    });
    completion = std::move(state);
  } catch (...) {
    // Without memory or a new thread nothing runs; the caller goes on as if
    // the thread had ended at once.
  }
  return 1;
}

void WorkerThread::Close() {
  if (!initialised) {
    return;
  }
  LetGo();
  initialised = 0;
}

void WorkerThread::Join() {
  if (thread.joinable()) {
    thread.join();
    return;
  }
  if (completion) {
    completion->Wait();
  }
}

int WorkerThread::IsRunning() const {
  return completion && !completion->IsDone() ? 1 : 0;
}

void WorkerThread::LetGo() {
  if (thread.joinable()) {
    thread.detach();
  }
}
