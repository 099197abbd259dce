// The path every other scenario builds on: a uhid board gets a hidraw node
// beside the kernel's Wii driver, with the board's identity, and a status
// request sent through that node (by set-output-report and by write) comes
// back as a status report.

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>

#include "vm_harness.h"

namespace {

constexpr char kUniq[] = "00:1f:32:aa:bb:10";

// The smallest board: answers a status request with "extension connected".
void AnswerStatus(UhidBoard& board, const uint8_t* report, int length) {
  if (length < 1 || report[0] != 0x15)
    return;
  const uint8_t status[7] = {0x20, 0x00, 0x00, 0x02, 0x00, 0x00, 0xC0};
  board.SendInput(status, sizeof status);
}

// Reads input reports until a status report arrives or 2 s pass.
bool ReadStatus(int fd) {
  for (int i = 0; i < 50; ++i) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0)
      return false;
    uint8_t report[64];
    if (read(fd, report, sizeof report) > 0 && report[0] == 0x20)
      return true;
  }
  return false;
}

}  // namespace

int main() {
  VmScenario scenario("hidraw_path");
  UhidBoard board({.uniq = kUniq});
  board.SetOutputHandler([&board](const uint8_t* r, int n) { AnswerStatus(board, r, n); });
  if (!scenario.Check(board.Create(), "uhid device not created"))
    return scenario.Finish();
  BoardPump pump(board);

  std::string node;
  WaitFor([&] { return !(node = FindHidraw(kUniq)).empty(); }, 5000);
  if (!scenario.Check(!node.empty(), "no hidraw node for the board"))
    return scenario.Finish();
  scenario.Note("node %s", node.c_str());

  const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK);
  if (!scenario.Check(fd >= 0, "cannot open %s", node.c_str()))
    return scenario.Finish();
  hidraw_devinfo info{};
  scenario.Check(ioctl(fd, HIDIOCGRAWINFO, &info) == 0, "HIDIOCGRAWINFO failed");
  scenario.Check(info.bustype == BUS_BLUETOOTH && (info.vendor & 0xFFFF) == 0x057E &&
                     (info.product & 0xFFFF) == 0x0306,
                 "identity bus %u vendor %04x product %04x", info.bustype, info.vendor & 0xFFFF,
                 info.product & 0xFFFF);

  const uint8_t request[2] = {0x15, 0x00};
  scenario.Check(ioctl(fd, HIDIOCSOUTPUT(2), request) >= 0, "set-output-report refused");
  scenario.Check(ReadStatus(fd), "no status report after set-output-report");
  scenario.Check(write(fd, request, sizeof request) == 2, "write refused");
  scenario.Check(ReadStatus(fd), "no status report after write");
  close(fd);
  return scenario.Finish();
}
