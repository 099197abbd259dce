// Bluetooth registration through the system's Bluetooth API in bthprops.cpl,
// loaded at run time so that a machine without it (or without any radio)
// still starts: registration then finds nothing.
//
// One inquiry returns remembered and new devices but no connected ones; each
// Wii device among them forgets its old pairing and gets its HID service
// enabled, which makes the stack install it as a HID device without a PIN.
#include "bluetooth/bluetooth_win32.h"

#include <atomic>
#include <cwchar>

namespace {

constexpr DWORD kServiceEnable = 0x01;
// The Bluetooth HID service class, 00001124-0000-1000-8000-00805F9B34FB.
GUID kHidServiceClass = {
    0x00001124, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

constexpr const wchar_t* kBoardName = L"Nintendo RVL-WBC-01";
constexpr const wchar_t* kRemoteName = L"Nintendo RVL-CNT-01";

// The records as the 32-bit API lays them out; the 64-bit one has a wider
// radio handle in the search parameters.
static_assert(sizeof(BLUETOOTH_DEVICE_INFO) == 560);
static_assert(sizeof(void*) != 4 || sizeof(BLUETOOTH_DEVICE_SEARCH_PARAMS) == 32);

bool IsWiiName(const wchar_t* name) {
  return std::wcscmp(name, kBoardName) == 0 || std::wcscmp(name, kRemoteName) == 0;
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
    if (cancelled.load()) {
      return 0;
    }
    if (api.findFirstDevice == nullptr) {
      failure = BluetoothFailure::NoService;
      return 0;
    }
    BLUETOOTH_DEVICE_SEARCH_PARAMS search{};
    search.dwSize = sizeof search;
    search.fReturnAuthenticated = FALSE;
    search.fReturnRemembered = TRUE;
    search.fReturnUnknown = TRUE;
    search.fReturnConnected = FALSE;
    search.fIssueInquiry = TRUE;
    search.cTimeoutMultiplier = static_cast<UCHAR>(timeoutMultiplier);
    search.hRadio = nullptr;
    BLUETOOTH_DEVICE_INFO device{};
    device.dwSize = sizeof device;
    HBLUETOOTH_DEVICE_FIND found = api.findFirstDevice(&search, &device);
    if (found == nullptr) {
      // Nothing in range is a search that happened; anything else means no radio.
      failure = GetLastError() == ERROR_NO_MORE_ITEMS ? BluetoothFailure::None
                                                      : BluetoothFailure::NoAdapter;
      return 0;
    }
    failure = BluetoothFailure::None;
    int count = 0;
    do {
      count += Register(device);
    } while (!cancelled.load() && api.findNextDevice(found, &device));
    api.findDeviceClose(found);
    return count;
  }

  // The inquiry itself cannot be interrupted: a running search stops after
  // the device it is at.
  void Cancel() override { cancelled.store(true); }

  BluetoothFailure LastFailure() override { return failure; }

 private:
  // What the removal and the service change give is not looked at: every
  // matching device that is not connected counts.
  int Register(BLUETOOTH_DEVICE_INFO& device) {
    if (!IsWiiName(device.szName) || device.fConnected) {
      return 0;
    }
    api.removeDevice(&device.Address);
    api.setServiceState(nullptr, &device, &kHidServiceClass, kServiceEnable);
    return 1;
  }

  ktBluetoothApi api;
  HMODULE library;
  std::atomic<bool> cancelled{false};
  BluetoothFailure failure = BluetoothFailure::None;
};

template <typename Function>
void Look(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

ktBluetoothLib* CreateBluetoothLibOn(const ktBluetoothApi& api) {
  return new ktBluetoothLibImp(api, nullptr);
}

// All five functions or none: a partial library counts as no service.
ktBluetoothLib* CreateBluetoothLib() {
  ktBluetoothApi api{};
  HMODULE library = LoadLibraryExW(L"bthprops.cpl", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library != nullptr) {
    Look(library, "BluetoothFindFirstDevice", api.findFirstDevice);
    Look(library, "BluetoothFindNextDevice", api.findNextDevice);
    Look(library, "BluetoothFindDeviceClose", api.findDeviceClose);
    Look(library, "BluetoothRemoveDevice", api.removeDevice);
    Look(library, "BluetoothSetServiceState", api.setServiceState);
    if (api.findNextDevice == nullptr || api.findDeviceClose == nullptr ||
        api.removeDevice == nullptr || api.setServiceState == nullptr) {
      api.findFirstDevice = nullptr;
    }
  }
  return new ktBluetoothLibImp(api, library);
}
