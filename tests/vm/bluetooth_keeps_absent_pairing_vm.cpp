// Board A is paired on both sides and switched off; board B is in pairing
// mode. A registration registers B and leaves A's pairing alone: A still
// comes back by its button afterwards.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_keeps_absent_pairing");
  BluetoothBench bench(scenario, 1, 2);
  if (!bench.StartRadio())
    return scenario.Finish();
  RadioBoard& boardB = bench.board(0).radio;
  RadioBoard& boardA = bench.board(1).radio;
  bench.RememberPairing(0, 1, true);
  if (!bench.StartDaemon())
    return scenario.Finish();
  boardA.PowerOff();
  boardB.PressSync();

  Registration registration;
  const int result = registration.Result();
  scenario.Check(result == 1, "result %d", result);
  scenario.Check(bench.WaitConnected(0, 5000), "board B not paired and connected");
  const auto states = bench.Devices(boardA.AddressText());
  scenario.Check(states.size() == 1 && states[0].paired, "board A lost its pairing");
  boardA.PressButton();
  scenario.Check(bench.WaitConnected(1, 10000), "board A did not come back by its button");
  return scenario.Finish();
}
