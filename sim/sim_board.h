#pragma once

#include <array>
#include <cstdint>

#include "sim/sim_device.h"

// A simulated Wii Balance Board (see SimDevice for the protocol side).
//
// Its register image holds the extension identifier 0x0402 at 0xA400FE, the
// plain-data marker 0xA4 at 0xA400FC (or, when encoded, every extension byte
// leaves in the encoded form) and the per-cell calibration at 0xA40024: the
// raw readings at 0, 17 and 34 kg for cells 0..3 (top right, bottom right,
// top left, bottom left). Its status report carries the extension bit.
//
// Once the host sets a reporting mode, every change of the loads or the front
// button (bit 0x0008 of the button word) sends a data report; in mode 0x32
// that is the buttons and the four raw cell values, big-endian. Loads in kg
// become raw values through the calibration: linear between the 0, 17 and
// 34 kg points, extrapolated above 34 kg and below 0 kg.
struct SimBoardOptions {
  using Calibration = std::array<std::array<uint16_t, 4>, 3>;  // [0/17/34 kg][cell]

  bool encoded = false;
  Calibration calibration = {
      {{4100, 3900, 4300, 3700}, {5800, 5620, 6010, 5390}, {7510, 7350, 7730, 7090}}};
  int battery = 0xC0;
};

class SimBoard : public SimDevice {
 public:
  explicit SimBoard(const SimBoardOptions& options = {});

  // Each setter returns whether the change sent a data report.
  // Loads per cell in kg, in the board's cell order.
  bool SetLoads(const float kg[4]);
  // A total load split over the cells. balanceX in -1..1 shifts it from the
  // left cells (2, 3) to the right ones (0, 1); balanceY from the top cells
  // (0, 2) to the bottom ones (1, 3).
  bool SetTotalLoad(float kg, float balanceX = 0.0f, float balanceY = 0.0f);
  bool SetButton(bool pressed);
  // A drift of the cells' zero points in raw units, added to every reading:
  // what the host's zero adjustment is there to learn.
  void SetZeroDrift(const int raw[4]);

  uint16_t RawCell(int cell) const;
  const SimBoardOptions::Calibration& Calibration() const { return options.calibration; }
  // The raw reading of one cell under a load, before any drift.
  static uint16_t RawFromKg(const SimBoardOptions::Calibration& calibration, int cell, float kg);

 protected:
  bool ExtensionConnectedLocked() const override { return true; }
  InputState InputStateLocked() const override;

 private:
  void UpdateLocked(std::vector<Report>& out);

  const SimBoardOptions options;
  float loads[4] = {};
  int drift[4] = {};
  bool button = false;
  std::array<uint16_t, 4> raw{};
  bool lastButton = false;
};
