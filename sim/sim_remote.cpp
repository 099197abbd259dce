#include "sim/sim_remote.h"

#include <algorithm>
#include <initializer_list>

namespace {

constexpr uint32_t kEepromZeroG = 0x0016;
constexpr uint32_t kEepromOneG = 0x001A;
constexpr uint32_t kExtensionMarker = 0xA400FC;
constexpr uint32_t kExtensionCalibration = 0xA40020;

// Calibration blocks from 0xA40020: Nunchuk zero-g x y z, one low-bits byte,
// one-g x y z, one low-bits byte, stick x max/min/centre, stick y
// max/min/centre. Classic Controller: max/min/centre of left x, left y,
// right x, right y.
constexpr std::initializer_list<uint8_t> kNunchukCalibration = {
    0x80, 0x80, 0x80, 0x00, 0xB3, 0xB3, 0xB3, 0x00, 0xE0, 0x20, 0x80, 0xE0, 0x20, 0x80};
constexpr std::initializer_list<uint8_t> kClassicCalibration = {0xFC, 0x04, 0x80, 0xFC, 0x04, 0x80,
                                                                0xF8, 0x08, 0x80, 0xF8, 0x08, 0x80};

}  // namespace

SimRemote::SimRemote(const SimRemoteOptions& options) : extension(options.extension) {
  SetBattery(options.battery);
  for (int axis = 0; axis < 3; ++axis) {
    SetMemoryByte(kSpaceEeprom, kEepromZeroG + axis, options.zeroG[axis]);
    SetMemoryByte(kSpaceEeprom, kEepromOneG + axis, options.oneG[axis]);
  }
  WriteExtensionImage(options.extension);
  const ExtensionBytes resting = RestingBytes(options.extension);
  std::lock_guard<std::mutex> lock(mutex);
  SetEncodedLocked(options.encoded);
  std::copy(resting.begin(), resting.end(), input.extension);
}

SimRemote::ExtensionBytes SimRemote::RestingBytes(SimExtension kind) {
  switch (kind) {
    case SimExtension::kNunchuk:
      // Stick centred, lying flat (1 g on z), buttons released (sent inverted).
      return {0x80, 0x80, 0x80, 0x80, 0xB3, 0xFF};
    case SimExtension::kClassic:
      // Left stick 32/64 and right stick 16/32 of their ranges (the centre
      // 0x80 once scaled); triggers released; buttons released.
      return {0x20 | 0x80, 0x20, 0x10, 0x00, 0xFF, 0xFF};
    default:
      return {};
  }
}

void SimRemote::WriteExtensionImage(SimExtension kind) {
  if (kind == SimExtension::kNone) {
    return;
  }
  const bool nunchuk = kind == SimExtension::kNunchuk;
  SetMemoryByte(kSpaceRegisters, kExtensionMarker, 0xA4);
  SetMemoryByte(kSpaceRegisters, kExtensionMarker + 2, nunchuk ? 0x00 : 0x01);
  SetMemoryByte(kSpaceRegisters, kExtensionMarker + 3, nunchuk ? 0x00 : 0x01);
  uint32_t address = kExtensionCalibration;
  for (uint8_t value : nunchuk ? kNunchukCalibration : kClassicCalibration) {
    SetMemoryByte(kSpaceRegisters, address++, value);
  }
}

template <typename Change>
void SimRemote::Update(Change change) {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lock(mutex);
    change();
    AppendDataReportLocked(reports);
  }
  Emit(reports);
}

void SimRemote::SetButtons(uint16_t buttons) {
  Update([&] { input.buttons = buttons; });
}

void SimRemote::SetAccel(uint8_t x, uint8_t y, uint8_t z) {
  Update([&] {
    input.accel[0] = x;
    input.accel[1] = y;
    input.accel[2] = z;
  });
}

void SimRemote::SetIrPoint(int index, int x, int y) {
  if (index < 0 || index > 3) {
    return;
  }
  Update([&] {
    input.ir[index][0] = x & 0x3FF;
    input.ir[index][1] = y & 0x3FF;
  });
}

void SimRemote::SetExtensionBytes(const ExtensionBytes& bytes) {
  Update([&] { std::copy(bytes.begin(), bytes.end(), input.extension); });
}

void SimRemote::PlugExtension(SimExtension kind) {
  WriteExtensionImage(kind);
  const ExtensionBytes resting = RestingBytes(kind);
  {
    std::lock_guard<std::mutex> lock(mutex);
    extension = kind;
    std::copy(resting.begin(), resting.end(), input.extension);
  }
  SendStatus();
}

bool SimRemote::ExtensionConnectedLocked() const {
  return extension != SimExtension::kNone;
}

SimDevice::InputState SimRemote::InputStateLocked() const {
  return input;
}
