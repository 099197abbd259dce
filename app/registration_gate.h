#pragma once

#include <condition_variable>
#include <mutex>

class ktBluetoothLib;

// What the registration thread and the user-interface thread share: the
// Bluetooth object the thread is using, so that a shutdown can cancel its
// inquiry, and the thread's wait for the system to set up a new board, which
// a shutdown cuts short. Once cancelled, the gate stays cancelled.
class RegistrationGate {
 public:
  // The registration thread hands over its Bluetooth object before using it.
  // Returns 0 when the gate was already cancelled: the thread must then not
  // start an inquiry at all.
  int Attach(ktBluetoothLib* lib);
  // The thread takes its object back before it releases it.
  void Detach();
  // Waits up to milliseconds; 1 when the whole time passed, 0 when cancelled
  // before or during the wait.
  int Wait(int milliseconds);
  // Cancels the attached object's inquiry, wakes the wait and refuses every
  // later Attach and Wait. Callable from any thread, any number of times.
  void Cancel();
  int IsCancelled();

 private:
  std::mutex mutex;
  std::condition_variable wake;
  ktBluetoothLib* attached = nullptr;
  bool cancelled = false;
};
