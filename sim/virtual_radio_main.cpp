// gravimo-virtual-radio: simulated Balance Boards in the air, so Gravimo's
// registration and reconnection can be tried against BlueZ without hardware.
// Each board takes one controller of BlueZ's emulator (btvirt -lN) through an
// HCI user channel, which needs root and a controller that bluetoothd has
// not powered on (start this first, or power the controller off).

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/radio_board_linux.h"

namespace {

constexpr char kUsage[] =
    "usage: gravimo-virtual-radio HCI_INDEX...\n"
    "One board per controller index. Commands on standard input, one a line,\n"
    "for board N (the first when N is left out):\n"
    "  sync [N]      pairing mode (discoverable) for 20 s\n"
    "  button [N]    front button: wakes the board, which pages its host\n"
    "  off [N]       power off: the link drops\n"
    "  away [N]      out of range: the link is lost\n"
    "  forget [N]    forget every pairing, as with the batteries out\n"
    "  load KG [N]   total load on the board\n"
    "  quit\n";

using Boards = std::vector<std::unique_ptr<BoardInAir>>;

// Runs one command line; false when it is not understood.
bool Run(const std::string& line, Boards& boards) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  float kg = 0.0f;
  if (command == "load" && !(words >> kg))
    return false;
  size_t index = 0;
  if (!(words >> index))
    index = 0;
  if (index >= boards.size())
    return false;
  BoardInAir& board = *boards[index];
  if (command == "sync")
    board.radio.PressSync();
  else if (command == "button")
    board.radio.PressButton();
  else if (command == "off")
    board.radio.PowerOff();
  else if (command == "away")
    board.radio.GoOutOfRange();
  else if (command == "forget")
    board.radio.ForgetPairings();
  else if (command == "load")
    board.sim.SetTotalLoad(kg);
  else
    return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  Boards boards;
  for (int i = 1; i < argc; ++i) {
    boards.push_back(std::make_unique<BoardInAir>("Nintendo RVL-WBC-01"));
    if (!boards.back()->radio.Attach(std::atoi(argv[i]))) {
      std::fprintf(stderr, "gravimo-virtual-radio: cannot take controller hci%s\n", argv[i]);
      return 1;
    }
    std::printf("board %d: %s on hci%s\n", i - 1, boards.back()->radio.AddressText().c_str(),
                argv[i]);
  }
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line) && line != "quit";) {
    if (!line.empty() && !Run(line, boards))
      std::fputs(kUsage, stderr);
  }
  return 0;
}
