// Parses arbitrary bytes as a HID report descriptor, as the hidraw provider
// does with what a device declares. The bytes are copied to an exactly sized
// buffer so that reading past the end is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "transport/hid_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto bytes = std::make_unique<uint8_t[]>(size);
  if (size != 0) {
    std::memcpy(bytes.get(), data, size);
  }
  HidReportLengths lengths{};
  if (ParseReportDescriptor(bytes.get(), static_cast<int>(size), &lengths)) {
    if (lengths.input < 0 || lengths.input > 65535 || lengths.output < 0 ||
        lengths.output > 65535) {
      __builtin_trap();
    }
  }
  return 0;
}
