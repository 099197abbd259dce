// A board that goes away is kept in the list, closed, with its last values;
// when it comes back under a new hidraw node and the manager enumerates
// again, the same device object at the same place is open again.

#include <fcntl.h>
#include <unistd.h>

#include <cmath>

#include "device/wii_lib_device.h"
#include "vm_harness.h"

int main() {
  VmScenario scenario("vanish_return");
  VirtualBoard board("00:1f:32:aa:bb:03");
  if (!board.Appear(scenario))
    return scenario.Finish();
  board.WaitDriverQuiet();

  ktWiiLib* lib = StartManager();
  ktWiiLibDevice* device = WaitIdentified(*lib, 0, 5000);
  if (scenario.Check(device != nullptr, "board not identified") &&
      ZeroAdjustAndWeigh(scenario, *device, board.sim, 58.0f)) {
    // Holding the old node open keeps its number taken, so the board
    // returns under a different one.
    const std::string oldNode = board.Node();
    const int holder = open(oldNode.c_str(), O_RDONLY);
    board.Vanish();
    scenario.Check(WaitFor([&] { return !device->IsOpen(); }, 3000), "still open after vanishing");
    scenario.Check(std::fabs(device->GetBoardWeight() - 58.0f) < 0.1f &&
                       device->GetExtensionType() == kExtBalanceBoard,
                   "last values lost: %.2f kg, extension %04x", device->GetBoardWeight(),
                   device->GetExtensionType());

    if (board.Appear(scenario)) {
      scenario.Note("back as %s (was %s)", board.Node().c_str(), oldNode.c_str());
      scenario.Check(board.Node() != oldNode, "returned under the same node %s", oldNode.c_str());
      // As after a registration, the manager looks once the kernel's own
      // driver has finished attaching; looking at once is the kernel-driver
      // scenario's subject.
      board.WaitDriverQuiet();
      lib->RequestUpdate();
      ktWiiLibDevice* again = WaitIdentified(*lib, 0, 5000);
      scenario.Check(again == device, "not the same object open again at index 0");
      scenario.Check(lib->GetDeviceCount() == 1, "%d devices listed", lib->GetDeviceCount());
      if (again)
        Weighs(scenario, *device, board.sim, 61.5f);
    }
    if (holder >= 0)
      close(holder);
  }
  lib->Release();
  return scenario.Finish();
}
