#pragma once

#include <sys/types.h>

#include <string>

#include "../vm_harness.h"

// What the Windows device manager under Wine reports of one device.
struct ProbedDevice {
  std::string answer;    // the probe's line, for failure messages
  int count = 0;         // devices listed
  std::string identity;  // the device object's address; empty when not listed
  int open = 0;
  int extension = 0;
  int readState = -1;
  int buttons = 0;
  float weight = 0.0f;
  float cells[4] = {};

  bool Listed() const { return !identity.empty(); }
  bool Identified() const;
};

// Waits until no process holds node open any more. Wine's HID bus lets go
// of a vanished board's hidraw node only when Windows' plug and play has
// removed the device; a board that returns before that is taken for the
// old one and never added again.
bool WaitNodeReleased(const std::string& node, int timeoutMs);
// The same for every hidraw node, as a Wine scenario starts: Wine's
// services outlive the scenario before and hold its board's node until
// they have removed that device, and a board made meanwhile would take the
// node's number and pass for the old one. Notes how long it waited.
bool WaitEarlierBoardsReleased(VmScenario& scenario);

// wii_lib_probe.exe under Wine ("wine" from PATH), which starts the Windows
// device manager over Wine's HID stack and answers one line per command on
// its standard input. Wine's own messages go to a file that a failing
// scenario shows.
class WineProbe {
 public:
  explicit WineProbe(VmScenario& scenario);
  ~WineProbe();

  // Starts the probe and waits for its first answer (Wine's first start in
  // the machine takes a while). Records a failure when it does not come.
  bool Start();
  ProbedDevice State(unsigned index);
  void SetZeroAdjust(unsigned index, bool on);

  // Waits until device index is listed, open and identified as a board;
  // records failure, with the probe's last answer, when it is not.
  bool WaitIdentified(unsigned index, int timeoutMs, ProbedDevice& device, const char* failure);
  // Zero-adjusts device index over the board's empty readings, then puts kg
  // on the board and checks that the device weighs it within 0.1 kg.
  bool ZeroAdjustAndWeigh(unsigned index, SimBoard& board, float kg);
  bool Weighs(unsigned index, SimBoard& board, float kg);

 private:
  // Sends command and reads one line; "" when none comes within timeoutMs.
  std::string Ask(const char* command, int timeoutMs);
  void NoteWineOutput();

  VmScenario& scenario;
  pid_t child = -1;
  int toProbe = -1;
  int fromProbe = -1;
  std::string received;
};
