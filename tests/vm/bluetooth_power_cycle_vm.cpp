// A board paired through the program (nothing seeded), powered off, then
// woken by its button: the running device manager opens it again on its own,
// at the same list index, and weighs it. On BlueZ 5.82 the board must
// authenticate with the key of that pairing and encrypt (ClassicBondedOnly),
// and its HID device comes through uhid.

#include "bluetooth_bench.h"
#include "device/wii_lib_device.h"

int main() {
  VmScenario scenario("bluetooth_power_cycle");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.Start())
    return scenario.Finish();
  BluetoothBench::Board& board = bench.board(0);
  ktWiiLib* lib = StartManager();
  board.radio.PressSync();
  Registration registration;
  const int result = registration.Result();
  bool withinWait = false;
  ktWiiLibDevice* device = scenario.Check(result == 1, "result %d", result)
                               ? IdentifiedAfterRegistration(*lib, 0, withinWait)
                               : nullptr;
  if (scenario.Check(device != nullptr, "board not identified") &&
      ZeroAdjustAndWeigh(scenario, *device, board.sim, 58.0f)) {
    bench.ReturnsByItsButton(*lib, *device, 0, 64.5f);
  }
  lib->Release();
  return scenario.Finish();
}
