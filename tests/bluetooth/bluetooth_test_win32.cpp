#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bluetooth/bluetooth_win32.h"

namespace {

// A stand-in of bthprops.cpl: one radio and the devices the stack knows or
// hears, as strict as the real API where registration could go wrong.
struct FakeDevice {
  BTH_ADDR address;
  std::wstring name;
  int heardFrom = 1;    // the first inquiry it answers in; 0: it never answers
  int namedFrom = 1;    // the first inquiry that learns its name
  bool paired = false;  // the stack holds a key for it
  bool connected = false;
  bool answersPairing = true;  // it asks for the PIN when paged
  bool serviceFails = false;
  bool takesHostPin = true;  // else it wants another PIN
  // What the stack did with it.
  std::vector<unsigned char> pin = {};
  int offers = 0;
  bool hid = false;
  int removals = 0;
};

constexpr BTH_ADDR kHost = 0x001E353B7E6D;
// The Wii PIN for that radio: its address, least significant byte first.
const std::vector<unsigned char> kWiiPin = {0x6D, 0x7E, 0x3B, 0x35, 0x1E, 0x00};
HANDLE const kRadio = reinterpret_cast<HANDLE>(0x4321);
auto const kRadioFind = reinterpret_cast<HBLUETOOTH_RADIO_FIND>(0x5678);
auto const kFind = reinterpret_cast<HBLUETOOTH_DEVICE_FIND>(0x1234);
auto const kRegistration = reinterpret_cast<HBLUETOOTH_AUTHENTICATION_REGISTRATION>(0x9abc);

bool hasRadio = true;
std::vector<FakeDevice> devices;
int inquiry = 0;
std::vector<FakeDevice*> results;
size_t next = 0;
int openFinds = 0;
PFN_AUTHENTICATION_CALLBACK_EX callback = nullptr;
void* callbackContext = nullptr;
FakeDevice* asking = nullptr;  // the device whose PIN request is open
BLUETOOTH_DEVICE_SEARCH_PARAMS searched{};

FakeDevice* Find(BTH_ADDR address) {
  for (FakeDevice& device : devices)
    if (device.address == address)
      return &device;
  return nullptr;
}

bool Heard(const FakeDevice& device) {
  return device.heardFrom != 0 && inquiry >= device.heardFrom;
}

BOOL Deliver(BLUETOOTH_DEVICE_INFO* info) {
  if (info->dwSize != sizeof *info || next >= results.size()) {
    SetLastError(info->dwSize != sizeof *info ? ERROR_REVISION_MISMATCH : ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const FakeDevice& device = *results[next++];
  std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, sizeof *info - sizeof(DWORD));
  info->Address.ullLong = device.address;
  info->ulClassofDevice = 0x002504;
  info->fConnected = device.connected;
  info->fRemembered = device.paired;
  info->fAuthenticated = device.paired;
  GetSystemTime(&info->stLastSeen);
  if (!Heard(device))
    info->stLastSeen.wYear = 2009;
  if (Heard(device) ? inquiry >= device.namedFrom : device.paired)
    std::wcsncpy(info->szName, device.name.c_str(), BLUETOOTH_MAX_NAME_SIZE);
  return TRUE;
}

HBLUETOOTH_RADIO_FIND WINAPI FindFirstRadio(BLUETOOTH_FIND_RADIO_PARAMS* params, HANDLE* radio) {
  SetLastError(params->dwSize != sizeof *params ? ERROR_REVISION_MISMATCH : ERROR_NO_MORE_ITEMS);
  if (!hasRadio || params->dwSize != sizeof *params)
    return nullptr;
  *radio = kRadio;
  return kRadioFind;
}

BOOL WINAPI FindRadioClose(HBLUETOOTH_RADIO_FIND find) {
  return find == kRadioFind;
}

DWORD WINAPI GetRadioInfo(HANDLE radio, BLUETOOTH_RADIO_INFO* info) {
  if (radio != kRadio || info->dwSize != sizeof *info)
    return ERROR_INVALID_PARAMETER;
  info->address.ullLong = kHost;
  return ERROR_SUCCESS;
}

BOOL WINAPI CloseRadio(HANDLE radio) {
  return radio == kRadio;
}

// Remembered devices come whether they answer or not; others only when
// they answer the inquiry.
HBLUETOOTH_DEVICE_FIND WINAPI FindFirst(BLUETOOTH_DEVICE_SEARCH_PARAMS* params,
                                        BLUETOOTH_DEVICE_INFO* info) {
  searched = *params;
  if (params->dwSize != sizeof *params || params->hRadio != kRadio ||
      params->cTimeoutMultiplier > 48) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ++inquiry;
  results.clear();
  next = 0;
  for (FakeDevice& device : devices)
    if ((device.paired && params->fReturnRemembered) || (Heard(device) && params->fReturnUnknown))
      results.push_back(&device);
  if (!Deliver(info))
    return nullptr;
  ++openFinds;
  return kFind;
}

BOOL WINAPI FindNext(HBLUETOOTH_DEVICE_FIND find, BLUETOOTH_DEVICE_INFO* info) {
  return find == kFind && Deliver(info);
}

BOOL WINAPI FindClose(HBLUETOOTH_DEVICE_FIND find) {
  openFinds -= find == kFind ? 1 : 0;
  return find == kFind;
}

DWORD WINAPI Remove(BLUETOOTH_ADDRESS* address) {
  FakeDevice* device = Find(address->ullLong);
  if (device == nullptr || !device->paired)
    return ERROR_NOT_FOUND;
  ++device->removals;
  device->paired = device->hid = false;
  return ERROR_SUCCESS;
}

DWORD WINAPI Register(const BLUETOOTH_DEVICE_INFO* info,
                      HBLUETOOTH_AUTHENTICATION_REGISTRATION* registration,
                      PFN_AUTHENTICATION_CALLBACK_EX answer, void* context) {
  if (info == nullptr || callback != nullptr)
    return ERROR_INVALID_PARAMETER;
  callback = answer;
  callbackContext = context;
  *registration = kRegistration;
  return ERROR_SUCCESS;
}

BOOL WINAPI Unregister(HBLUETOOTH_AUTHENTICATION_REGISTRATION registration) {
  callback = registration == kRegistration ? nullptr : callback;
  return registration == kRegistration;
}

// Only an open request takes an answer, once, and a PIN is 1 to 16 bytes.
DWORD WINAPI Respond(HANDLE radio, BLUETOOTH_AUTHENTICATE_RESPONSE* response) {
  if (radio != kRadio || asking == nullptr ||
      response->bthAddressRemote.ullLong != asking->address ||
      response->authMethod != BLUETOOTH_AUTHENTICATION_METHOD_LEGACY ||
      (!response->negativeResponse &&
       (response->pinInfo.pinLength == 0 || response->pinInfo.pinLength > BTH_MAX_PIN_SIZE)))
    return ERROR_INVALID_PARAMETER;
  if (!response->negativeResponse) {
    asking->pin.assign(response->pinInfo.pin, response->pinInfo.pin + response->pinInfo.pinLength);
    ++asking->offers;
  }
  asking = nullptr;
  return ERROR_SUCCESS;
}

// The board takes the Wii PIN, the host's address least significant byte
// first. The stack asks on a thread of its own, and asks again after a
// refused PIN, which the board no longer takes: it has left pairing mode.
DWORD WINAPI Authenticate(HWND, HANDLE radio, BLUETOOTH_DEVICE_INFO* info, BLUETOOTH_OOB_DATA_INFO*,
                          BLUETOOTH_AUTHENTICATION_REQUIREMENTS) {
  FakeDevice* device = Find(info->Address.ullLong);
  if (radio != kRadio || device == nullptr)
    return ERROR_INVALID_PARAMETER;
  if (device->paired)
    return ERROR_NO_MORE_ITEMS;
  if (!device->answersPairing || callback == nullptr)
    return ERROR_TIMEOUT;
  BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request{};
  request.deviceInfo = *info;
  request.authenticationMethod = BLUETOOTH_AUTHENTICATION_METHOD_LEGACY;
  for (int ask = 0; ask < 2 && !device->paired; ++ask) {
    asking = device;
    std::thread([&request] { callback(callbackContext, &request); }).join();
    device->paired = ask == 0 && device->takesHostPin && device->pin == kWiiPin;
  }
  asking = nullptr;
  device->answersPairing = false;
  return device->paired ? ERROR_SUCCESS : ERROR_NOT_AUTHENTICATED;
}

DWORD WINAPI SetState(HANDLE radio, BLUETOOTH_DEVICE_INFO* info, GUID* service, DWORD flags) {
  const GUID hid = {0x00001124, 0, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
  FakeDevice* device = Find(info->Address.ullLong);
  if (radio != kRadio || device == nullptr || !device->paired ||
      std::memcmp(service, &hid, sizeof hid) != 0 || flags != 1)
    return ERROR_INVALID_PARAMETER;
  if (device->serviceFails)
    return ERROR_SERVICE_DOES_NOT_EXIST;
  device->hid = true;
  return ERROR_SUCCESS;
}

class BluetoothWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    hasRadio = true;
    devices.clear();
    inquiry = 0;
    lib = CreateBluetoothLibOn({&FindFirstRadio, &FindRadioClose, &GetRadioInfo, &CloseRadio,
                                &FindFirst, &FindNext, &FindClose, &Remove, &Register, &Unregister,
                                &Respond, &Authenticate, &SetState});
  }
  void TearDown() override {
    lib->Release();
    EXPECT_EQ(openFinds, 0);
    EXPECT_EQ(callback, nullptr);
  }
  ktBluetoothLib* lib = nullptr;
};

TEST_F(BluetoothWin32Test, PairsEveryUnconnectedWiiDeviceWithTheHostPinAndEnablesItsHid) {
  devices = {{.address = 1, .name = L"Nintendo RVL-WBC-01"},
             {.address = 2, .name = L"Nintendo RVL-WBC-01", .paired = true, .connected = true},
             {.address = 3, .name = L"Nintendo RVL-WBC-01 "},
             {.address = 4, .name = L"nintendo rvl-wbc-01"},
             {.address = 6, .name = L"Nintendo RVL-CNT-01", .heardFrom = 3},
             {.address = 7, .name = L"Nintendo RVL-WBC-01", .namedFrom = 2}};
  EXPECT_EQ(lib->AddDevices(5), 3);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  for (const FakeDevice& device : devices) {
    const bool registered = device.address == 1 || device.address >= 6;
    EXPECT_EQ(device.pin, registered ? kWiiPin : std::vector<unsigned char>{}) << device.address;
    EXPECT_EQ(device.offers, registered ? 1 : 0) << device.address;
    EXPECT_EQ(device.hid, registered) << device.address;
  }
  // Inquiries of 6.4 s for the whole search of 25 s.
  EXPECT_EQ(inquiry, 4);
  EXPECT_TRUE(searched.fReturnRemembered && searched.fReturnUnknown && searched.fIssueInquiry);
  EXPECT_EQ(searched.cTimeoutMultiplier, 5);
}

TEST_F(BluetoothWin32Test, ForgetsOnlyAPairingWhoseBoardAnswersInPairingMode) {
  devices = {{.address = 1, .name = L"Nintendo RVL-WBC-01", .heardFrom = 0, .paired = true},
             {.address = 2, .name = L"Nintendo RVL-WBC-01", .heardFrom = 2, .paired = true}};
  EXPECT_EQ(lib->AddDevices(5), 1);
  EXPECT_EQ(devices[0].removals, 0);
  EXPECT_TRUE(devices[0].paired);
  EXPECT_EQ(devices[1].removals, 1);
  EXPECT_EQ(devices[1].pin, kWiiPin);
  EXPECT_TRUE(devices[1].hid);
}

TEST_F(BluetoothWin32Test, EveryFailureCountsNothingAndNamesItsReason) {
  struct Case {
    FakeDevice device;
    BluetoothFailure reason;
  } cases[] = {
      {{.address = 1, .name = L"Nintendo RVL-WBC-01", .answersPairing = false},
       BluetoothFailure::PairingFailed},
      {{.address = 1, .name = L"Nintendo RVL-WBC-01", .serviceFails = true},
       BluetoothFailure::NotTrusted},
      {{.address = 1, .name = L"Nintendo RVL-WBC-01", .takesHostPin = false},
       BluetoothFailure::PairingRefused},
      {{.address = 1, .name = L"Nintendo RVL-WBC-01", .namedFrom = 99},
       BluetoothFailure::NameUnknown},
  };
  for (const Case& each : cases) {
    devices = {each.device};
    inquiry = 0;
    EXPECT_EQ(lib->AddDevices(20), 0);
    EXPECT_EQ(lib->LastFailure(), each.reason);
    EXPECT_FALSE(devices[0].paired || devices[0].hid);
    EXPECT_LE(devices[0].offers, 1);
  }
  hasRadio = false;
  EXPECT_EQ(lib->AddDevices(20), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NoAdapter);
}

TEST_F(BluetoothWin32Test, CancelEndsLaterSearches) {
  devices = {{1, L"Nintendo RVL-WBC-01"}};
  lib->Cancel();
  EXPECT_EQ(lib->AddDevices(5), 0);
  EXPECT_EQ(inquiry, 0);
}

// Wine has no radio: the search ends without an inquiry and says so.
TEST(BluetoothSystemTest, WithoutARadioRegistrationFindsNoAdapter) {
  ktBluetoothLib* lib = CreateBluetoothLib();
  EXPECT_EQ(lib->AddDevices(5), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NoAdapter);
  lib->Release();
}

}  // namespace
