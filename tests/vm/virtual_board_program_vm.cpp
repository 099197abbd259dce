// gravimo-virtual-board as a user runs it: its board is found and identified
// by the device manager, goes away at a SIGUSR1, comes back with the same
// address at the next, and the program ends cleanly on SIGTERM.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "device/wii_lib_device.h"
#include "vm_harness.h"

namespace {

constexpr char kUniq[] = "00:1f:32:aa:bb:05";

pid_t StartProgram() {
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/tests/gravimo-virtual-board", "gravimo-virtual-board", "--uniq", kUniq, "--load", "40",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

}  // namespace

int main() {
  VmScenario scenario("virtual_board_program");
  const pid_t pid = StartProgram();
  const bool present = WaitFor([] { return !FindHidraw(kUniq).empty(); }, 10000);
  ktWiiLib* lib = StartManager();
  ktWiiLibDevice* device = present ? WaitIdentified(*lib, 0, 10000) : nullptr;
  if (scenario.Check(present, "no hidraw node for the program's board") &&
      scenario.Check(device != nullptr, "the program's board was not identified")) {
    kill(pid, SIGUSR1);
    scenario.Check(WaitFor([&] { return !device->IsOpen(); }, 10000), "board did not vanish");
    kill(pid, SIGUSR1);
    std::string node;
    scenario.Check(WaitFor([&] { return !(node = FindHidraw(kUniq)).empty(); }, 10000),
                   "board did not return");
    // Look once the kernel's own driver has attached the returned board, as
    // a registration would; overlapping with it is the kernel-driver
    // scenario's subject.
    scenario.Check(WaitFor([&] { return WiimoteBound(node); }, 10000),
                   "hid-wiimote not bound to the returned board");
    lib->RequestUpdate();
    scenario.Check(WaitIdentified(*lib, 0, 10000) == device,
                   "returned board not open again in place");
  }
  lib->Release();
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  scenario.Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "program ended with status %#x",
                 status);
  return scenario.Finish();
}
