#include "device/wii_device.h"

namespace {

// Quarter kilograms per calibration span of 17 kg.
constexpr float kQuarterKgPerSpan = 68.0f;
constexpr float kKgPerQuarterKg = 0.25f;
constexpr float kBalanceScale = 0.5f;
// Position of the per-cell calibration in the extension image: twelve
// big-endian words, the 0 kg, 17 kg and 34 kg points of cells 0..3.
constexpr int kBoardCalibrationStart = 0x24;

}  // namespace

void ktWiiDevice::DecodeBoard(int r0, int r1, int r2, int r3) {
  const int raw[4] = {r0, r1, r2, r3};
  if (extValues.Int(ExtValues::kZeroAdjust) != 0) {
    ZeroAdjustStep(raw);
    return;
  }
  for (int i = 0; i < 4; ++i) {
    const int32_t cal0 = extValues.Int(ExtValues::kCal0 + i);
    const int32_t cal17 = extValues.Int(ExtValues::kCal17 + i);
    const int32_t cal34 = extValues.Int(ExtValues::kCal34 + i);
    if (cal0 == cal17 || cal17 == cal34) {
      continue;  // No usable calibration: the cell keeps its last load.
    }
    float load;
    if (raw[i] < cal17) {
      load = (static_cast<float>(raw[i]) - static_cast<float>(cal0)) * kQuarterKgPerSpan /
             static_cast<float>(cal17 - cal0);
    } else {
      load = (static_cast<float>(raw[i]) - static_cast<float>(cal17)) * kQuarterKgPerSpan /
                 static_cast<float>(cal34 - cal17) +
             kQuarterKgPerSpan;
    }
    extValues.SetFloat(ExtValues::kSensor + i, load);
  }
}

// Moves each cell's zero point half-way toward the current reading. The
// calibration is reloaded from the image every step so that the learned
// offset is applied exactly once.
void ktWiiDevice::ZeroAdjustStep(const int raw[4]) {
  if (ReadStateNow() != kReadIdle) {
    return;  // The image may be half rewritten.
  }
  auto calibrationWord = [this](int word) {
    const int index = kBoardCalibrationStart + 2 * word;
    return static_cast<int32_t>(ExtMemoryByte(index) * 256 + ExtMemoryByte(index + 1));
  };
  for (int i = 0; i < 4; ++i) {
    const int32_t offset = extValues.Int(ExtValues::kZeroOffset + i);
    const int32_t cal0 = calibrationWord(i) + offset;
    extValues.SetInt(ExtValues::kCal0 + i, cal0);
    extValues.SetInt(ExtValues::kCal17 + i, calibrationWord(4 + i) + offset);
    extValues.SetInt(ExtValues::kCal34 + i, calibrationWord(8 + i) + offset);
    // Arithmetic shift: halves the gap rounding toward minus infinity.
    extValues.SetInt(ExtValues::kZeroOffset + i, offset + ((raw[i] - cal0) >> 1));
  }
}

float ktWiiDevice::GetBoardSensor(int sensor) {
  if (sensor < 0 || sensor > 3) {
    return 0.0f;
  }
  return extValues.Float(ExtValues::kSensor + sensor);
}

void ktWiiDevice::SetZeroAdjust(int on) {
  extValues.SetInt(ExtValues::kZeroAdjust, on);
}

float ktWiiDevice::GetBoardWeight() {
  const float sum =
      extValues.Float(ExtValues::kSensor + 3) + extValues.Float(ExtValues::kSensor + 2) +
      extValues.Float(ExtValues::kSensor + 1) + extValues.Float(ExtValues::kSensor + 0);
  return sum * kKgPerQuarterKg;
}

float ktWiiDevice::GetBoardBalance(int axis) {
  const float s0 = extValues.Float(ExtValues::kSensor + 0);
  const float s1 = extValues.Float(ExtValues::kSensor + 1);
  const float s2 = extValues.Float(ExtValues::kSensor + 2);
  const float s3 = extValues.Float(ExtValues::kSensor + 3);
  if (axis == 0) {
    return (s1 + s0 - s2 - s3) * kBalanceScale;  // cells 0 and 1 against 2 and 3
  }
  return (s3 + s1 - s0 - s2) * kBalanceScale;  // cells 1 and 3 against 0 and 2
}
