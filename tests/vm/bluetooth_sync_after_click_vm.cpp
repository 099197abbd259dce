// The user chooses the command, then turns the board over and presses SYNC.
// Each round is a new board on a new bench; SYNC comes 0, 3, 8 and 12 s
// after the registration's discovery is seen running (these delays are the
// point of the test). Each board is registered within the program's own
// search, and weighed.

#include <chrono>

#include "bluetooth_bench.h"
#include "device/wii_lib_device.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration span) {
  return std::chrono::duration<double>(span).count();
}

bool Round(VmScenario& scenario, int delaySeconds) {
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.Start())
    return false;
  BluetoothBench::Board& board = bench.board(0);
  ktWiiLib* lib = StartManager();
  const Clock::time_point start = Clock::now();
  Registration registration(0);
  bool ok = scenario.Check(WaitFor([&] { return bench.Discovering(0); }, 10000, 100),
                           "SYNC at +%d s: the registration did not discover", delaySeconds);
  if (ok) {
    std::this_thread::sleep_until(Clock::now() + std::chrono::seconds(delaySeconds));
    board.radio.PressSync();
    ktWiiLibDevice* device = WaitIdentified(*lib, 0, kBluetoothSearchLeastMs + 10000);
    ok = scenario.Check(device != nullptr, "SYNC at +%d s: board not identified", delaySeconds) &&
         ZeroAdjustAndWeigh(scenario, *device, board.sim, 60.0f + delaySeconds);
    const double weighed = Seconds(Clock::now() - start);
    // Weighed: the rest of the search would show nothing more.
    registration.Cancel();
    const int result = registration.Result();
    ok = ok && scenario.Check(result == 1, "SYNC at +%d s: result %d", delaySeconds, result);
    if (ok)
      scenario.Note("SYNC at +%d s: first weight %.1f s after the registration started",
                    delaySeconds, weighed);
  }
  registration.Cancel();
  lib->Release();
  return ok;
}

}  // namespace

int main() {
  VmScenario scenario("bluetooth_sync_after_click");
  for (int delaySeconds : {0, 3, 8, 12}) {
    if (!Round(scenario, delaySeconds))
      break;
  }
  return scenario.Finish();
}
