// A board made through uhid is found by the device manager among the
// system's hidraw devices, opened, identified and weighed.

#include "device/wii_lib_device.h"
#include "vm_harness.h"

int main() {
  VmScenario scenario("identify_weigh");
  VirtualBoard board("00:1f:32:aa:bb:01");
  if (!board.Appear(scenario))
    return scenario.Finish();
  board.WaitDriverQuiet();

  ktWiiLib* lib = StartManager();
  ktWiiLibDevice* device = WaitIdentified(*lib, 0, 5000);
  if (scenario.Check(device != nullptr, "board at %s not identified", board.Node().c_str())) {
    scenario.Check(lib->GetDeviceCount() == 1, "%d devices listed", lib->GetDeviceCount());
    scenario.Check(device->GetIndex() == 0, "index %d", device->GetIndex());
    ZeroAdjustAndWeigh(scenario, *device, board.sim, 72.5f) &&
        Weighs(scenario, *device, board.sim, 18.3f);
  }
  lib->Release();
  return scenario.Finish();
}
