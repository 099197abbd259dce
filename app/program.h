#pragma once

#include <functional>
#include <string>

class ktWiiLib;
struct CsvExportOptions;

// What a program entry may change about the main window before it starts.
struct ProgramSetup {
  std::function<ktWiiLib*()> createWiiLib;  // null: the system's HID devices
  std::string logPath;                      // empty: the documents folder's log
  std::function<void()> firstPresent;       // called when the first picture is shown
  std::string windowTitle;                  // empty: the program's name
  // One copy per user session: a second start brings the first copy's
  // window to the front and ends with 0. The demo, on its own simulated
  // board and log, may run beside the program.
  bool singleInstance = false;
};

inline constexpr int kExitNoDisplay = 2;
inline constexpr int kExitNoMemory = 3;
inline constexpr int kExitNoLog = 4;
inline constexpr int kExitCannotWrite = 5;
inline constexpr int kExitUsage = 64;  // as sysexits.h: arguments not understood

// The whole life of the program: the claim of the session (when asked for),
// the checked heap, the main window, the loop of messages and frames until
// the quit message, and the shutdown in reverse. Returns 0 after a normal
// quit, and when another copy runs already. The entry has called
// InitTranslations before.
int RunProgram(const ProgramSetup& setup);

// Writes the weight log from its usual place as CSV to destination ("-":
// standard output), without a window, and says on standard output what it
// wrote (on standard error when the CSV went there, and why it could not).
// Returns 0; kExitNoLog when the log cannot be read; kExitCannotWrite when
// the destination cannot be written or is the log itself.
int RunCsvExport(const char* destination, const CsvExportOptions& options);

// Merges the CSV file's new records into the weight log, without a window,
// and says on standard output what it added (on standard error why it
// could not). user 0..3 gives every record to that user; -1 keeps the
// file's user column. Returns 0; kExitNoLog when the CSV or the log cannot
// be read; kExitCannotWrite when the log cannot be rewritten.
int RunCsvImport(const char* source, int user);
