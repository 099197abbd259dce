#pragma once

// clang-format off
#include <windows.h>
#include <bluetoothapis.h>
// clang-format on

#include "bluetooth/bluetooth_lib.h"

// The five functions of the system's Bluetooth API that registration uses.
struct ktBluetoothApi {
  HBLUETOOTH_DEVICE_FIND(WINAPI* findFirstDevice)
  (BLUETOOTH_DEVICE_SEARCH_PARAMS*, BLUETOOTH_DEVICE_INFO*);
  BOOL(WINAPI* findNextDevice)(HBLUETOOTH_DEVICE_FIND, BLUETOOTH_DEVICE_INFO*);
  BOOL(WINAPI* findDeviceClose)(HBLUETOOTH_DEVICE_FIND);
  DWORD(WINAPI* removeDevice)(BLUETOOTH_ADDRESS*);
  DWORD(WINAPI* setServiceState)(HANDLE, BLUETOOTH_DEVICE_INFO*, GUID*, DWORD);
};

// Registration over the given functions; CreateBluetoothLib takes them from
// bthprops.cpl.
ktBluetoothLib* CreateBluetoothLibOn(const ktBluetoothApi& api);
