// Two boards in pairing mode: a registration registers both, result 2, and
// the device manager weighs each.

#include <utility>

#include "bluetooth_bench.h"
#include "device/wii_lib_device.h"

int main() {
  VmScenario scenario("bluetooth_two_boards");
  BluetoothBench bench(scenario, 1, 2);
  if (!bench.Start())
    return scenario.Finish();
  ktWiiLib* lib = StartManager();

  bench.board(0).radio.PressSync();
  bench.board(1).radio.PressSync();
  Registration registration;
  const int result = registration.Result();
  scenario.Check(result == 2, "result %d after %.1f s", result, registration.Seconds());
  bool withinWait = false;
  ktWiiLibDevice* first = IdentifiedAfterRegistration(*lib, 0, withinWait);
  ktWiiLibDevice* second = WaitIdentified(*lib, 1, 5000);
  if (scenario.Check(first && second, "both boards not identified")) {
    // Which device is which board: load only the first board.
    scenario.Check(ZeroAdjust({first, second}, {&bench.board(0).sim, &bench.board(1).sim}),
                   "a zero-adjust report was not handled");
    bench.board(0).sim.SetTotalLoad(30.0f);
    scenario.Check(
        WaitFor([&] { return first->GetBoardWeight() > 15.0f || second->GetBoardWeight() > 15.0f; },
                3000),
        "neither device weighs the first board");
    if (second->GetBoardWeight() > 15.0f)
      std::swap(first, second);
    Weighs(scenario, *first, bench.board(0).sim, 48.0f) &&
        Weighs(scenario, *second, bench.board(1).sim, 83.5f);
  }
  lib->Release();
  return scenario.Finish();
}
