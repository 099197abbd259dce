#include "render/screen_states.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "app/app_window.h"
#include "device/wii_lib_device.h"
#include "transport/wii_lib.h"

namespace {

constexpr float kShownWeight = 65.0f;  // kg
// Quarter kilograms per cell, adding up to the shown weight.
constexpr float kShownCells[4] = {70.0f, 58.0f, 66.0f, 66.0f};

// A Balance Board that is open, initialised and reads a constant load.
class FixedBoard : public ktWiiLibDevice {
 public:
  int IsOpen() override { return 1; }
  int GetIndex() override { return 0; }
  void Send(const uint8_t*, int) override {}
  int ReadMemory(uint32_t, uint8_t*, int) override { return 0; }
  int GetReadState() override { return 0; }
  void GetExtensionMemory(uint8_t*) override {}
  int GetExtensionType() override { return kExtBalanceBoard; }
  int GetBattery() override { return 0; }
  int GetButtons() override { return 0; }
  float GetAccel(unsigned) override { return 0.0f; }
  int GetIRPoint(unsigned) override { return 0; }
  int GetNunchukButtons() override { return 0; }
  float GetNunchukStick(unsigned) override { return 0.0f; }
  float GetNunchukAccel(unsigned) override { return 0.0f; }
  int GetClassicButtons() override { return 0; }
  float GetClassicAnalog(unsigned) override { return 0.0f; }
  float GetBoardSensor(int sensor) override {
    return sensor >= 0 && sensor < 4 ? kShownCells[sensor] : 0.0f;
  }
  void SetZeroAdjust(int) override {}
  float GetBoardWeight() override { return kShownWeight; }
  float GetBoardBalance(int) override { return 0.0f; }
};

// A device manager listing at most one fixed board.
class FixedWiiLib : public ktWiiLib {
 public:
  explicit FixedWiiLib(bool withBoard) : count(withBoard ? 1 : 0) {}
  void DumpDevices() override {}
  void Release() override { delete this; }
  int GetDeviceCount() override { return count; }
  ktWiiLibDevice* GetDevice(unsigned index) override {
    return index < static_cast<unsigned>(count) ? &board : nullptr;
  }
  int Start(int, int) override { return 1; }
  int RequestUpdate() override { return 1; }

 private:
  FixedBoard board;
  int count;
};

const char* const kHistory[] = {
    "0 2024-03-01 07:12:40  64.8", "1 2024-03-01 07:15:02  58.3", "0 2024-03-02 07:10:11  64.6",
    "2 2024-03-02 21:40:55  42.1", "0 2024-03-03 07:09:30  64.9",
};

void InstallBoard(AppWindow& window, bool withBoard) {
  if (window.wiiLib)
    window.wiiLib->Release();
  window.wiiLib = new (std::nothrow) FixedWiiLib(withBoard);
}

void ShowSettledBoard(AppWindow& window, int zeroAdjustFrames) {
  InstallBoard(window, true);
  DeviceEntry& entry = window.entries[0];
  entry.smoothedWeight = kShownWeight;
  entry.userWeight[window.currentUser] = kShownWeight;
  // The frame counts the adjustment down once before the weight is shown.
  entry.zeroAdjustFrames = zeroAdjustFrames > 0 ? zeroAdjustFrames + 1 : 0;
  int slot = 0;
  for (const char* record : kHistory)
    std::snprintf(window.history[slot++], kHistoryText, "%s", record);
}

void ShowMeasuring(AppWindow& window, int frame) {
  window.currentUser = 1;
  ShowSettledBoard(window, 0);
  window.modeFlags.fetch_or(ModeMeasuring);
  window.frameCount = frame;
}

}  // namespace

int PrepareScreenState(AppWindow& window, const char* name) {
  window.frameSleepMs = 0;
  window.startupGrace = 0;
  if (std::strcmp(name, "no-board") == 0) {
    InstallBoard(window, false);
  } else if (std::strcmp(name, "idle-history") == 0) {
    ShowSettledBoard(window, 0);
  } else if (std::strcmp(name, "measuring-on") == 0) {
    ShowMeasuring(window, 0);
  } else if (std::strcmp(name, "measuring-off") == 0) {
    ShowMeasuring(window, 16);
  } else if (std::strcmp(name, "zero-adjust") == 0) {
    ShowSettledBoard(window, kZeroAdjustFrames - 1);
  } else if (std::strcmp(name, "register-pairing") == 0) {
    window.modeFlags.fetch_or(ModeRegistering);
  } else if (std::strcmp(name, "register-waiting") == 0) {
    window.modeFlags.fetch_or(ModeRegistering | ModeRegisterWait);
  } else if (std::strcmp(name, "register-updating") == 0) {
    window.modeFlags.fetch_or(ModeRegistering | ModeRegisterWait | ModeRegisterUpdate);
  } else {
    return 0;
  }
  return 1;
}
