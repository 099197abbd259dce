#pragma once

// Why the last AddDevices could not search at all.
enum class BluetoothFailure {
  None,        // it searched (or was cancelled)
  NoService,   // no Bluetooth service answers on the system bus
  NoAdapter,   // the service knows no adapter
  AdapterOff,  // every adapter is switched off; they are left so
};

// Registration of new Wii Balance Boards (and Wii Remotes) with the system's
// Bluetooth stack, so that they become HID devices the device manager can
// open. Operations in slot order.
class ktBluetoothLib {
 public:
  virtual ~ktBluetoothLib() = default;  // slot 0
  virtual void Release() = 0;           // slot 1
  // Searches for at least timeoutMultiplier x 1.28 s, and on until every
  // device found has told its name (15 s in all at most), then registers
  // every device named "Nintendo RVL-WBC-01" or "Nintendo RVL-CNT-01" that is
  // not connected, once per address, whether it answered or is only
  // remembered by the stack.
  // Blocks the calling thread; returns the number of such devices, 0 when
  // there is no Bluetooth stack or no adapter that is switched on (see
  // LastFailure).
  virtual int AddDevices(int timeoutMultiplier) = 0;  // slot 2
  // Callable from any other thread: a running AddDevices returns promptly,
  // and every later one returns 0 at once.
  virtual void Cancel() = 0;  // slot 3
  // What kept the last AddDevices from searching; None before the first.
  virtual BluetoothFailure LastFailure() = 0;  // slot 4
};

// A new registration object over the system's Bluetooth stack, owned by the
// caller until it calls Release.
ktBluetoothLib* CreateBluetoothLib();

// The search of AddDevices takes at most this long, whatever the multiplier
// up to 11; registering the devices found follows it.
inline constexpr int kBluetoothSearchMostMs = 15000;

inline constexpr const char* kBoardBluetoothName = "Nintendo RVL-WBC-01";
inline constexpr const char* kRemoteBluetoothName = "Nintendo RVL-CNT-01";
