// Bluetooth registration through the system's Bluetooth API in bthprops.cpl,
// loaded at run time so that a machine without it (or without any radio)
// still starts: registration then finds nothing and says why.
//
// The search is a row of inquiries on the first radio, together at least
// kBluetoothSearchLeastMs long: a user presses SYNC some seconds after the
// command, two boards may come one after the other, and a board whose name
// request failed in one inquiry is asked again in the next. Each Wii device
// that answered is paired with the Wii PIN (the radio's address, least
// significant byte first), so that the board keeps the key and later
// reconnects by its own button, and then gets its HID service enabled. A
// device the stack merely remembers and that did not answer is never
// touched: a board paired in Settings and switched off keeps its pairing.
#include "bluetooth/bluetooth_win32.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <set>

#include "support/trace.h"

namespace {

constexpr DWORD kServiceEnable = 0x01;
// The Bluetooth HID service class, 00001124-0000-1000-8000-00805F9B34FB.
GUID kHidServiceClass = {
    0x00001124, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

constexpr const wchar_t* kBoardName = L"Nintendo RVL-WBC-01";
constexpr const wchar_t* kRemoteName = L"Nintendo RVL-CNT-01";
constexpr int kPinLength = 6;

// The records as the 32-bit API lays them out; the 64-bit one has a wider
// radio handle in the search parameters.
static_assert(sizeof(BLUETOOTH_DEVICE_INFO) == 560);
static_assert(sizeof(void*) != 4 || sizeof(BLUETOOTH_DEVICE_SEARCH_PARAMS) == 32);

bool IsWiiName(const wchar_t* name) {
  return std::wcscmp(name, kBoardName) == 0 || std::wcscmp(name, kRemoteName) == 0;
}

ULONGLONG AsNumber(const FILETIME& time) {
  return ULONGLONG{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

// Now, in UTC, down to the whole second: a last-seen time may have no
// finer resolution.
ULONGLONG UtcSecond() {
  constexpr ULONGLONG kSecond = 10000000;  // in units of 100 ns
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return AsNumber(now) / kSecond * kSecond;
}

// A device the stack does not remember comes only from the inquiry. The
// stack sets a device's last-seen time (UTC) when it answers one; a
// remembered device that did not answer keeps an older time.
bool AnsweredSince(const BLUETOOTH_DEVICE_INFO& device, ULONGLONG started) {
  FILETIME seen;
  return !device.fRemembered ||
         (SystemTimeToFileTime(&device.stLastSeen, &seen) && AsNumber(seen) >= started);
}

// The answer to the stack's PIN request for the device being paired,
// given on a thread of the stack's: once, and only for that device.
struct PinAnswer {
  const ktBluetoothApi* api;
  HANDLE radio;
  BLUETOOTH_ADDRESS host;
  BLUETOOTH_ADDRESS device;
  std::atomic<bool> asked{false};
  std::atomic<bool> given{false};
};

BOOL CALLBACK AnswerPinRequest(void* context, BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS* request) {
  auto* answer = static_cast<PinAnswer*>(context);
  BLUETOOTH_AUTHENTICATE_RESPONSE response{};
  response.bthAddressRemote = request->deviceInfo.Address;
  response.authMethod = request->authenticationMethod;
  const bool ours = request->deviceInfo.Address.ullLong == answer->device.ullLong &&
                    request->authenticationMethod == BLUETOOTH_AUTHENTICATION_METHOD_LEGACY &&
                    !answer->asked.exchange(true);
  if (ours) {
    std::memcpy(response.pinInfo.pin, answer->host.rgBytes, kPinLength);
    response.pinInfo.pinLength = kPinLength;
  } else {
    // A second request means the board refused the PIN; it has left pairing
    // mode, and the same PIN again would not help.
    response.negativeResponse = TRUE;
  }
  const DWORD sent = answer->api->sendAuthenticationResponse(answer->radio, &response);
  Trace("Bluetooth: PIN %s, answer %lu", ours ? "given" : "refused", sent);
  if (ours && sent == ERROR_SUCCESS) {
    answer->given.store(true);
  }
  return TRUE;
}

class ktBluetoothLibImp final : public ktBluetoothLib {
 public:
  ktBluetoothLibImp(const ktBluetoothApi& api, HMODULE library) : api(api), library(library) {}
  ~ktBluetoothLibImp() override {
    if (library != nullptr) {
      FreeLibrary(library);
    }
  }

  void Release() override { delete this; }

  int AddDevices(int timeoutMultiplier) override {
    failure = BluetoothFailure::None;
    if (cancelled.load()) {
      return 0;
    }
    if (api.findFirstDevice == nullptr) {
      failure = BluetoothFailure::NoService;
      return 0;
    }
    if (!OpenRadio()) {
      failure = BluetoothFailure::NoAdapter;
      return 0;
    }
    const int units = std::clamp(timeoutMultiplier, 1, kMaxInquiryUnits);
    const int inquiryMs = units * kInquiryUnitMs;
    const int inquiries =
        (std::max(inquiryMs, kBluetoothSearchLeastMs) + inquiryMs - 1) / inquiryMs;
    handled.clear();
    unnamed.clear();
    started = UtcSecond();
    int count = 0;
    for (int i = 0; i < inquiries && !cancelled.load(); ++i) {
      if (!Inquire(units, &count)) {
        break;
      }
    }
    if (!cancelled.load() && !unnamed.empty()) {
      Fail(BluetoothFailure::NameUnknown);
    }
    api.closeRadio(radio);
    radio = nullptr;
    Trace("Bluetooth: %d device(s) registered", count);
    return count;
  }

  // An inquiry itself cannot be interrupted: a running search stops after
  // the device it is at.
  void Cancel() override { cancelled.store(true); }

  BluetoothFailure LastFailure() override { return failure; }

 private:
  // The first radio and its address, which is the Wii PIN.
  bool OpenRadio() {
    BLUETOOTH_FIND_RADIO_PARAMS params{};
    params.dwSize = sizeof params;
    HBLUETOOTH_RADIO_FIND find = api.findFirstRadio(&params, &radio);
    if (find == nullptr) {
      return false;
    }
    api.findRadioClose(find);
    BLUETOOTH_RADIO_INFO info{};
    info.dwSize = sizeof info;
    if (api.getRadioInfo(radio, &info) != ERROR_SUCCESS) {
      api.closeRadio(radio);
      radio = nullptr;
      return false;
    }
    host = info.address;
    return true;
  }

  // One inquiry and the registration of what answered; false when the
  // radio could not search, which ends the search.
  bool Inquire(int units, int* count) {
    BLUETOOTH_DEVICE_SEARCH_PARAMS search{};
    search.dwSize = sizeof search;
    search.fReturnAuthenticated = FALSE;
    search.fReturnRemembered = TRUE;
    search.fReturnUnknown = TRUE;
    search.fReturnConnected = FALSE;
    search.fIssueInquiry = TRUE;
    search.cTimeoutMultiplier = static_cast<UCHAR>(units);
    search.hRadio = radio;
    BLUETOOTH_DEVICE_INFO device{};
    device.dwSize = sizeof device;
    HBLUETOOTH_DEVICE_FIND found = api.findFirstDevice(&search, &device);
    if (found == nullptr) {
      // Nothing in range is an inquiry that happened; anything else means
      // the radio is gone.
      if (GetLastError() == ERROR_NO_MORE_ITEMS) {
        return true;
      }
      Fail(BluetoothFailure::NoAdapter);
      return false;
    }
    do {
      if (AnsweredSince(device, started)) {
        *count += Consider(device);
      }
    } while (!cancelled.load() && api.findNextDevice(found, &device));
    api.findDeviceClose(found);
    return true;
  }

  // A Wii device that answered is registered once per search, unless it is
  // connected already; one of the family's class without a name yet is
  // asked again by the next inquiry.
  int Consider(BLUETOOTH_DEVICE_INFO& device) {
    const ULONGLONG address = device.Address.ullLong;
    if (!IsWiiName(device.szName)) {
      if (device.szName[0] == L'\0' && device.ulClassofDevice == kWiiClassOfDevice &&
          handled.count(address) == 0) {
        unnamed.insert(address);
      }
      return 0;
    }
    unnamed.erase(address);
    if (device.fConnected || handled.count(address) != 0) {
      return 0;
    }
    handled.insert(address);
    // It answers in pairing mode while the stack holds a key for it: the
    // board has lost its key, and the old pairing has to go first.
    if (device.fAuthenticated) {
      if (api.removeDevice(&device.Address) != ERROR_SUCCESS) {
        Fail(BluetoothFailure::PairingFailed);
        return 0;
      }
    }
    return Pair(device) && EnableHid(device);
  }

  bool Pair(BLUETOOTH_DEVICE_INFO& device) {
    PinAnswer answer{&api, radio, host, device.Address};
    HBLUETOOTH_AUTHENTICATION_REGISTRATION registration = nullptr;
    if (api.registerForAuthentication(&device, &registration, AnswerPinRequest, &answer) !=
        ERROR_SUCCESS) {
      Fail(BluetoothFailure::PairingFailed);
      return false;
    }
    const DWORD result =
        api.authenticateDevice(nullptr, radio, &device, nullptr, MITMProtectionNotRequired);
    api.unregisterAuthentication(registration);
    if (result != ERROR_SUCCESS) {
      Trace("Bluetooth: authentication failed: %lu", result);
      // A board that took the PIN and failed refused it; one that never
      // asked did not answer.
      Fail(answer.given.load() ? BluetoothFailure::PairingRefused
                               : BluetoothFailure::PairingFailed);
      return false;
    }
    return true;
  }

  // A paired board without its HID service never becomes a HID device, not
  // even by its button: the pairing is undone so that the next
  // registration starts afresh.
  bool EnableHid(BLUETOOTH_DEVICE_INFO& device) {
    const DWORD result = api.setServiceState(radio, &device, &kHidServiceClass, kServiceEnable);
    if (result == ERROR_SUCCESS) {
      return true;
    }
    Trace("Bluetooth: HID service not enabled: %lu", result);
    Fail(BluetoothFailure::NotTrusted);
    api.removeDevice(&device.Address);
    return false;
  }

  // A cancelled search was stopped, not refused; the first reason is kept.
  void Fail(BluetoothFailure reason) {
    if (!cancelled.load() && failure == BluetoothFailure::None) {
      failure = reason;
    }
  }

  ktBluetoothApi api;
  HMODULE library;
  HANDLE radio = nullptr;
  BLUETOOTH_ADDRESS host{};
  ULONGLONG started = 0;        // when the search began
  std::set<ULONGLONG> handled;  // addresses registered or given up in this search
  std::set<ULONGLONG> unnamed;  // of the Wii family's class, heard without a name
  std::atomic<bool> cancelled{false};
  BluetoothFailure failure = BluetoothFailure::None;
};

template <typename Function>
bool Look(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return function != nullptr;
}

}  // namespace

ktBluetoothLib* CreateBluetoothLibOn(const ktBluetoothApi& api) {
  return new ktBluetoothLibImp(api, nullptr);
}

// All functions or none: a partial library counts as no service.
ktBluetoothLib* CreateBluetoothLib() {
  ktBluetoothApi api{};
  HMODULE library = LoadLibraryExW(L"bthprops.cpl", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const bool complete =
      library != nullptr && Look(library, "BluetoothFindFirstRadio", api.findFirstRadio) &&
      Look(library, "BluetoothFindRadioClose", api.findRadioClose) &&
      Look(library, "BluetoothGetRadioInfo", api.getRadioInfo) &&
      Look(library, "BluetoothFindFirstDevice", api.findFirstDevice) &&
      Look(library, "BluetoothFindNextDevice", api.findNextDevice) &&
      Look(library, "BluetoothFindDeviceClose", api.findDeviceClose) &&
      Look(library, "BluetoothRemoveDevice", api.removeDevice) &&
      Look(library, "BluetoothRegisterForAuthenticationEx", api.registerForAuthentication) &&
      Look(library, "BluetoothUnregisterAuthentication", api.unregisterAuthentication) &&
      Look(library, "BluetoothSendAuthenticationResponseEx", api.sendAuthenticationResponse) &&
      Look(library, "BluetoothAuthenticateDeviceEx", api.authenticateDevice) &&
      Look(library, "BluetoothSetServiceState", api.setServiceState);
  api.closeRadio = CloseHandle;
  if (!complete) {
    api.findFirstDevice = nullptr;
  }
  return new ktBluetoothLibImp(api, library);
}
