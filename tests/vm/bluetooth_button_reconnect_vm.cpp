// A paired board that powers off and comes back by its front button is
// opened again by the running device manager on its own, at the same list
// index, without a registration, and weighed.

#include "bluetooth_bench.h"
#include "device/wii_lib_device.h"

int main() {
  VmScenario scenario("bluetooth_button_reconnect");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.StartRadio())
    return scenario.Finish();
  bench.RememberPairing(0, 0, true);
  if (!bench.StartDaemon())
    return scenario.Finish();
  BluetoothBench::Board& board = bench.board(0);
  board.radio.PressButton();
  if (!scenario.Check(bench.WaitConnected(0, 10000), "the board did not connect by its button"))
    return scenario.Finish();
  WaitHidraw(board.radio.AddressText(), 3000);
  ktWiiLib* lib = StartManager();
  ktWiiLibDevice* device = WaitIdentified(*lib, 0, 5000);
  if (scenario.Check(device != nullptr, "board not identified") &&
      ZeroAdjustAndWeigh(scenario, *device, board.sim, 55.0f)) {
    bench.ReturnsByItsButton(*lib, *device, 0, 62.0f);
  }
  lib->Release();
  return scenario.Finish();
}
