// The manager watches for hidraw nodes itself: a board that appears after
// Start, and one that comes back under a new node (as a paired board does
// after a press of its button), are found and opened without RequestUpdate.

#include <fcntl.h>
#include <unistd.h>

#include "device/wii_lib_device.h"
#include "vm_harness.h"

int main() {
  VmScenario scenario("appear_after_start");
  ktWiiLib* lib = StartManager();
  // The board comes once the first, empty look is over and the manager waits.
  scenario.Check(WaitManagerWaiting(5000), "the manager never waits");
  scenario.Check(lib->GetDeviceCount() == 0, "%d devices before the board", lib->GetDeviceCount());

  VirtualBoard board("00:1f:32:aa:bb:07");
  if (board.Appear(scenario)) {
    ktWiiLibDevice* device = WaitIdentified(*lib, 0, 5000);
    if (scenario.Check(device != nullptr, "new board not found without an update request") &&
        ZeroAdjustAndWeigh(scenario, *device, board.sim, 64.0f)) {
      // Holding the old node open keeps its number taken, so the board
      // returns under a different one.
      const std::string oldNode = board.Node();
      const int holder = open(oldNode.c_str(), O_RDONLY);
      board.Vanish();
      scenario.Check(WaitFor([&] { return !device->IsOpen(); }, 3000),
                     "still open after vanishing");
      if (board.Appear(scenario)) {
        scenario.Note("back as %s (was %s)", board.Node().c_str(), oldNode.c_str());
        ktWiiLibDevice* again = WaitIdentified(*lib, 0, 5000);
        scenario.Check(again == device, "returning board not open again at index 0");
        scenario.Check(lib->GetDeviceCount() == 1, "%d devices listed", lib->GetDeviceCount());
        if (again)
          Weighs(scenario, *device, board.sim, 66.5f);
      }
      if (holder >= 0)
        close(holder);
    }
  }
  lib->Release();
  return scenario.Finish();
}
