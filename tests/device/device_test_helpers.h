#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "device/wii_device.h"

using Bytes = std::vector<uint8_t>;
using ReportLog = std::vector<Bytes>;

// A port that records every output report and answers nothing.
class RecordingPort : public ktReportPort {
 public:
  int IsOpen() override { return open; }
  void Send(const uint8_t* report, int length) override {
    sent.emplace_back(report, report + length);
  }
  ReportLog Take() { return std::exchange(sent, {}); }

  int open = 1;
  ReportLog sent;
};

// A 22-byte write-memory report: the given leading bytes, zero-filled.
inline Bytes Write22(std::initializer_list<uint8_t> head) {
  Bytes report(head);
  report.resize(22, 0);
  return report;
}

inline Bytes StatusReport(bool extension, uint8_t battery, uint16_t buttons = 0) {
  return {0x20,
          static_cast<uint8_t>(buttons >> 8),
          static_cast<uint8_t>(buttons),
          static_cast<uint8_t>(extension ? 0x02 : 0x00),
          0,
          0,
          battery};
}

// A read reply of data.size() bytes (1..16) for the low address bits offset.
inline Bytes ReadReply(uint16_t offset, const Bytes& data, uint8_t error = 0) {
  Bytes report(22, 0);
  report[0] = 0x21;
  report[3] = static_cast<uint8_t>(((data.size() - 1) << 4) | error);
  report[4] = static_cast<uint8_t>(offset >> 8);
  report[5] = static_cast<uint8_t>(offset);
  std::copy(data.begin(), data.end(), report.begin() + 6);
  return report;
}

inline uint8_t Encode(uint8_t plain) {
  return static_cast<uint8_t>(static_cast<uint8_t>(plain - 0x17) ^ 0x17);
}

inline Bytes BoardReport(int r0, int r1, int r2, int r3, uint16_t buttons = 0) {
  const int raw[4] = {r0, r1, r2, r3};
  Bytes report = {0x32, static_cast<uint8_t>(buttons >> 8), static_cast<uint8_t>(buttons)};
  for (int value : raw) {
    report.push_back(static_cast<uint8_t>(value >> 8));
    report.push_back(static_cast<uint8_t>(value));
  }
  return report;
}

// A device on a recording port, fed with scripted input reports. Held on the
// heap so that a write past the object is caught by the address sanitizer.
struct ScriptedDevice {
  ScriptedDevice() : device(std::make_unique<ktWiiDevice>()) { device->SetPort(&port); }

  void Feed(const Bytes& report) {
    // An exactly sized copy: a read past the received bytes is caught too.
    auto copy = std::make_unique<uint8_t[]>(report.size());
    std::copy(report.begin(), report.end(), copy.get());
    device->OnInputReport(copy.get(), static_cast<int>(report.size()));
  }

  // Identifier reply: the block 0xA400F0..0xA400FF with the marker and id.
  void FeedIdentifier(uint16_t id, bool encoded) {
    Bytes block(16, 0);
    block[12] = 0xA4;
    block[14] = static_cast<uint8_t>(id >> 8);
    block[15] = static_cast<uint8_t>(id);
    Feed(ReadReply(0x00F0, encoded ? EncodeAll(block) : block));
  }

  // The 256-byte image as sixteen replies in address order.
  void FeedImage(const Bytes& image, bool encoded) {
    for (int chunk = 0; chunk < 16; ++chunk) {
      Bytes data(image.begin() + 16 * chunk, image.begin() + 16 * chunk + 16);
      Feed(ReadReply(static_cast<uint16_t>(16 * chunk), encoded ? EncodeAll(data) : data));
    }
  }

  // Opens a device at the list position index and identifies it with an
  // extension and the given image.
  void Identify(uint16_t id, const Bytes& image, bool encoded = false, int index = 0) {
    device->OnOpened(index);
    Feed(StatusReport(true, 0x80));
    FeedIdentifier(id, encoded);
    FeedImage(image, encoded);
    if (id != kExtBalanceBoard) {
      Feed(ReadReply(0x0010, Bytes(16, 0)));
    }
  }

  // One board report in zero-adjust mode with every cell at raw.
  void ZeroAdjustOnce(int raw) {
    device->SetZeroAdjust(1);
    Feed(BoardReport(raw, raw, raw, raw));
    device->SetZeroAdjust(0);
  }

  static Bytes EncodeAll(Bytes bytes) {
    for (uint8_t& b : bytes) {
      b = Encode(b);
    }
    return bytes;
  }

  RecordingPort port;
  std::unique_ptr<ktWiiDevice> device;
};

// A board image whose every cell has the given 0, 17 and 34 kg points.
inline Bytes BoardImage(uint16_t at0, uint16_t at17, uint16_t at34) {
  Bytes image(256, 0);
  const uint16_t points[3] = {at0, at17, at34};
  for (int point = 0; point < 3; ++point) {
    for (int cell = 0; cell < 4; ++cell) {
      const int index = 0x24 + 8 * point + 2 * cell;
      image[index] = static_cast<uint8_t>(points[point] >> 8);
      image[index + 1] = static_cast<uint8_t>(points[point]);
    }
  }
  image[0xFC] = 0xA4;
  image[0xFE] = 0x04;
  image[0xFF] = 0x02;
  return image;
}
