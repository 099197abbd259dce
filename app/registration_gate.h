#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "bluetooth/bluetooth_lib.h"

// A phase of the registration as the screen shows its progress.
struct RegistrationPhase {
  int64_t startMs = 0;   // on the window's clock
  int32_t lengthMs = 0;  // expected; 0 when the phase shows no progress
};

// What the registration thread and the user-interface thread share: the
// Bluetooth object the thread is using, so that a shutdown can cancel its
// inquiry, and the thread's wait for the system to set up a new board, which
// a shutdown cuts short; and what the screen shows of it: the current phase
// and why a search could not start. Once cancelled, the gate stays cancelled.
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
  // The thread publishes each phase as it begins; the frames read it.
  void BeginPhase(RegistrationPhase phase);
  RegistrationPhase CurrentPhase();
  // The thread reports why it could not search; the next frame takes the
  // report once, and None when there is none.
  void ReportFailure(BluetoothFailure failure);
  BluetoothFailure TakeFailure();

 private:
  std::mutex mutex;
  std::condition_variable wake;
  ktBluetoothLib* attached = nullptr;
  bool cancelled = false;
  RegistrationPhase phase;
  BluetoothFailure failure = BluetoothFailure::None;
};
