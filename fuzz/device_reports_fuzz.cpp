// Feeds arbitrary input report sequences to a device object.
//
// Input: byte 0 is the declared input report length (0 = unknown). Then a
// sequence of chunks: one control byte, whose low five bits are the report's
// length (0..31) and whose bits 0x40 and 0x80 toggle the zero adjustment and
// start a caller read, followed by the report bytes. Each report is copied to
// an exactly sized buffer so that reading past it is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "device/wii_device.h"

namespace {

class SwallowingPort : public ktReportPort {
 public:
  int IsOpen() override { return 1; }
  void Send(const uint8_t*, int) override {}
};

constexpr int kReadDestSize = 0x10000 + 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) {
    return 0;
  }
  SwallowingPort port;
  auto device = std::make_unique<ktWiiDevice>();
  device->SetPort(&port);
  device->SetInputReportLength(data[0]);
  device->OnOpened(data[0] & 7);
  auto readDest = std::make_unique<uint8_t[]>(kReadDestSize);
  int zeroAdjust = 0;
  size_t at = 1;
  while (at < size) {
    const uint8_t control = data[at++];
    const size_t length = std::min<size_t>(control & 0x1F, size - at);
    if ((control & 0x40) != 0) {
      zeroAdjust = !zeroAdjust;
      device->SetZeroAdjust(zeroAdjust);
    }
    if ((control & 0x80) != 0 && length >= 2) {
      device->ReadMemory(0x04A40000 | data[at], readDest.get(), 64 + data[at + 1]);
    }
    auto report = std::make_unique<uint8_t[]>(length == 0 ? 1 : length);
    if (length > 0) {
      std::memcpy(report.get(), data + at, length);
    }
    device->OnInputReport(report.get(), static_cast<int>(length));
    at += length;
  }
  // Every getter must answer for any state.
  uint8_t image[ktWiiDevice::kExtMemorySize];
  device->GetExtensionMemory(image);
  volatile float sink = device->GetBoardWeight() + device->GetBoardBalance(0) +
                        device->GetBoardSensor(data[0]) + device->GetClassicAnalog(data[0] & 7) +
                        device->GetNunchukStick(data[0] & 3) + device->GetAccel(data[0] & 3);
  (void)sink;
  return 0;
}
