// While a registration pairs a board, another device, paired earlier but
// not trusted, connects to the host's HID service: BlueZ asks the agent,
// which answers only for the board being registered, and the other device
// gets no HID channel.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_foreign_request");
  BluetoothBench bench(scenario, 1, 2);
  if (!bench.StartRadio())
    return scenario.Finish();
  RadioBoard& board = bench.board(0).radio;
  RadioBoard& other = bench.board(1).radio;
  bench.RememberPairing(0, 1, true, false);
  if (!bench.StartDaemon())
    return scenario.Finish();
  board.PressSync();

  // The program's own search, so that its agent is still there when the
  // other device asks.
  Registration registration(0);
  if (scenario.Check(bench.WaitConnected(0, 20000), "the board was not registered")) {
    other.PressButton();
    scenario.Check(WaitFor([&] { return other.RefusedChannels() > 0; }, 10000),
                   "the host refused no HID channel of the other device");
  }
  registration.Cancel();
  const int result = registration.Result();
  scenario.Check(result == 1, "result %d", result);
  scenario.Check(other.HidOpenings() == 0, "the other device's HID channels were opened");
  return scenario.Finish();
}
