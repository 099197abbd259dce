// One board in reach of two adapters: a registration counts it once and
// pairs it once.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_two_adapters");
  BluetoothBench bench(scenario, 2, 1);
  if (!bench.Start())
    return scenario.Finish();
  RadioBoard& radio = bench.board(0).radio;

  radio.PressSync();
  Registration registration;
  const int result = registration.Result();
  scenario.Check(result == 1, "result %d", result);
  scenario.Check(bench.WaitConnected(0, 5000), "board not paired and connected");
  int paired = 0;
  for (const auto& state : bench.Devices(radio.AddressText()))
    paired += state.paired;
  scenario.Check(paired == 1 && radio.PairedHostCount() == 1,
                 "paired on %d adapters; the board paired with %d hosts", paired,
                 radio.PairedHostCount());
  return scenario.Finish();
}
