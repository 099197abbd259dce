// A board switched on while the Windows program runs under Wine is found
// without a restart and without an update request: the arrival reaches the
// device manager's watch through Wine's plug and play.

#include "wine_probe.h"

int main() {
  VmScenario scenario("wine_hotplug");
  if (!WaitEarlierBoardsReleased(scenario))
    return scenario.Finish();
  VirtualBoard board("00:1f:32:aa:bb:22");
  {
    WineProbe probe(scenario);
    if (probe.Start()) {
      const ProbedDevice before = probe.State(0);
      scenario.Check(before.count == 0, "%d devices before the board", before.count);
      ProbedDevice device;
      if (board.Appear(scenario) &&
          probe.WaitIdentified(0, 30000, device, "board not found after it appeared"))
        probe.ZeroAdjustAndWeigh(0, board.sim, 64.0f);
    }
  }
  return scenario.Finish();
}
