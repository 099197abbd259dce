#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/wii_device.h"
#include "sim/sim_board.h"
#include "sim/sim_remote.h"
#include "transport/wii_lib.h"

class SimLoopback;

// An in-process device manager over simulated devices, for headless tests of
// the application and the screen. Each simulated device is wired to a real
// ktWiiDevice through a loopback port that queues reports in both directions;
// nothing moves until Pump, which delivers queued reports, one at a time, until
// both sides are idle. So a test runs deterministically on one thread:
//
//   SimWiiLib lib;
//   SimBoard* board = lib.AddBoard();
//   lib.Start(kWiiVendorId, kWiiProductId);   // opens every device and pumps
//   board->SetTotalLoad(60.0f);
//   lib.Pump();                                 // the device now holds the loads
//
// Start opens every device added so far; devices added later are opened by
// RequestUpdate (as the real manager finds new devices when asked to update).
// SetOpen(index, false) loses a device (IsOpen 0, values kept, reports in
// flight dropped); SetOpen(index, true) re-opens it at its old position.
// Release sends the closing reports (IR off for remotes, buttons-only mode
// for all), pumps them, and destroys the devices; it may be repeated. The
// object itself belongs to its creator, and the destructor releases.
//
// Threads: GetDeviceCount and GetDevice are safe from any thread (the list
// grows by appending into fixed storage, the count published last). Pump,
// Start, RequestUpdate and SetOpen serialise on one lock, so the registration
// thread's RequestUpdate may run beside a test's Pump. Simulated devices may
// be driven from any thread; their reports wait in the loopback until the
// next Pump.
class SimWiiLib : public ktWiiLib {
 public:
  static constexpr unsigned kCapacity = 256;

  SimWiiLib();
  ~SimWiiLib() override;
  SimWiiLib(const SimWiiLib&) = delete;
  SimWiiLib& operator=(const SimWiiLib&) = delete;

  // Each returns null when the list is full. AddDevice does not take
  // ownership: the simulated device must outlive this object or its Release.
  SimBoard* AddBoard(const SimBoardOptions& options = {});
  SimRemote* AddRemote(const SimRemoteOptions& options = {});
  SimDevice* AddDevice(SimDevice& sim);

  // Delivers queued reports in both directions until none is left.
  void Pump();
  void SetOpen(unsigned index, bool open);
  ktWiiDevice* Device(unsigned index);
  SimDevice* Sim(unsigned index);

  // ktWiiLib
  void DumpDevices() override;
  void Release() override;
  int GetDeviceCount() override;
  ktWiiLibDevice* GetDevice(unsigned index) override;
  int Start(int vendorId, int productId) override;
  int RequestUpdate() override;

 private:
  struct Entry;

  SimDevice* Append(std::unique_ptr<SimDevice> owned, SimDevice& sim);
  void OpenLocked(unsigned index);
  void OpenNewLocked();
  void PumpLocked();
  void SendClosingReportsLocked();
  unsigned Count() const { return count.load(std::memory_order_acquire); }

  std::recursive_mutex lock;
  std::array<std::unique_ptr<Entry>, kCapacity> entries;
  std::atomic<unsigned> count{0};
  bool started = false;
};
