// BlueZ remembers a pairing that the board has forgotten (its batteries were
// out). A registration forgets it, finds the board again by its SYNC button,
// pairs it anew, and the device manager weighs it.

#include "bluetooth_bench.h"
#include "device/wii_lib_device.h"

int main() {
  VmScenario scenario("bluetooth_stale_pairing");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.StartRadio())
    return scenario.Finish();
  bench.RememberPairing(0, 0, false);
  if (!bench.StartDaemon())
    return scenario.Finish();
  BluetoothBench::Board& board = bench.board(0);
  ktWiiLib* lib = StartManager();

  // SYNC once the registration's search runs, as a user presses it.
  Registration registration;
  scenario.Check(WaitFor([&] { return bench.Discovering(0); }, 10000, 100),
                 "the registration did not discover");
  board.radio.PressSync();
  const int result = registration.Result();
  scenario.Check(result == 1, "result %d", result);
  scenario.Check(bench.WaitConnected(0, 5000), "board not paired and connected");
  scenario.Check(board.radio.PairedHostCount() == 1, "the board paired with %d hosts",
                 board.radio.PairedHostCount());
  bool withinWait = false;
  ktWiiLibDevice* device = IdentifiedAfterRegistration(*lib, 0, withinWait);
  if (scenario.Check(device != nullptr, "board not identified"))
    ZeroAdjustAndWeigh(scenario, *device, board.sim, 66.0f);
  lib->Release();
  return scenario.Finish();
}
