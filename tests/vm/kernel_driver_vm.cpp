// The kernel's own Wii driver talks to the board too: at attach it asks for
// the status, writes the extension registers and reads the extension's id and
// calibration, and it sets its own reporting mode after every status report.
// Every input report reaches the device manager as well. The board is
// attached while the manager is already running and asked to look at once,
// as after a Bluetooth registration, so both exchanges overlap; after each
// attach and after an unprompted status report the board must be
// identified and weighed correctly.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/wii_lib_device.h"
#include "vm_harness.h"

namespace {

constexpr int kAttachCycles = 5;

using Outputs = std::vector<std::vector<uint8_t>>;

bool IsRead(const std::vector<uint8_t>& r) {
  return r.size() >= 7 && r[0] == 0x17;
}

uint32_t ReadAddress(const std::vector<uint8_t>& r) {
  return static_cast<uint32_t>(r[1]) << 24 | r[2] << 16 | r[3] << 8 | r[4];
}

// Memory reads that the manager does not make for a board.
int ForeignReads(const Outputs& outputs) {
  int count = 0;
  for (const auto& r : outputs) {
    const uint32_t address = IsRead(r) ? ReadAddress(r) : 0x04A400F0;
    if (address != 0x04A400F0 && address != 0x04A40000)
      ++count;
  }
  return count;
}

// The reports as hex, each cut to its first seven bytes.
std::string Describe(const Outputs& outputs) {
  std::string text;
  char part[32];
  for (const auto& r : outputs) {
    std::snprintf(part, sizeof part, " %02x", r.empty() ? 0 : r[0]);
    text += part;
    for (size_t i = 1; i < std::min<size_t>(r.size(), 7); ++i) {
      std::snprintf(part, sizeof part, "%02x", r[i]);
      text += part;
    }
  }
  return text;
}

// One attach: the board appears and the manager is asked to look at once.
// seen collects the host's output reports, for the failure message.
bool AttachAndWeigh(VmScenario& scenario, ktWiiLib& lib, VirtualBoard& board, int cycle,
                    Outputs& seen) {
  if (!board.Appear(scenario))
    return false;
  lib.RequestUpdate();
  ktWiiLibDevice* device = WaitIdentified(lib, 0, 5000);
  seen = board.WaitDriverQuiet();
  if (!scenario.Check(device != nullptr, "attach %d: not identified", cycle) ||
      !scenario.Check(
          device->GetExtensionType() == kExtBalanceBoard && device->GetReadState() == 0,
          "attach %d: taken for extension %04x (read state %d) once the kernel's driver "
          "had finished",
          cycle, device->GetExtensionType(), device->GetReadState())) {
    return false;
  }
  scenario.Note("attach %d as %s: %d reads by the kernel's driver", cycle, board.Node().c_str(),
                ForeignReads(seen));
  const float kg = 50.0f + static_cast<float>(cycle);
  const bool weighed = cycle == 0 ? ZeroAdjustAndWeigh(scenario, *device, board.sim, kg)
                                  : Weighs(scenario, *device, board.sim, kg);
  if (!weighed)
    return false;

  // An unprompted status report restarts both sides' exchanges at once.
  board.uhid.TakeOutputs();
  board.sim.SendStatus();
  WaitFor([&] { return device->GetReadState() != 0; }, 500);
  seen = board.WaitDriverQuiet();
  return scenario.Check(WaitIdentified(lib, 0, 5000) == device,
                        "attach %d: not identified after a status report", cycle) &&
         Weighs(scenario, *device, board.sim, kg + 0.5f);
}

}  // namespace

int main() {
  VmScenario scenario("kernel_driver");
  VirtualBoard board("00:1f:32:aa:bb:04");
  ktWiiLib* lib = StartManager();
  for (int cycle = 0; cycle < kAttachCycles; ++cycle) {
    Outputs seen;
    if (!AttachAndWeigh(scenario, *lib, board, cycle, seen)) {
      scenario.Note("host reports:%s", Describe(seen).c_str());
      break;
    }
    board.Vanish();
    ktWiiLibDevice* device = lib->GetDevice(0);
    if (!scenario.Check(WaitFor([&] { return !device->IsOpen(); }, 3000),
                        "still open after vanishing"))
      break;
  }
  scenario.Check(lib->GetDeviceCount() == 1, "%d devices listed", lib->GetDeviceCount());
  lib->Release();
  return scenario.Finish();
}
