#pragma once

#include <atomic>
#include <thread>

#include "transport/hid_binding.h"
#include "transport/wii_lib.h"

class ktWiiDevice;
class ktDeviceChannel;

// The device manager: finds the devices with the wanted vendor and product id
// among the provider's HID devices, opens each through its channel and keeps
// them in a list that only grows. Its I/O thread enumerates, opens, and runs
// every read and write completion (and so every report handler) in one poll
// loop over an exit event, an update event and the descriptor of every open
// device.
//
// The list is fixed storage of kMaxDevices entries: an entry is written
// before the count that covers it is published (release), and readers load
// the count first (acquire), so the user-interface thread can read the list
// while the I/O thread appends to it.
class ktWiiLibImp final : public ktWiiLib {
 public:
  static constexpr int kMaxDevices = 256;
  static constexpr int kProbeTimeoutMs = 2000;
  static constexpr unsigned kMaxInterfaces = 32;

  // The provider must outlive the manager.
  explicit ktWiiLibImp(ktHidProvider& provider);
  ~ktWiiLibImp() override;

  void DumpDevices() override;
  void Release() override;
  int GetDeviceCount() override;
  ktWiiLibDevice* GetDevice(unsigned index) override;
  int Start(int vendorId, int productId) override;
  int RequestUpdate() override;

 private:
  struct Entry;

  void ThreadMain();
  int WaitAndDeliver(int timeoutMs);
  int DeliverWriteCompletions();
  bool AnyProbing();
  bool AnyWriteCompletion();
  void OnTimeout();
  int Enumerate(int vendor, int product);
  // -1 when the path cannot be read (the walk ends), else 1.
  int LookAtInterface(HidDeviceInfoSet* set, HidInterfaceData* data, unsigned index, int vendor,
                      int product);
  bool ProbeDevice(const char* path, int vendor, int product);
  void ReOpen(const char* path);
  int AddOpen(const char* path);
  void Shutdown();
  void SendClosingReports();
  int Count() const { return deviceCount.load(std::memory_order_acquire); }

  ktHidProvider& provider;
  Entry* devices[kMaxDevices] = {};
  std::atomic<int> deviceCount{0};
  int vendorId = 0;
  int productId = 0;
  bool modulesBound = false;
  std::thread thread;
  int exitEvent = -1;
  int updateEvent = -1;
};
