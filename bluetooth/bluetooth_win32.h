#pragma once

// clang-format off
#include <windows.h>
#include <bluetoothapis.h>
// clang-format on

#include "bluetooth/bluetooth_lib.h"

// The functions of the system's Bluetooth API that registration uses, with
// the types the API documents (DWORD results, ERROR_SUCCESS on success).
struct ktBluetoothApi {
  HBLUETOOTH_RADIO_FIND(WINAPI* findFirstRadio)(BLUETOOTH_FIND_RADIO_PARAMS*, HANDLE*);
  BOOL(WINAPI* findRadioClose)(HBLUETOOTH_RADIO_FIND);
  DWORD(WINAPI* getRadioInfo)(HANDLE, BLUETOOTH_RADIO_INFO*);
  BOOL(WINAPI* closeRadio)(HANDLE);
  HBLUETOOTH_DEVICE_FIND(WINAPI* findFirstDevice)
  (BLUETOOTH_DEVICE_SEARCH_PARAMS*, BLUETOOTH_DEVICE_INFO*);
  BOOL(WINAPI* findNextDevice)(HBLUETOOTH_DEVICE_FIND, BLUETOOTH_DEVICE_INFO*);
  BOOL(WINAPI* findDeviceClose)(HBLUETOOTH_DEVICE_FIND);
  DWORD(WINAPI* removeDevice)(BLUETOOTH_ADDRESS*);
  DWORD(WINAPI* registerForAuthentication)
  (const BLUETOOTH_DEVICE_INFO*, HBLUETOOTH_AUTHENTICATION_REGISTRATION*,
   PFN_AUTHENTICATION_CALLBACK_EX, void*);
  BOOL(WINAPI* unregisterAuthentication)(HBLUETOOTH_AUTHENTICATION_REGISTRATION);
  DWORD(WINAPI* sendAuthenticationResponse)(HANDLE, BLUETOOTH_AUTHENTICATE_RESPONSE*);
  DWORD(WINAPI* authenticateDevice)
  (HWND, HANDLE, BLUETOOTH_DEVICE_INFO*, BLUETOOTH_OOB_DATA_INFO*,
   BLUETOOTH_AUTHENTICATION_REQUIREMENTS);
  DWORD(WINAPI* setServiceState)(HANDLE, BLUETOOTH_DEVICE_INFO*, GUID*, DWORD);
};

// Registration over the given functions; CreateBluetoothLib takes them from
// bthprops.cpl (and the radio's CloseHandle from kernel32).
ktBluetoothLib* CreateBluetoothLibOn(const ktBluetoothApi& api);
