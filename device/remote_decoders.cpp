#include "device/wii_device.h"

namespace {

// Calibration spans below this are treated as absent (no division).
constexpr float kMinimumSpan = 1.0f;
// Trigger scale: the 5-bit trigger scaled to 0..248 maps onto 0.0..1.0.
constexpr float kTriggerScale = 1.0f / 248.0f;

// Calibration bytes in the remote's EEPROM image.
constexpr int kRemoteZeroG = 6;
constexpr int kRemoteOneG = 10;
// Calibration bytes in the extension image.
constexpr int kNunchukZeroG = 0x20;
constexpr int kNunchukOneG = 0x24;
constexpr int kNunchukStickX = 0x28;
constexpr int kNunchukStickY = 0x2B;
constexpr int kClassicSticks = 0x20;  // four triples: left x, left y, right x, right y

constexpr int kIRPointCount = 4;

}  // namespace

float StickValue(uint8_t raw, uint8_t maximum, uint8_t minimum, uint8_t centre) {
  const float d = static_cast<float>(raw) - static_cast<float>(centre);
  const float span = d < 0.0f ? static_cast<float>(centre) - static_cast<float>(minimum)
                              : static_cast<float>(maximum) - static_cast<float>(centre);
  return span >= kMinimumSpan ? d / span : 0.0f;
}

float ktWiiDevice::CalibratedAxis(uint8_t raw, uint8_t zeroG, uint8_t oneG) const {
  const float span = static_cast<float>(oneG) - static_cast<float>(zeroG);
  if (span < kMinimumSpan) {
    return 0.0f;
  }
  return (static_cast<float>(raw) - static_cast<float>(zeroG)) / span;
}

// A stick axis whose maximum, minimum and centre lie at calibrationIndex in
// the extension image.
float ktWiiDevice::ExtStickValue(uint8_t raw, int calibrationIndex) const {
  return StickValue(raw, ExtMemoryByte(calibrationIndex), ExtMemoryByte(calibrationIndex + 1),
                    ExtMemoryByte(calibrationIndex + 2));
}

void ktWiiDevice::DecodeAccel(uint8_t x, uint8_t y, uint8_t z) {
  const uint8_t raw[3] = {x, y, z};
  for (int axis = 0; axis < 3; ++axis) {
    accel[axis].store(CalibratedAxis(raw[axis], RemoteCalibrationByte(kRemoteZeroG + axis),
                                     RemoteCalibrationByte(kRemoteOneG + axis)),
                      std::memory_order_relaxed);
  }
}

// Basic format: two groups of five bytes, each carrying two points whose
// high bits share the middle byte.
void ktWiiDevice::DecodeIRBasic(const uint8_t* bytes) {
  for (int group = 0; group < 2; ++group) {
    const uint8_t* b = bytes + 5 * group;
    const int point = 2 * group;
    irPoint[2 * point].store(b[0] + ((b[2] >> 4) & 3) * 256, std::memory_order_relaxed);
    irPoint[2 * point + 1].store(b[1] + ((b[2] >> 6) & 3) * 256, std::memory_order_relaxed);
    irPoint[2 * point + 2].store(b[3] + (b[2] & 3) * 256, std::memory_order_relaxed);
    irPoint[2 * point + 3].store(b[4] + ((b[2] >> 2) & 3) * 256, std::memory_order_relaxed);
  }
}

// Extended format: three bytes per point; the low nibble of the third (the
// spot size) is not used.
void ktWiiDevice::DecodeIRExtended(const uint8_t* bytes) {
  for (int point = 0; point < kIRPointCount; ++point) {
    const uint8_t* b = bytes + 3 * point;
    irPoint[2 * point].store(b[0] + ((b[2] >> 4) & 3) * 256, std::memory_order_relaxed);
    irPoint[2 * point + 1].store(b[1] + ((b[2] >> 6) & 3) * 256, std::memory_order_relaxed);
  }
}

void ktWiiDevice::DecodeNunchuk(const uint8_t* bytes) {
  // The buttons arrive inverted: bit 0 Z, bit 1 C, 0 meaning pressed.
  extValues.SetInt(ExtValues::kExtButtons, ~bytes[5] & 3);
  extValues.SetFloat(ExtValues::kNunchukStick, ExtStickValue(bytes[0], kNunchukStickX));
  extValues.SetFloat(ExtValues::kNunchukStick + 1, ExtStickValue(bytes[1], kNunchukStickY));
  for (int axis = 0; axis < 3; ++axis) {
    extValues.SetFloat(ExtValues::kNunchukAccel + axis,
                       CalibratedAxis(bytes[2 + axis], ExtMemoryByte(kNunchukZeroG + axis),
                                      ExtMemoryByte(kNunchukOneG + axis)));
  }
}

void ktWiiDevice::DecodeClassic(const uint8_t* bytes) {
  // The analog fields are packed at 5 or 6 bits; scaling them to 8 bits puts
  // them on the calibration's range.
  const int leftX = (bytes[0] & 0x3F) * 4;
  const int leftY = (bytes[1] & 0x3F) * 4;
  const int rightX = (((bytes[0] & 0xC0) >> 3) | ((bytes[1] & 0xC0) >> 5) | (bytes[2] >> 7)) * 8;
  const int rightY = (bytes[2] & 0x1F) * 8;
  const int leftTrigger = (((bytes[2] & 0x60) >> 2) | (bytes[3] >> 5)) * 8;
  const int rightTrigger = (bytes[3] & 0x1F) * 8;
  extValues.SetInt(ExtValues::kExtButtons, ~(bytes[4] * 256 + bytes[5]) & 0xFFFF);
  const int sticks[4] = {leftX, leftY, rightX, rightY};
  for (int i = 0; i < 4; ++i) {
    extValues.SetFloat(ExtValues::kClassicAnalog + i,
                       ExtStickValue(static_cast<uint8_t>(sticks[i]), kClassicSticks + 3 * i));
  }
  extValues.SetFloat(ExtValues::kClassicAnalog + 4,
                     static_cast<float>(leftTrigger) * kTriggerScale);
  extValues.SetFloat(ExtValues::kClassicAnalog + 5,
                     static_cast<float>(rightTrigger) * kTriggerScale);
}

float ktWiiDevice::GetAccel(unsigned axis) {
  return axis < 3 ? accel[axis].load(std::memory_order_relaxed) : 0.0f;
}

int ktWiiDevice::GetIRPoint(unsigned index) {
  return index < 8 ? irPoint[index].load(std::memory_order_relaxed) : 0;
}

int ktWiiDevice::GetNunchukButtons() {
  return extValues.Int(ExtValues::kExtButtons);
}

float ktWiiDevice::GetNunchukStick(unsigned axis) {
  return axis < 2 ? extValues.Float(ExtValues::kNunchukStick + static_cast<int>(axis)) : 0.0f;
}

float ktWiiDevice::GetNunchukAccel(unsigned axis) {
  return axis < 3 ? extValues.Float(ExtValues::kNunchukAccel + static_cast<int>(axis)) : 0.0f;
}

int ktWiiDevice::GetClassicButtons() {
  return extValues.Int(ExtValues::kExtButtons);
}

float ktWiiDevice::GetClassicAnalog(unsigned index) {
  return index < 6 ? extValues.Float(ExtValues::kClassicAnalog + static_cast<int>(index)) : 0.0f;
}
