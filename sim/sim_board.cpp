#include "sim/sim_board.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kIdentifierAddress = 0xA400FC;  // marker, 0, identifier high, low
constexpr uint32_t kCalibrationAddress = 0xA40024;
constexpr uint16_t kBoardButton = 0x0008;
constexpr float kSpanKg = 17.0f;

}  // namespace

SimBoard::SimBoard(const SimBoardOptions& options) : options(options) {
  SetBattery(options.battery);
  SetMemoryByte(kSpaceRegisters, kIdentifierAddress, 0xA4);
  SetMemoryByte(kSpaceRegisters, kIdentifierAddress + 2, 0x04);
  SetMemoryByte(kSpaceRegisters, kIdentifierAddress + 3, 0x02);
  uint32_t address = kCalibrationAddress;
  for (const auto& point : options.calibration) {
    for (uint16_t value : point) {
      SetMemoryByte(kSpaceRegisters, address++, static_cast<uint8_t>(value >> 8));
      SetMemoryByte(kSpaceRegisters, address++, static_cast<uint8_t>(value));
    }
  }
  std::lock_guard<std::mutex> lock(mutex);
  SetEncodedLocked(options.encoded);
  std::vector<Report> none;
  UpdateLocked(none);
}

uint16_t SimBoard::RawFromKg(const SimBoardOptions::Calibration& calibration, int cell, float kg) {
  const double c0 = calibration[0][cell];
  const double c17 = calibration[1][cell];
  const double c34 = calibration[2][cell];
  const double raw =
      kg < kSpanKg ? c0 + kg / kSpanKg * (c17 - c0) : c17 + (kg - kSpanKg) / kSpanKg * (c34 - c17);
  return static_cast<uint16_t>(std::clamp(std::lround(raw), 0L, 65535L));
}

// Recomputes the raw cells and queues a data report if anything the report
// carries has changed.
void SimBoard::UpdateLocked(std::vector<Report>& out) {
  std::array<uint16_t, 4> next{};
  for (int cell = 0; cell < 4; ++cell) {
    const long value = RawFromKg(options.calibration, cell, loads[cell]) + drift[cell];
    next[cell] = static_cast<uint16_t>(std::clamp(value, 0L, 65535L));
  }
  const bool changed = next != raw || button != lastButton;
  raw = next;
  lastButton = button;
  if (changed) {
    AppendDataReportLocked(out);
  }
}

bool SimBoard::SetLoads(const float kg[4]) {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lock(mutex);
    std::copy(kg, kg + 4, loads);
    UpdateLocked(reports);
  }
  Emit(reports);
  return !reports.empty();
}

bool SimBoard::SetTotalLoad(float kg, float balanceX, float balanceY) {
  const float right = (1.0f + balanceX) * 0.5f;
  const float bottom = (1.0f + balanceY) * 0.5f;
  const float cells[4] = {kg * right * (1.0f - bottom), kg * right * bottom,
                          kg * (1.0f - right) * (1.0f - bottom), kg * (1.0f - right) * bottom};
  return SetLoads(cells);
}

bool SimBoard::SetButton(bool pressed) {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lock(mutex);
    button = pressed;
    UpdateLocked(reports);
  }
  Emit(reports);
  return !reports.empty();
}

void SimBoard::SetZeroDrift(const int rawDrift[4]) {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lock(mutex);
    std::copy(rawDrift, rawDrift + 4, drift);
    UpdateLocked(reports);
  }
  Emit(reports);
}

uint16_t SimBoard::RawCell(int cell) const {
  std::lock_guard<std::mutex> lock(mutex);
  return raw[cell];
}

SimDevice::InputState SimBoard::InputStateLocked() const {
  InputState state;
  state.buttons = button ? kBoardButton : 0;
  for (int cell = 0; cell < 4; ++cell) {
    state.extension[2 * cell] = static_cast<uint8_t>(raw[cell] >> 8);
    state.extension[2 * cell + 1] = static_cast<uint8_t>(raw[cell]);
  }
  return state;
}
