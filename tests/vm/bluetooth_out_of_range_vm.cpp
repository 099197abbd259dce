// A registration with no board in reach: nothing answers, the result is 0,
// the registration ends within its bound, and nothing is paired or linked.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_out_of_range");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.Start())
    return scenario.Finish();
  RadioBoard& radio = bench.board(0).radio;
  radio.PressSync();
  radio.GoOutOfRange();

  Registration registration;
  const int result = registration.Result();
  scenario.Note("registration took %.1f s", registration.Seconds());
  scenario.Check(result == 0, "result %d", result);
  // The search and the calls around it.
  scenario.Check(registration.Seconds() * 1000 < Registration::kBenchSearchMs + 5000,
                 "registration took %.1f s", registration.Seconds());
  for (const auto& state : bench.Devices(radio.AddressText()))
    scenario.Check(!state.paired && !state.connected, "board left paired or connected on %s",
                   state.adapter.c_str());
  scenario.Check(!radio.Connected() && radio.PairedHostCount() == 0,
                 "the board has a link or a pairing");
  return scenario.Finish();
}
