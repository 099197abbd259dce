#include "app/registration_gate.h"

#include <chrono>
#include <utility>

#include "bluetooth/bluetooth_lib.h"

int RegistrationGate::Attach(ktBluetoothLib* lib) {
  std::lock_guard<std::mutex> hold(mutex);
  if (cancelled) {
    return 0;
  }
  attached = lib;
  return 1;
}

void RegistrationGate::Detach() {
  std::lock_guard<std::mutex> hold(mutex);
  attached = nullptr;
}

int RegistrationGate::Wait(int milliseconds) {
  std::unique_lock<std::mutex> hold(mutex);
  const bool woken =
      wake.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return cancelled; });
  return woken ? 0 : 1;
}

void RegistrationGate::Cancel() {
  std::lock_guard<std::mutex> hold(mutex);
  cancelled = true;
  // Cancel under the lock: the thread cannot release the object meanwhile,
  // since it must Detach first.
  if (attached != nullptr) {
    attached->Cancel();
  }
  wake.notify_all();
}

int RegistrationGate::IsCancelled() {
  std::lock_guard<std::mutex> hold(mutex);
  return cancelled ? 1 : 0;
}

void RegistrationGate::BeginPhase(RegistrationPhase next) {
  std::lock_guard<std::mutex> hold(mutex);
  phase = next;
}

RegistrationPhase RegistrationGate::CurrentPhase() {
  std::lock_guard<std::mutex> hold(mutex);
  return phase;
}

void RegistrationGate::ReportFailure(BluetoothFailure reported) {
  std::lock_guard<std::mutex> hold(mutex);
  failure = reported;
}

BluetoothFailure RegistrationGate::TakeFailure() {
  std::lock_guard<std::mutex> hold(mutex);
  return std::exchange(failure, BluetoothFailure::None);
}
