// wii_lib_probe: the Windows device manager (CreateWiiLib over hid.dll and
// setupapi.dll) under Wine, answering a Linux test program one line per
// command, so the scenario on the Linux side can move the board and look at
// what the Windows side made of it.
//
//   state INDEX     count, identity, open, extension, read state, buttons,
//                   weight and the four cells of device INDEX (identity 0
//                   when it is not listed)
//   zero INDEX 0|1  switches the device's zero adjustment
//   quit            releases the manager and ends
//
// The manager is started before the first command is read, as the program
// starts it at its own start.

#include <cstdio>
#include <cstring>

#include "device/wii_lib_device.h"
#include "transport/wii_lib.h"

namespace {

void PrintState(ktWiiLib& lib, unsigned index) {
  ktWiiLibDevice* device = lib.GetDevice(index);
  if (device == nullptr) {
    std::printf("state %d 0\n", lib.GetDeviceCount());
    return;
  }
  std::printf("state %d %p %d %04x %d %04x %.2f %.2f %.2f %.2f %.2f\n", lib.GetDeviceCount(),
              static_cast<void*>(device), device->IsOpen(), device->GetExtensionType(),
              device->GetReadState(), device->GetButtons(), device->GetBoardWeight(),
              device->GetBoardSensor(0), device->GetBoardSensor(1), device->GetBoardSensor(2),
              device->GetBoardSensor(3));
}

// One command; false once the probe should end.
bool Answer(ktWiiLib& lib, const char* line) {
  unsigned index = 0;
  int on = 0;
  if (std::sscanf(line, "state %u", &index) == 1) {
    PrintState(lib, index);
  } else if (std::sscanf(line, "zero %u %d", &index, &on) == 2 && lib.GetDevice(index) != nullptr) {
    lib.GetDevice(index)->SetZeroAdjust(on);
    std::printf("ok\n");
  } else if (std::strncmp(line, "quit", 4) == 0) {
    return false;
  } else {
    std::printf("error %s", line);
  }
  return true;
}

}  // namespace

int main() {
  ktWiiLib* lib = CreateWiiLib();
  lib->Start(kWiiVendorId, kWiiProductId);
  char line[128];
  while (std::fgets(line, sizeof line, stdin) != nullptr && Answer(*lib, line)) {
    std::fflush(stdout);
  }
  lib->Release();
  std::printf("bye\n");
  return 0;
}
