// A board that does not answer the host's first reports: after 2000 ms
// without any completed transfer the manager sends its opening reports again
// as plain writes, and the board is identified after all.

#include <chrono>

#include "device/wii_lib_device.h"
#include "vm_harness.h"

namespace {

bool IsOpeningPair(const std::vector<std::vector<uint8_t>>& outputs, size_t at) {
  return outputs.size() >= at + 2 && outputs[at].size() >= 2 && outputs[at][0] == 0x11 &&
         outputs[at][1] == 0x00 && outputs[at + 1].size() >= 2 && outputs[at + 1][0] == 0x15;
}

}  // namespace

int main() {
  VmScenario scenario("silent_probe");
  VirtualBoard board("00:1f:32:aa:bb:02");
  if (!board.Appear(scenario))
    return scenario.Finish();
  board.WaitDriverQuiet();
  board.uhid.SilenceNext(2);

  const auto start = std::chrono::steady_clock::now();
  ktWiiLib* lib = StartManager();
  ktWiiLibDevice* device = WaitIdentified(*lib, 0, 8000);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  if (scenario.Check(device != nullptr, "board not identified within 8 s")) {
    scenario.Note("identified after %lld ms", static_cast<long long>(ms));
    scenario.Check(ms >= 1900, "identified after %lld ms, before the probe time-out",
                   static_cast<long long>(ms));
    const auto outputs = board.uhid.TakeOutputs();
    scenario.Check(IsOpeningPair(outputs, 0) && IsOpeningPair(outputs, 2),
                   "the opening reports were not sent twice in a row (%zu reports)",
                   outputs.size());
    ZeroAdjustAndWeigh(scenario, *device, board.sim, 64.0f);
  }
  lib->Release();
  return scenario.Finish();
}
