#pragma once

#include <cstdint>

// Extension identifiers: the big-endian word at registers 0xA400FE..0xA400FF.
// A device is a Balance Board exactly when GetExtensionType gives 0x0402.
inline constexpr int kExtBalanceBoard = 0x0402;
inline constexpr int kExtNunchuk = 0x0000;
inline constexpr int kExtClassic = 0x0101;
inline constexpr int kExtNone = 0xFFFF;

// The board's front button in the core button word.
inline constexpr int kBoardButton = 0x0008;

// One opened Wii Remote-family device as the rest of the program sees it.
// The operations are declared in their fixed slot order. There is
// deliberately no virtual destructor: devices are owned and destroyed by the
// device manager as their concrete type, never through this interface.
class ktWiiLibDevice {
 public:
  virtual int IsOpen() = 0;                                                       // slot 0
  virtual int GetIndex() = 0;                                                     // slot 1
  virtual void Send(const uint8_t* report, int length) = 0;                       // slot 2
  virtual int ReadMemory(uint32_t spaceAndAddress, uint8_t* dest, int size) = 0;  // slot 3
  virtual int GetReadState() = 0;                                                 // slot 4
  virtual void GetExtensionMemory(uint8_t* dest) = 0;                             // slot 5
  virtual int GetExtensionType() = 0;                                             // slot 6
  virtual int GetBattery() = 0;                                                   // slot 7
  virtual int GetButtons() = 0;                                                   // slot 8
  virtual float GetAccel(unsigned axis) = 0;                                      // slot 9
  virtual int GetIRPoint(unsigned index) = 0;                                     // slot 10
  virtual int GetNunchukButtons() = 0;                                            // slot 11
  virtual float GetNunchukStick(unsigned axis) = 0;                               // slot 12
  virtual float GetNunchukAccel(unsigned axis) = 0;                               // slot 13
  virtual int GetClassicButtons() = 0;                                            // slot 14
  virtual float GetClassicAnalog(unsigned index) = 0;                             // slot 15
  virtual float GetBoardSensor(int sensor) = 0;                                   // slot 16
  virtual void SetZeroAdjust(int on) = 0;                                         // slot 17
  virtual float GetBoardWeight() = 0;                                             // slot 18
  virtual float GetBoardBalance(int axis) = 0;                                    // slot 19

 protected:
  ~ktWiiLibDevice() = default;
};
