#pragma once

#include <vector>

#include "device/wii_lib_device.h"
#include "transport/wii_lib.h"

// A device whose readings are set directly, for pictures and frame tests
// that need exact values rather than a simulated exchange.
class FixedBoard : public ktWiiLibDevice {
 public:
  int open = 1;
  int readState = 0;
  int extension = kExtBalanceBoard;
  int buttons = 0;
  float weight = 0.0f;  // kg
  float cells[4] = {};  // quarter kg
  int zeroAdjust = -1;  // last value given to SetZeroAdjust
  int battery = 0xC0;   // as fresh cells report it

  int IsOpen() override { return open; }
  int GetIndex() override { return 0; }
  void Send(const uint8_t*, int) override {}
  int ReadMemory(uint32_t, uint8_t*, int) override { return 0; }
  int GetReadState() override { return readState; }
  void GetExtensionMemory(uint8_t*) override {}
  int GetExtensionType() override { return extension; }
  int GetBattery() override { return battery; }
  int GetButtons() override { return buttons; }
  float GetAccel(unsigned) override { return 0.0f; }
  int GetIRPoint(unsigned) override { return 0; }
  int GetNunchukButtons() override { return 0; }
  float GetNunchukStick(unsigned) override { return 0.0f; }
  float GetNunchukAccel(unsigned) override { return 0.0f; }
  int GetClassicButtons() override { return 0; }
  float GetClassicAnalog(unsigned) override { return 0.0f; }
  float GetBoardSensor(int sensor) override {
    return sensor >= 0 && sensor < 4 ? cells[sensor] : 0.0f;
  }
  void SetZeroAdjust(int on) override { zeroAdjust = on; }
  float GetBoardWeight() override { return weight; }
  float GetBoardBalance(int) override { return 0.0f; }
};

// A device manager over devices its user owns; counts how often the list was
// asked for. Release deletes it, as the application expects.
class FixedWiiLib : public ktWiiLib {
 public:
  std::vector<ktWiiLibDevice*> devices;
  int countCalls = 0;

  void DumpDevices() override {}
  void Release() override { delete this; }
  int GetDeviceCount() override {
    ++countCalls;
    return static_cast<int>(devices.size());
  }
  ktWiiLibDevice* GetDevice(unsigned index) override {
    return index < devices.size() ? devices[index] : nullptr;
  }
  int Start(int, int) override { return 1; }
  int RequestUpdate() override { return 1; }
};
