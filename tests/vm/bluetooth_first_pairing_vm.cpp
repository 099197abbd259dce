// A board never seen before, in pairing mode by its SYNC button: a
// registration counts, pairs, trusts and connects it; the kernel's Wii
// driver takes its HID device, and the running device manager identifies and
// weighs it within the wait that follows the registration.

#include "bluetooth_bench.h"
#include "device/wii_lib_device.h"

int main() {
  VmScenario scenario("bluetooth_first_pairing");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.Start())
    return scenario.Finish();
  BluetoothBench::Board& board = bench.board(0);
  ktWiiLib* lib = StartManager();

  // SYNC just before the registration, so that the time to the first
  // weight is the program's own; bluetooth_sync_after_click presses it later.
  board.radio.PressSync();
  const auto start = std::chrono::steady_clock::now();
  Registration registration;
  const int result = registration.Result();
  const auto registered = std::chrono::steady_clock::now();
  scenario.Check(result == 1, "result %d", result);
  scenario.Check(bench.WaitConnected(0, 2000), "board not paired and connected");
  const auto states = bench.Devices(board.radio.AddressText());
  scenario.Check(states.size() == 1 && states[0].trusted, "board not trusted");
  const std::string node = WaitHidraw(board.radio.AddressText(), 2000);
  scenario.Check(!node.empty() && WiimoteBound(node), "no hidraw node with hid-wiimote bound");

  bool withinWait = false;
  ktWiiLibDevice* device = IdentifiedAfterRegistration(*lib, 0, withinWait);
  if (scenario.Check(device != nullptr, "board not identified") &&
      ZeroAdjustAndWeigh(scenario, *device, board.sim, 71.5f)) {
    const auto weighed = std::chrono::steady_clock::now();
    const auto seconds = [](auto span) { return std::chrono::duration<double>(span).count(); };
    scenario.Note("registration %.1f s, start of registration to first weight %.1f s",
                  registration.Seconds(), seconds(weighed - start));
    scenario.Check(withinWait && seconds(weighed - registered) * 1000 < Registration::kWaitMs,
                   "weighed %.1f s after the registration, beyond its wait",
                   seconds(weighed - registered));
  }
  lib->Release();
  return scenario.Finish();
}
