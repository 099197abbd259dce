#pragma once

#include "bluetooth/bluetooth_lib.h"

// Registration over BlueZ whose every AddDevices searches searchMs, whatever
// its multiplier; CreateBluetoothLib searches as long as the multiplier and
// kBluetoothSearchLeastMs ask.
ktBluetoothLib* CreateBluetoothLibSearching(int searchMs);
