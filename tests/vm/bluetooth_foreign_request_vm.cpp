// While a registration pairs a board, another device, paired earlier but
// not trusted, connects to the host's HID service: BlueZ asks the agent,
// which answers only for the board being registered, and the other device
// gets no HID channel.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_foreign_request");
  // The host links the registered board first: it is board 0 (see
  // HoldPlaceholderLinks).
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
  const auto paired = [&] {
    for (const auto& state : bench.Devices(board.AddressText())) {
      if (state.paired)
        return true;
    }
    return false;
  };
  if (scenario.Check(WaitFor(paired, 20000, 100), "the board was not paired")) {
    other.PressButton();
    scenario.Check(WaitFor([&] { return other.Connected(); }, 10000),
                   "the other device did not reach the host");
  }
  const int result = registration.Result();
  scenario.Check(result == 1, "result %d", result);
  scenario.Check(other.HidOpenings() == 0, "the other device's HID channels were opened");
  return scenario.Finish();
}
