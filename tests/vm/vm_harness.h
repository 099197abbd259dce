#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_board.h"
#include "sim/virtual_board_uhid.h"
#include "transport/wii_lib.h"

class ktWiiLibDevice;

// Helpers for the programs that run inside the test virtual machine. Each
// program checks one scenario and prints exactly one result line,
//   VMTEST <name> PASS
//   VMTEST <name> FAIL <what went wrong>
// which the host script collects from the serial console.

class VmScenario {
 public:
  explicit VmScenario(const char* name);
  // Records a failure when ok is false; returns ok so callers can stop early.
  bool Check(bool ok, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Prints a progress line that the host shows when the scenario fails.
  void Note(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool Passed() const { return failure.empty(); }
  // Prints the result line; the program's exit code.
  int Finish();

 private:
  std::string name;
  std::string failure;
};

// Polls condition every pollMs until it holds or timeoutMs have passed.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs, int pollMs = 10);

// The /dev/hidrawN node whose HID device carries uniq, or "" if none does.
std::string FindHidraw(const std::string& uniq);

// hid-wiimote is bound to the board's HID device behind node.
bool WiimoteBound(const std::string& node);

// Waits until another thread of this process waits in poll(2): the device
// manager's I/O thread has made its first look and waits for news.
bool WaitManagerWaiting(int timeoutMs);

// Serves a uhid board's kernel requests on a thread of its own.
class BoardPump {
 public:
  explicit BoardPump(UhidBoard& board);
  ~BoardPump();

 private:
  std::atomic<bool> stop{false};
  std::thread thread;
};

// A simulated board on uhid, served on its own thread, with drifted zero
// points.
class VirtualBoard {
 public:
  explicit VirtualBoard(const char* uniq);

  // Creates the device and waits for its hidraw node. Records a failure in
  // scenario when either does not happen.
  bool Appear(VmScenario& scenario);
  void Vanish() { uhid.Destroy(); }
  // Waits until the host has sent nothing for 500 ms; what it sent until then.
  std::vector<std::vector<uint8_t>> WaitDriverQuiet();

  const std::string& Node() const { return node; }
  const std::string uniq;
  SimBoard sim;
  UhidBoard uhid;

 private:
  std::string node;
  std::unique_ptr<BoardPump> pump;  // serves the kernel once the device exists
};

// The manager over the real hidraw devices, started for the board's ids.
ktWiiLib* StartManager();

// Waits until device index is listed, open and identified as a board with
// its memory reads finished.
ktWiiLibDevice* WaitIdentified(ktWiiLib& lib, unsigned index, int timeoutMs);

// Moves the board's zero points slightly, so that weighing needs the host's
// zero adjustment.
void DriftZeroPoints(SimBoard& board);

// Zero-adjusts the devices over their boards' empty readings, without
// knowing which device is which board; a device weighs nothing before. 0
// when a device did not handle the boards' reports.
bool ZeroAdjust(const std::vector<ktWiiLibDevice*>& devices, const std::vector<SimBoard*>& boards);

// The same over devices reached some other way: setZeroAdjust switches
// every device's zero adjustment, buttons reads one device's button word.
bool ZeroAdjustThrough(const std::function<void(bool)>& setZeroAdjust,
                       const std::vector<std::function<int()>>& buttons,
                       const std::vector<SimBoard*>& boards);

// Zero-adjusts device over the board's current (empty) readings, then puts kg
// on the board and checks that the device weighs it within 0.1 kg.
bool ZeroAdjustAndWeigh(VmScenario& scenario, ktWiiLibDevice& device, SimBoard& board, float kg);

// Puts kg on the board and checks that the device weighs it within 0.1 kg.
bool Weighs(VmScenario& scenario, ktWiiLibDevice& device, SimBoard& board, float kg);
