#pragma once

#include <array>
#include <cstdint>

#include "sim/sim_device.h"

// A simulated Wii Remote (see SimDevice for the protocol side), optionally
// with a Nunchuk or a Classic Controller plugged in.
//
// EEPROM: accelerometer zero-g bytes at 0x0016..0x0018, one-g bytes at
// 0x001A..0x001C. With an extension the status report carries the extension
// bit and the register image holds its identifier at 0xA400FE (0x0000
// Nunchuk, 0x0101 Classic Controller) and its calibration from 0xA40020.
// Reporting modes 0x33 (buttons, accelerometer, extended IR) and 0x37
// (buttons, accelerometer, basic IR, 6 extension bytes) carry the values set
// here; an IR point at (1023, 1023) is absent.
enum class SimExtension { kNone, kNunchuk, kClassic };

struct SimRemoteOptions {
  SimExtension extension = SimExtension::kNone;
  bool encoded = false;
  std::array<uint8_t, 3> zeroG = {0x80, 0x80, 0x80};
  std::array<uint8_t, 3> oneG = {0x9A, 0x9A, 0x9A};
  int battery = 0xC0;
};

class SimRemote : public SimDevice {
 public:
  using ExtensionBytes = std::array<uint8_t, 6>;

  explicit SimRemote(const SimRemoteOptions& options = {});

  void SetButtons(uint16_t buttons);
  void SetAccel(uint8_t x, uint8_t y, uint8_t z);
  void SetIrPoint(int index, int x, int y);
  // The six plain extension bytes of the Nunchuk or Classic Controller.
  void SetExtensionBytes(const ExtensionBytes& bytes);
  // Plugs or unplugs an extension: rewrites the image and sends a status
  // report, as a real remote does.
  void PlugExtension(SimExtension extension);

  // Extension bytes at rest: sticks centred, nothing pressed.
  static ExtensionBytes RestingBytes(SimExtension extension);

 protected:
  bool ExtensionConnectedLocked() const override;
  InputState InputStateLocked() const override;

 private:
  void WriteExtensionImage(SimExtension kind);
  template <typename Change>
  void Update(Change change);

  SimExtension extension;
  InputState input;
};
