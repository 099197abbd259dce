#pragma once

// Why the last AddDevices registered less than it found, or could not search.
enum class BluetoothFailure {
  None,            // every board heard was registered (or it was cancelled)
  NoService,       // no Bluetooth service answers on the system bus
  NoAdapter,       // the service knows no adapter
  AdapterOff,      // every adapter is switched off; they are left so
  AdapterBlocked,  // every adapter is off, at least one blocked by a radio switch
  PairingRefused,  // the board refused the PIN or the authentication
  PairingFailed,   // pairing did not complete (the board left or did not answer)
  NotTrusted,      // the stack would not trust the board; the pairing was undone
  NotConnected,    // paired and trusted, but the first connection failed
  NameUnknown,     // a device of the Wii family was heard but never told its name
};

// Registration of new Wii Balance Boards (and Wii Remotes) with the system's
// Bluetooth stack, so that they become HID devices the device manager can
// open. Operations in slot order.
class ktBluetoothLib {
 public:
  virtual ~ktBluetoothLib() = default;  // slot 0
  virtual void Release() = 0;           // slot 1
  // Searches for timeoutMultiplier x 1.28 s, and at least
  // kBluetoothSearchLeastMs, and registers each device named "Nintendo
  // RVL-WBC-01" or "Nintendo RVL-CNT-01" that answers meanwhile and is not
  // connected, once per address, as soon as its name is known.
  // Blocks the calling thread; returns the number of devices registered, 0
  // when there is no Bluetooth stack or no adapter that is switched on. See
  // LastFailure for what went wrong. (On Windows the search is a row of
  // inquiries of the multiplier's length, as long in all; see
  // bluetooth_win32.cpp.)
  virtual int AddDevices(int timeoutMultiplier) = 0;  // slot 2
  // Callable from any other thread: a running AddDevices returns promptly,
  // and every later one returns 0 at once.
  virtual void Cancel() = 0;  // slot 3
  // The first thing that went wrong in the last AddDevices; None before the
  // first.
  virtual BluetoothFailure LastFailure() = 0;  // slot 4
};

// A new registration object over the system's Bluetooth stack, owned by the
// caller until it calls Release.
ktBluetoothLib* CreateBluetoothLib();

// The shortest search of AddDevices: with a multiplier up to 19 it lasts
// this long. A board that
// is heard during one inquiry of the stack (10.24 s) is asked its name only
// after it: a board whose SYNC button is pressed up to about 12 s after the
// start is heard in the second inquiry and named by about 21 s.
inline constexpr int kBluetoothSearchLeastMs = 25000;

inline constexpr const char* kBoardBluetoothName = "Nintendo RVL-WBC-01";

// One unit of the inquiry length, and the longest inquiry Bluetooth allows.
inline constexpr int kInquiryUnitMs = 1280;
inline constexpr int kMaxInquiryUnits = 48;
// The class of device of the Wii family (peripheral, joystick): a device of
// this class that never tells its name is worth a word to the user.
inline constexpr unsigned kWiiClassOfDevice = 0x002504;
inline constexpr const char* kRemoteBluetoothName = "Nintendo RVL-CNT-01";
