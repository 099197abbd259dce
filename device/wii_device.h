#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "device/ext_values.h"
#include "device/report_port.h"
#include "device/wii_lib_device.h"

// One opened Wii Remote-family device: Balance Board or Wii Remote alike.
//
// Contract with whatever carries the reports (the HID channel, the
// simulator's loopback, a test):
//   SetPort(port)            the device sends every output report through the
//                            port; without a port (or while the port is not
//                            open) reports are dropped. IsOpen() is
//                            port && port->IsOpen().
//   SetInputReportLength(n)  the declared input report length of the device
//                            (0 = unknown); no handler reads beyond it.
//   OnOpened(listIndex)      after the carrier has opened the device: stores
//                            the list position, sets the extension type to
//                            kExtNone and sends kOutLedsOff then
//                            kOutStatusRequest. The read state is kept.
//   OnInputReport(r, count)  one received input report, count = bytes
//                            received; ids 0x20..0x3F go to their handler in
//                            ReportHandlerTable, others are ignored.
// The carrier owns the file handle, buffers and send queue; the device owns
// the protocol state and the decoded values.
//
// Threads: the carrier's I/O thread calls OnOpened and OnInputReport and so
// writes every decoded field; the user-interface thread calls the getters and
// SetZeroAdjust. Every field read across threads is atomic.

// The memory-read state machine: what the next read reply belongs to.
enum ReadState : int32_t {
  kReadIdle = 0,
  kReadExtensionId = 1,
  kReadExtensionMemory = 2,
  kReadUser = 3,
  kReadRemoteCalibration = 4,
};

class ktWiiDevice;

// Handler of one input report id: (device, report bytes, bytes received).
using ReportHandler = void (*)(ktWiiDevice& device, const uint8_t* report, int count);

// One handler for each report id 0x20..0x3F, indexed by id - 0x20.
extern const ReportHandler ReportHandlerTable[32];

class ktWiiDevice : public ktWiiLibDevice {
 public:
  static constexpr int kExtMemorySize = 256;
  static constexpr int kRemoteCalibrationSize = 16;

  ktWiiDevice() = default;
  ktWiiDevice(const ktWiiDevice&) = delete;
  ktWiiDevice& operator=(const ktWiiDevice&) = delete;
  virtual ~ktWiiDevice() = default;

  // Carrier side (see the contract above).
  void SetPort(ktReportPort* port) { this->port.store(port, std::memory_order_release); }
  void SetInputReportLength(int length) {
    inputReportLength.store(length, std::memory_order_relaxed);
  }
  void OnOpened(int listIndex);
  void OnInputReport(const uint8_t* report, int count);

  // ktWiiLibDevice, in slot order.
  int IsOpen() override;
  int GetIndex() override;
  void Send(const uint8_t* report, int length) override;
  int ReadMemory(uint32_t spaceAndAddress, uint8_t* dest, int size) override;
  int GetReadState() override;
  void GetExtensionMemory(uint8_t* dest) override;
  int GetExtensionType() override;
  int GetBattery() override;
  int GetButtons() override;
  float GetAccel(unsigned axis) override;
  int GetIRPoint(unsigned index) override;
  int GetNunchukButtons() override;
  float GetNunchukStick(unsigned axis) override;
  float GetNunchukAccel(unsigned axis) override;
  int GetClassicButtons() override;
  float GetClassicAnalog(unsigned index) override;
  float GetBoardSensor(int sensor) override;
  void SetZeroAdjust(int on) override;
  float GetBoardWeight() override;
  float GetBoardBalance(int axis) override;

  // Input report handlers (entries of ReportHandlerTable).
  static void OnStatus(ktWiiDevice& device, const uint8_t* report, int count);
  static void OnReadData(ktWiiDevice& device, const uint8_t* report, int count);
  static void OnButtonsReport(ktWiiDevice& device, const uint8_t* report, int count);
  static void OnCoreReport(ktWiiDevice& device, const uint8_t* report, int count);
  static void OnIgnoredReport(ktWiiDevice& device, const uint8_t* report, int count);

