// A board switched off and on again while the Windows program runs under
// Wine: it reads closed in the meantime, keeps its place in the list, and is
// the same device, identified and weighing again, once it is back.

#include "wine_probe.h"

int main() {
  VmScenario scenario("wine_power_cycle");
  if (!WaitEarlierBoardsReleased(scenario))
    return scenario.Finish();
  VirtualBoard board("00:1f:32:aa:bb:23");
  if (!board.Appear(scenario))
    return scenario.Finish();
  board.WaitDriverQuiet();
  {
    WineProbe probe(scenario);
    ProbedDevice first;
    if (probe.Start() && probe.WaitIdentified(0, 30000, first, "board not identified") &&
        probe.ZeroAdjustAndWeigh(0, board.sim, 58.0f)) {
      const std::string oldNode = board.Node();
      board.Vanish();
      ProbedDevice off;
      scenario.Check(
          WaitFor([&] { return (off = probe.State(0)).Listed() && !off.open; }, 10000, 50),
          "still open after the board went off");
      scenario.Check(WaitNodeReleased(oldNode, 30000), "Wine still holds %s", oldNode.c_str());
      ProbedDevice again;
      if (board.Appear(scenario) && probe.WaitIdentified(0, 30000, again, "not identified again")) {
        scenario.Check(again.identity == first.identity && again.count == 1,
                       "not the same device at index 0 (%d listed)", again.count);
        probe.Weighs(0, board.sim, 61.5f);
      }
    }
  }
  return scenario.Finish();
}
