// The Windows device manager under Wine finds the board through Wine's own
// HID stack (hid.dll and setupapi.dll over hidclass and winebus, which reads
// the board's hidraw node), identifies it and weighs it.

#include "wine_probe.h"

int main() {
  VmScenario scenario("wine_identify_weigh");
  if (!WaitEarlierBoardsReleased(scenario))
    return scenario.Finish();
  VirtualBoard board("00:1f:32:aa:bb:21");
  if (!board.Appear(scenario))
    return scenario.Finish();
  board.WaitDriverQuiet();
  {
    WineProbe probe(scenario);
    ProbedDevice device;
    if (probe.Start() && probe.WaitIdentified(0, 30000, device, "board not identified")) {
      scenario.Check(device.count == 1, "%d devices listed", device.count);
      probe.ZeroAdjustAndWeigh(0, board.sim, 72.5f) && probe.Weighs(0, board.sim, 18.3f);
    }
  }
  return scenario.Finish();
}
