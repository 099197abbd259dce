#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

// The device side of the Wii remote report protocol, for tests, the demo and
// the virtual boards. A SimDevice receives output reports from a host and
// answers with input reports:
//
//   SetReportSink(sink)      where input reports go: sink(report, length)
//   HandleOutput(r, n)       one output report from the host; the answers go
//                            to the sink before HandleOutput returns
//     0x11 LEDs   0x12 reporting mode (answered with one data report)
//     0x13/0x1A IR camera   0x15 status request (answered with 0x20)
//     0x16 register/EEPROM write (answered with the acknowledgement 0x22)
//     0x17 memory read (answered with 16-byte 0x21 replies in address order)
//   SetErrorReplies(true)    memory reads are answered with an error nibble
//   SendStatus()             an unprompted status report (extension plugged)
//   ResendData()             the current data report again
//
// Input reports carry their natural length (status 7 bytes, read reply 22,
// report 0x32 11 bytes, 0x33 18 bytes, 0x37 22 bytes).
//
// Threads: all state sits behind one internal mutex, so a scenario thread may
// change loads while another thread feeds output reports. The sink is never
// called with the mutex held, so a sink may call back into the device; when
// two threads make the device send at once, the sink is entered from both.
class SimDevice {
 public:
  using ReportSink = std::function<void(const uint8_t* report, int length)>;
  using Report = std::vector<uint8_t>;

  static constexpr uint8_t kSpaceEeprom = 0x00;
  static constexpr uint8_t kSpaceRegisters = 0x04;

  SimDevice() = default;
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;
  virtual ~SimDevice() = default;

  void SetReportSink(ReportSink sink);
  void HandleOutput(const uint8_t* report, int length);
  void SetErrorReplies(bool on);
  void SendStatus();
  void ResendData();
  void SetBattery(int level);

  // What the host has configured.
  int ReportingMode() const;  // 0 until the host sets one
  int Leds() const;           // high nibble of the last LED report
  bool IrEnabled() const;     // both IR enable reports seen with 0x04
  std::vector<Report> OutputLog() const;
  void ClearOutputLog();

  // Device memory in plain form (what the device holds, before any encoding
  // on the wire). Space 0x00 is the EEPROM, space 0x04 the registers.
  uint8_t MemoryByte(uint8_t space, uint32_t address) const;
  void SetMemoryByte(uint8_t space, uint32_t address, uint8_t value);

 protected:
  // The values a data report carries. Extension bytes are plain; the base
  // encodes them on the wire when the extension is encoded.
  struct InputState {
    uint16_t buttons = 0;
    uint8_t accel[3] = {0x80, 0x80, 0x80};
    int ir[4][2] = {{1023, 1023}, {1023, 1023}, {1023, 1023}, {1023, 1023}};
    uint8_t extension[21] = {};
  };

  // Both are called with the mutex held.
  virtual bool ExtensionConnectedLocked() const = 0;
  virtual InputState InputStateLocked() const = 0;

  // Extension register reads and data bytes leave in encoded form.
  void SetEncodedLocked(bool on) { encoded = on; }
  // The data report for the current mode, or nothing before a mode is set.
  void AppendDataReportLocked(std::vector<Report>& out) const;
  void Emit(const std::vector<Report>& reports);

  mutable std::mutex mutex;

 private:
  void HandleOutputLocked(const uint8_t* report, int length, std::vector<Report>& out);
  void AppendStatusLocked(std::vector<Report>& out) const;
  void AppendReadRepliesLocked(const uint8_t* request, std::vector<Report>& out) const;
  void WriteMemoryLocked(const uint8_t* request, std::vector<Report>& out);
  uint8_t WireByteLocked(uint8_t space, uint32_t address) const;
  static uint32_t Key(uint8_t space, uint32_t address) {
    return (static_cast<uint32_t>(space) << 24) | (address & 0xFFFFFF);
  }

  ReportSink sink;
  std::map<uint32_t, uint8_t> memory;
  std::vector<Report> outputLog;
  bool errorReplies = false;
  bool encoded = false;
  bool irClock = false;
  bool irCamera = false;
  int reportingMode = 0;
  int leds = 0;
  int battery = 0xC0;
};

// The wire form of a plain extension byte: the host's decode
// (b XOR 0x17) + 0x17 restores the plain byte.
uint8_t EncodeExtensionByte(uint8_t plain);
