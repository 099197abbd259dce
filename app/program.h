#pragma once

#include <functional>
#include <string>

class ktWiiLib;

// What a program entry may change about the main window before it starts.
struct ProgramSetup {
  std::function<ktWiiLib*()> createWiiLib;  // null: the system's HID devices
  std::string logPath;                      // empty: the documents folder's log
  std::function<void()> firstPresent;       // called when the first picture is shown
};

inline constexpr int kExitNoDisplay = 2;
inline constexpr int kExitNoMemory = 3;

// The whole life of the program: the checked heap, the main window, the
// loop of messages and frames until the quit message, and the shutdown in
// reverse. Returns 0 after a normal quit. The entry has called
// InitTranslations before.
int RunProgram(const ProgramSetup& setup);
