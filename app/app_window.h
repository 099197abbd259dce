#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

#include "app/registration_gate.h"
#include "app/window.h"
#include "support/worker_thread.h"

class ktWiiLib;
class ktWiiLibDevice;
class ktBluetoothLib;
class Canvas;

// Bits of AppWindow::modeFlags. Every change is one atomic read-modify-write,
// because the registration thread changes the registration bits while the
// user-interface thread changes ModeMeasuring.
enum : int32_t {
  ModeRegistering = 0x04,
  ModeRegisterWait = 0x08,
  ModeRegisterUpdate = 0x10,
  ModeMeasuring = 0x20,
};

inline constexpr int kDeviceEntries = 32;
inline constexpr int kUsers = 4;
inline constexpr int kHistorySlots = 8;
inline constexpr int kHistoryText = 64;
inline constexpr int kZeroAdjustFrames = 60;
inline constexpr int kStartupGraceFrames = 120;

// What the application keeps per position of the device list.
struct DeviceEntry {
  float smoothedWeight = 0.0f;    // kg, low-pass filtered; shown and recorded
  float rawWeight = 0.0f;         // kg, this frame's reading; drives the needle
  float userWeight[kUsers] = {};  // kg, smoothed weight at each user's previous frame
  float trend = 0.0f;             // kg, filtered change between measuring frames
  float cornerWeight[4] = {};     // quarter kg, the four load cells this frame
  int32_t zeroAdjustFrames = kZeroAdjustFrames;
  int32_t deviceKind = 0;            // extension type as last read
  ktWiiLibDevice* device = nullptr;  // not owned; the device at this index this frame
};

// Fills *out with the current local time.
using LocalTimeSource = void (*)(struct tm* out);

using WiiLibFactory = std::function<ktWiiLib*()>;
using BluetoothLibFactory = ktBluetoothLib* (*)();

// The main window and owner of all application state.
class AppWindow : public ktWindow {
 public:
  explicit AppWindow(void* instance);
  ~AppWindow() override;

  int OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  // Start-up and shutdown steps of the window.
  int Setup();
  void Cleanup();

  // One frame: compose the picture into the back buffer and present it.
  void RenderFrame();
  void DrawTextAt(int x, int y, const char* format, ...) __attribute__((format(printf, 4, 5)));
  void DrawMessageLines(const char* const* lines);
  void DrawRegistrationScreen();
  void ComposeMainScreen();

  // Measurement controller.
  void StartMeasurement(int user);
  void ZeroAdjust();
  int PollDevices();  // returns the pending count
  void UpdateEntry(DeviceEntry& entry, ktWiiLibDevice* device);
  void UpdateMeasurement(DeviceEntry& entry);

  // Weight log.
  FILE* OpenLogFile(const char* mode);
  void LoadHistory();
  void AppendLog(DeviceEntry& entry);

  // Commands.
  int OnCommand(uint16_t command);
  void StartRegistration();
  int RegistrationMain();
  void FinishRegistration();
  void OpenManualPage();
  void OpenProgramPage();
  void OpenBlogPage();

  // Drawing resources.
  Canvas* canvas = nullptr;
  int32_t W = 600;
  int32_t H = 400;
  int32_t frameSleepMs = 33;  // the pause that ends every frame

  ktWiiLib* wiiLib = nullptr;  // owned

  // Measurement state.
  std::atomic<int32_t> modeFlags{0};
  int32_t currentUser = 0;
  int32_t measureTimer = 0;
  int32_t stableFrames = 0;
  int32_t prevButtons = 0;
  int32_t frameCount = 0;
  int32_t startupGrace = kStartupGraceFrames;
  DeviceEntry entries[kDeviceEntries];
  DeviceEntry* activeEntry = nullptr;

  // The last eight records, oldest first; an empty slot has a NUL first byte.
  char history[kHistorySlots][kHistoryText] = {};
  std::string logPath;  // full path of the weight log file
  LocalTimeSource localTime = nullptr;
  int32_t logFailureReported = 0;  // a failed log write is reported once per window

  WorkerThread registerThread;
  // Set by the registration thread; the next frame runs ZeroAdjust on the
  // user-interface thread, so it never interleaves with a frame.
  std::atomic<int32_t> zeroAdjustRequest{0};

  // Where the device manager and the Bluetooth registration come from; the
  // system's when not set. The demo and tests set them before Setup.
  WiiLibFactory createWiiLib;
  BluetoothLibFactory createBluetoothLib = nullptr;
  int32_t registrationWaitMs = 10000;  // time the system gets to set up a new board
  RegistrationGate registration;
  // Called once, when the first picture has been copied to the window.
  std::function<void()> firstPresent;
};
