#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bluetooth/bluetooth_lib.h"
#include "sim/radio_board_linux.h"
#include "sim/sim_board.h"
#include "vm_harness.h"

class ktWiiLib;
class ktWiiLibDevice;

// The test machine's Bluetooth stack for one scenario: BlueZ's emulator
// btvirt with a controller per host adapter and one per board, the boards
// in the air on theirs (with two boards or more, one more for an
// AirBystander), each host adapter offered to the kernel through a
// HostRadio, and bluetoothd on the system bus over them. Everything stops,
// and BlueZ's storage is wiped, when it goes; after a failure it shows the
// end of bluetoothd's log first.
class BluetoothBench {
 public:
  using Board = BoardInAir;

  BluetoothBench(VmScenario& scenario, int adapters, int boards);
  ~BluetoothBench();

  // Starts the emulator and puts the boards in the air; then bluetoothd,
  // which must show every adapter on the bus, powered. Records a failure in
  // the scenario when something does not come up.
  bool StartRadio();
  enum class Pin {
    Wii,         // BlueZ gives a Wii device its PIN at once
    ZerosFirst,  // "0000" first, as BlueZ 5.73 to 5.79 do
  };
  bool StartDaemon(Pin pin = Pin::Wii);
  // Both, for a scenario that seeds nothing in BlueZ's storage.
  bool Start(Pin pin = Pin::Wii) { return StartRadio() && StartDaemon(pin); }

  // Before StartDaemon: BlueZ remembers board as paired with adapter, with
  // its name and services, as after an earlier pairing, and trusted unless
  // told otherwise. When the board remembers it as well, both hold the same
  // link key.
  void RememberPairing(int adapter, int board, bool boardRemembers, bool trusted = true);

  Board& board(int index) { return *boards[index]; }
  const std::string& AdapterAddress(int index) const { return adapterAddresses[index]; }
  // The adapter's object path in BlueZ.
  const std::string& AdapterPath(int index) const { return adapterPaths[index]; }
  // Whether the adapter discovers, as BlueZ says.
  bool Discovering(int adapter) const;

  // What BlueZ knows of one device address, on each adapter that lists it.
  struct DeviceState {
    std::string adapter;
    bool paired = false;
    bool trusted = false;
    bool connected = false;
  };
  std::vector<DeviceState> Devices(const std::string& address) const;
  // Waits until the board is paired and connected on some adapter, as BlueZ
  // sees it, and both its HID channels are open.
  bool WaitConnected(int board, int timeoutMs) const;
  // Waits until BlueZ lists the board as not connected and the kernel has
  // removed its HID device.
  bool WaitDisconnected(int board, int timeoutMs) const;
  // The board, open as `device` at list index `board` of the running
  // manager, powers off; once it is gone on both sides its button is
  // pressed. It must be open again as the same device at the same index, the
  // only one listed, and weigh kg.
  bool ReturnsByItsButton(ktWiiLib& lib, ktWiiLibDevice& device, int board, float kg);

 private:
  // Prints the end of bluetoothd's log, for a failed scenario.
  void ShowDaemonLog() const;
  void NoteEmulatorEnd();
  bool WaitAdaptersPowered();
  // One of the adapter's flags as BlueZ shows it; false when BlueZ does not
  // list the adapter.
  bool AdapterFlag(const std::string& path, const char* name) const;
  bool HoldPlaceholderLinks(int bystanderIndex);

  VmScenario& scenario;
  const int adapters;
  std::vector<std::unique_ptr<Board>> boards;
  AirBystander bystander;
  std::vector<std::unique_ptr<HostRadio>> hostRadios;
  std::vector<std::string> adapterAddresses;
  std::vector<std::string> adapterPaths;
  pid_t emulator = -1;
  pid_t daemon = -1;
};

// A registration as the program's registration thread runs it: one
// AddDevices with 5 on a thread of its own, so the scenario can act
// meanwhile. Result gives AddDevices' result and how long it took.
class Registration {
 public:
  // searchMs 0: the program's own search; else one this long, for a
  // scenario where how long a board waits for its name is not the point.
  explicit Registration(int searchMs = kBenchSearchMs);
  ~Registration();
  int Result();
  // Ends the search early, once what the scenario waited for has happened;
  // Result then counts what was registered until then.
  void Cancel();
  BluetoothFailure Failure() const { return failure; }
  double Seconds() const { return seconds; }

  // The stack names a board heard in its first inquiry (10.24 s) after it;
  // a bench search lasts until then and a little more.
  static constexpr int kBenchSearchMs = 13000;

  // The pause that follows a registration that found something.
  static constexpr int kWaitMs = 10000;

 private:
  ktBluetoothLib* lib;
  int result = -1;
  BluetoothFailure failure = BluetoothFailure::None;
  double seconds = 0.0;
  std::thread thread;  // last: it writes the members above as it starts
};

// After a registration that registered something the program waits
// Registration::kWaitMs and then asks the manager to look again. Gives the
// board at index once it is identified, and whether that happened within
// the wait, before any request.
ktWiiLibDevice* IdentifiedAfterRegistration(ktWiiLib& lib, unsigned index, bool& withinWait);

// The hidraw node of the board with this Bluetooth address, waiting for it.
std::string WaitHidraw(const std::string& address, int timeoutMs);
