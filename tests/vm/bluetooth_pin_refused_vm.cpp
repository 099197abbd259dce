// BlueZ 5.73 to 5.79 offer "0000" before a Wii device's own PIN. The board
// refuses it and leaves pairing mode: the registration registers nothing,
// names the reason, and leaves nothing half-paired on either side.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_pin_refused");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.Start(BluetoothBench::Pin::ZerosFirst))
    return scenario.Finish();
  RadioBoard& radio = bench.board(0).radio;
  radio.PressSync();

  Registration registration;
  const int result = registration.Result();
  scenario.Check(result == 0, "result %d", result);
  // BlueZ tries once more after the refusal and finds the board gone: the
  // reason is a refused or a failed pairing.
  const BluetoothFailure reason = registration.Failure();
  scenario.Check(
      reason == BluetoothFailure::PairingRefused || reason == BluetoothFailure::PairingFailed,
      "reason %d", static_cast<int>(reason));
  for (const auto& state : bench.Devices(radio.AddressText()))
    scenario.Check(!state.paired && !state.trusted, "BlueZ keeps the board %s on %s",
                   state.paired ? "paired" : "trusted", state.adapter.c_str());
  scenario.Check(radio.PairedHostCount() == 0 && !radio.Discoverable(),
                 "the board paired with %d hosts, %s", radio.PairedHostCount(),
                 radio.Discoverable() ? "still in pairing mode" : "out of pairing mode");
  return scenario.Finish();
}
