// A board that is paired and connected is left alone by a registration: the
// result is 0 and its link stays as it was.

#include "bluetooth_bench.h"

int main() {
  VmScenario scenario("bluetooth_already_connected");
  BluetoothBench bench(scenario, 1, 1);
  if (!bench.StartRadio())
    return scenario.Finish();
  bench.RememberPairing(0, 0, true);
  if (!bench.StartDaemon())
    return scenario.Finish();
  RadioBoard& radio = bench.board(0).radio;
  radio.PressButton();
  if (!scenario.Check(bench.WaitConnected(0, 10000), "the board did not connect by its button"))
    return scenario.Finish();
  const int link = radio.LinkHandle();

  Registration registration;
  const int result = registration.Result();
  scenario.Check(result == 0, "result %d", result);
  scenario.Check(radio.LinkHandle() == link && radio.HidOpen(), "link %d (was %d), HID channels %s",
                 radio.LinkHandle(), link, radio.HidOpen() ? "open" : "closed");
  const auto states = bench.Devices(radio.AddressText());
  scenario.Check(states.size() == 1 && states[0].paired && states[0].connected,
                 "BlueZ lists the board %zu times, not as paired and connected", states.size());
  return scenario.Finish();
}
