#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "transport/hid_binding.h"
#include "transport/hid_system.h"
#include "transport/hid_win32.h"
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

TEST(SystemHidTest, MissingLibraryBindsNothing) {
  ktWin32HidProvider provider("hid.dll", "gravimo-no-such-setupapi.dll");
  EXPECT_EQ(InitModule(provider), 0);
  EXPECT_EQ(BoundEntries(), 0);
  EXPECT_EQ(hidFunctions.hidModule, nullptr);
  ExitModule();
}

}  // namespace
