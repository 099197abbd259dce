#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "bluetooth/bluetooth_win32.h"

namespace {

// A stand-in Bluetooth API over a list of devices in range.
struct FakeDevice {
  std::wstring name;
  bool connected;
  BTH_ADDR address;
};

std::vector<FakeDevice> inRange;
size_t next = 0;
int closes = 0;
std::vector<BTH_ADDR> removed;
std::vector<BTH_ADDR> enabled;
BLUETOOTH_DEVICE_SEARCH_PARAMS searched{};
DWORD firstRecordSize = 0;
HBLUETOOTH_DEVICE_FIND const kFind = reinterpret_cast<HBLUETOOTH_DEVICE_FIND>(0x1234);

BOOL Deliver(BLUETOOTH_DEVICE_INFO* info) {
  if (next >= inRange.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const FakeDevice& device = inRange[next++];
  info->Address.ullLong = device.address;
  info->fConnected = device.connected;
  std::wcsncpy(info->szName, device.name.c_str(), BLUETOOTH_MAX_NAME_SIZE);
  return TRUE;
}

HBLUETOOTH_DEVICE_FIND WINAPI FindFirst(BLUETOOTH_DEVICE_SEARCH_PARAMS* params,
                                        BLUETOOTH_DEVICE_INFO* info) {
  searched = *params;
  firstRecordSize = info->dwSize;
  next = 0;
  return Deliver(info) ? kFind : nullptr;
}

BOOL WINAPI FindNext(HBLUETOOTH_DEVICE_FIND find, BLUETOOTH_DEVICE_INFO* info) {
  return find == kFind && Deliver(info);
}

BOOL WINAPI FindClose(HBLUETOOTH_DEVICE_FIND find) {
  closes += find == kFind ? 1 : 0;
  return TRUE;
}

DWORD WINAPI Remove(BLUETOOTH_ADDRESS* address) {
  removed.push_back(address->ullLong);
  return ERROR_NOT_FOUND;  // a failed removal still counts
}

DWORD WINAPI SetState(HANDLE radio, BLUETOOTH_DEVICE_INFO* info, GUID* service, DWORD flags) {
  const GUID hid = {0x00001124, 0, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
  if (radio == nullptr && std::memcmp(service, &hid, sizeof hid) == 0 && flags == 1) {
    enabled.push_back(info->Address.ullLong);
  }
  return ERROR_SUCCESS;
}

class BluetoothWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    inRange.clear();
    removed.clear();
    enabled.clear();
    closes = 0;
    lib =
        CreateBluetoothLibOn(ktBluetoothApi{&FindFirst, &FindNext, &FindClose, &Remove, &SetState});
  }
  void TearDown() override { lib->Release(); }
  ktBluetoothLib* lib = nullptr;
};

TEST_F(BluetoothWin32Test, RegistersEveryUnconnectedWiiDeviceByItsExactName) {
  inRange = {{L"Nintendo RVL-WBC-01", false, 1},
             {L"Nintendo RVL-WBC-01", true, 2},
             {L"Nintendo RVL-WBC-01 ", false, 3},
             {L"nintendo rvl-wbc-01", false, 4},
             {L"Keyboard", false, 5},
             {L"Nintendo RVL-CNT-01", false, 6},
             {L"Nintendo RVL-WBC-01", false, 7}};
  EXPECT_EQ(lib->AddDevices(5), 3);
  EXPECT_EQ(removed, (std::vector<BTH_ADDR>{1, 6, 7}));
  EXPECT_EQ(enabled, (std::vector<BTH_ADDR>{1, 6, 7}));
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);

  EXPECT_EQ(searched.dwSize, sizeof(BLUETOOTH_DEVICE_SEARCH_PARAMS));
  EXPECT_EQ(firstRecordSize, 560u);
  EXPECT_FALSE(searched.fReturnAuthenticated);
  EXPECT_TRUE(searched.fReturnRemembered);
  EXPECT_TRUE(searched.fReturnUnknown);
  EXPECT_FALSE(searched.fReturnConnected);
  EXPECT_TRUE(searched.fIssueInquiry);
  EXPECT_EQ(searched.cTimeoutMultiplier, 5);
  EXPECT_EQ(searched.hRadio, nullptr);
}

TEST_F(BluetoothWin32Test, NothingFoundClosesNothingAndCancelEndsLaterSearches) {
  EXPECT_EQ(lib->AddDevices(5), 0);
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  inRange = {{L"Nintendo RVL-WBC-01", false, 1}};
  lib->Cancel();
  EXPECT_EQ(lib->AddDevices(5), 0);
  EXPECT_TRUE(removed.empty());
}

// Wine has no radio: the search gives no handle at once.
TEST(BluetoothSystemTest, WithoutARadioRegistrationReturnsZeroWithoutWaiting) {
  ktBluetoothLib* lib = CreateBluetoothLib();
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(lib->AddDevices(5), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_NE(lib->LastFailure(), BluetoothFailure::None);
  lib->Release();
}

}  // namespace
