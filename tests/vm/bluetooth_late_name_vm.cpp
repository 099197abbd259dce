// A board whose pairing mode ends after it answered the inquiry and before
// the stack asks its name: the name request fails, and the registration says
// so (the screen tells the user to wait and press SYNC again) instead of
// ending silently.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_late_name");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.Start())
    return scenario.Finish();
  RadioBoard& radio = bench.board(0).radio;
  radio.PressSync();

  Registration registration;
  scenario.Check(WaitFor([&] { return !bench.Devices(radio.AddressText()).empty(); }, 10000, 100),
                 "the board was not heard");
  radio.SyncEnds();
  const int result = registration.Result();
  scenario.Check(result == 0, "result %d", result);
  scenario.Check(registration.Failure() == BluetoothFailure::NameUnknown, "reason %d",
                 static_cast<int>(registration.Failure()));
  return scenario.Finish();
}
