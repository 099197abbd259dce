#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "sim/virtual_board_uhid.h"

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
  // Prints the result line; the program's exit code.
  int Finish();

 private:
  std::string name;
  std::string failure;
};

// Polls condition every 10 ms until it holds or timeoutMs have passed.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs);

// The /dev/hidrawN node whose HID device carries uniq, or "" if none does.
std::string FindHidraw(const std::string& uniq);

// Serves a uhid board's kernel requests on a thread of its own.
class BoardPump {
 public:
  explicit BoardPump(UhidBoard& board);
  ~BoardPump();

 private:
  std::atomic<bool> stop{false};
  std::thread thread;
};
