#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/wii_device.h"
#include "transport/device_channel.h"
#include "transport/hid_binding.h"
#include "transport/hid_system.h"
#include "transport/hid_watch_win32.h"
#include "transport/hid_win32.h"
#include "transport/io_system.h"
#include "transport/virtual_hid_bus.h"
#include "transport_test_helpers.h"

namespace {

// The system's libraries bind completely, and walking the HID interfaces
// gives well-formed paths (there may be none).
TEST(SystemHidTest, BothLibrariesBindAndTheHidClassEnumerates) {
  ASSERT_EQ(InitModule(SystemHidProvider()), 1);
  EXPECT_EQ(BoundEntries(), 10);
  HidGuid guid{};
  HidD_GetHidGuid(&guid);
  EXPECT_EQ(std::memcmp(&guid, &kHidInterfaceClass, sizeof guid), 0);
  HidDeviceInfoSet* set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
  std::vector<std::string> paths;
  for (uint32_t index = 0; index < 64; ++index) {
    HidInterfaceData data{};
    data.size = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) {
      EXPECT_EQ(HidGetLastError(), kHidErrorNoMoreItems);
      break;
    }
    uint32_t required = 0;
    EXPECT_EQ(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr), 0);
    ASSERT_GT(required, kHidInterfaceDetailFixedSize);
    auto storage = std::make_unique<uint32_t[]>((required + 3) / 4);
    auto* detail = reinterpret_cast<HidInterfaceDetail*>(storage.get());
    detail->size = kHidInterfaceDetailFixedSize;
    ASSERT_EQ(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr), 1);
    EXPECT_EQ(std::strlen(detail->devicePath) + kHidInterfaceDetailFixedSize, required);
    paths.emplace_back(detail->devicePath);
  }
  SetupDiDestroyDeviceInfoList(set);
  ExitModule();
  EXPECT_EQ(BoundEntries(), 0);
  RecordProperty("interfaces", static_cast<int>(paths.size()));
}

// A Windows HID read of a buffer longer than one report returns as many
// whole reports as fit; the channel reads one report at a time, so the
// second of two reports that arrive together is handled too.
TEST(SystemHidTest, TwoReportsArrivingInOneMessageAreBothHandled) {
  VirtualHidBus bus;
  int board = bus.AddDevice("virtual:board0");
  bus.SetWindowsRules(true);
  ASSERT_EQ(InitModule(bus), 1);
  {
    ktWiiDevice device;
    ktDeviceChannel channel(bus, device);
    ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
    bus.SetJoinedInput(board, true);
    const uint8_t status[7] = {0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55};
    const uint8_t buttons[3] = {0x30, 0x00, 0x08};
    bus.Run([&] {
      bus.SendInput(board, status, 7);
      bus.SendInput(board, buttons, 3);
    });
    IoWaitItem item{channel.ReadDescriptor(), false, false};
    for (int read = 0; read < 2; ++read) {
      ASSERT_TRUE(WaitUntil([&] {
        IoWait(&item, 1, 10);
        return item.readable;
      }));
      EXPECT_EQ(channel.OnReadReady(false), 1);
      item.fd = channel.ReadDescriptor();
    }
    EXPECT_EQ(device.GetBattery(), 0x55);
    EXPECT_EQ(device.GetButtons(), 0x0008);
    channel.Close();
  }
  ExitModule();
}

// The watch turns readable on a HID interface's arrival or removal, as the
// system tells its hidden window, and on nothing else.
TEST(SystemHidTest, HidInterfaceChangesMakeTheWatchReadable) {
  ktHidProvider& provider = SystemHidProvider();
  int watch = provider.OpenChangeWatch();
  ASSERT_GE(watch, 0);
  HWND window = FindWindowExW(HWND_MESSAGE, nullptr, kHidWatchWindowClass, nullptr);
  ASSERT_NE(window, nullptr);
  IoWaitItem item{watch, false, false};
  DEV_BROADCAST_HDR volume{};
  volume.dbch_size = sizeof volume;
  volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
  SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
  EXPECT_EQ(IoWait(&item, 1, 0), 0);

  DEV_BROADCAST_DEVICEINTERFACE_W arrival{};
  arrival.dbcc_size = sizeof arrival;
  arrival.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  for (WPARAM change : {DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE}) {
    SendMessageW(window, WM_DEVICECHANGE, change, reinterpret_cast<LPARAM>(&arrival));
    EXPECT_EQ(IoWait(&item, 1, 0), 1);
    EXPECT_EQ(provider.TakeChanges(watch), 1);
    EXPECT_EQ(provider.TakeChanges(watch), 0);
  }
  provider.CloseChangeWatch(watch);
  EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, kHidWatchWindowClass, nullptr), nullptr);
}

TEST(SystemHidTest, MissingLibraryBindsNothing) {
  ktWin32HidProvider provider("hid.dll", "gravimo-no-such-setupapi.dll");
  EXPECT_EQ(InitModule(provider), 0);
  EXPECT_EQ(BoundEntries(), 0);
  EXPECT_EQ(hidFunctions.hidModule, nullptr);
  ExitModule();
}

}  // namespace