  // Protocol steps.
  void SetReportingMode();
  void EnableIR(uint8_t irMode);
  void DecodeExtension(uint8_t* bytes, unsigned count);

  // Board weight.
  void DecodeBoard(int r0, int r1, int r2, int r3);
  void ZeroAdjustStep(const int raw[4]);

  // Remote decoders.
  void DecodeAccel(uint8_t x, uint8_t y, uint8_t z);
  void DecodeIRBasic(const uint8_t* bytes);
  void DecodeIRExtended(const uint8_t* bytes);
  void DecodeNunchuk(const uint8_t* bytes);
  void DecodeClassic(const uint8_t* bytes);

 private:
  template <std::size_t N>
  void SendReport(const std::array<uint8_t, N>& report) {
    Send(report.data(), static_cast<int>(N));
  }
  int ReceivedLength(int count) const;
  void StoreButtons(const uint8_t* report, int count);
  void SetReadState(int32_t state) { readState.store(state, std::memory_order_release); }
  int32_t ReadStateNow() const { return readState.load(std::memory_order_acquire); }
  int32_t ExtType() const { return extType.load(std::memory_order_relaxed); }
  void StartIdentification(bool extensionConnected);
  bool ReplyBelongsToRead(int32_t state, int count, int offset) const;
  void TakeReadReply(int32_t state, uint8_t* data, int count, int offset);
  void KeepReportingMode(uint8_t reportId);
  void TakeExtensionId(uint8_t* data, int count);
  void TakeExtensionMemory(uint8_t* data, int count, int offset);
  void TakeUserData(uint8_t* data, int count, int offset);
  void TakeRemoteCalibration(const uint8_t* data, int count);
  void SendLed(uint8_t leds);
  uint8_t ExtMemoryByte(int index) const {
    return extMemory[index].load(std::memory_order_relaxed);
  }
  uint8_t RemoteCalibrationByte(int index) const {
    return remoteCalibration[index].load(std::memory_order_relaxed);
  }
  float CalibratedAxis(uint8_t raw, uint8_t zeroG, uint8_t oneG) const;
  float ExtStickValue(uint8_t raw, int calibrationIndex) const;

  ExtValues extValues;
  std::atomic<ktReportPort*> port{nullptr};
  std::atomic<int32_t> inputReportLength{0};
  std::atomic<int32_t> readState{kReadIdle};
  std::atomic<int32_t> listIndex{0};
  std::atomic<uint8_t*> readDest{nullptr};
  std::atomic<int32_t> readDestSize{0};
  std::atomic<int32_t> readStart{0};
  std::atomic<int32_t> readRemaining{0};
  std::atomic<int32_t> buttons{0};
  std::atomic<int32_t> battery{0};
  std::atomic<int32_t> extEncoded{0};
  std::atomic<int32_t> extType{0};
  std::atomic<float> accel[3]{};
  std::atomic<int32_t> irPoint[8]{};
  std::atomic<uint8_t> remoteCalibration[kRemoteCalibrationSize]{};
  std::atomic<uint8_t> extMemory[kExtMemorySize]{};
  std::atomic<int32_t> reportingMode{0};  // data report id last asked for, 0 before any
  // Written and read only on the thread that delivers input reports.
  int32_t imageChunksTaken = 0;  // chunks of the image read under way
};

// Transforms count bytes of extension data sent in the device's encoded form
// back to plain bytes: b -> (b XOR 0x17) + 0x17, modulo 256.
void DecodeExtensionBytes(uint8_t* bytes, unsigned count);

// A stick axis from its raw value and calibration maximum, minimum and
// centre: -1.0 at the minimum, 0.0 at the centre, +1.0 at the maximum; 0.0
// when the calibration span is below 1.
float StickValue(uint8_t raw, uint8_t maximum, uint8_t minimum, uint8_t centre);
