#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "sim/sim_device.h"
#include "transport/hid_binding.h"
#include "transport/virtual_hid_bus.h"

// How many of the ten binding entries are bound now.
int BoundEntries();

// Polls pred until it holds or the time is up; returns its last value.
bool WaitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds limit = std::chrono::seconds(5));

// Connects a simulator to a bus device: the host's output goes to the
// simulator on the bus thread, the simulator's input reports to every
// connection of the device.
void AttachSimulator(VirtualHidBus& bus, int device, SimDevice& sim);
// Disconnects it again; on return no output handler call is under way.
void DetachSimulator(VirtualHidBus& bus, int device);

// A provider over another one that can leave out modules or exports, counts
// module loads and releases, and can run a hook inside every enumeration.
// Like the hidraw provider it can know ids without opening, refuse to open a
// path for lack of permission, and tell of changes through a watch.
class FakeLoader final : public ktHidProvider {
 public:
  explicit FakeLoader(ktHidProvider& inner);
  ~FakeLoader();

  std::set<std::string> missingModules;
  std::set<std::string> missingExports;
  std::atomic<int> releases{0};
  std::atomic<int> enumerations{0};
  std::function<void()> onEnumerate;
  // Runs as the manager cancels a device's pending I/O, which it does only
  // once it has told its thread to end and the thread has not.
  std::function<void()> onCancel;
  // Vendor and product of paths, told without opening; set before Start.
  std::map<std::string, std::pair<int, int>> knownIds;

  void SetRefused(const std::string& path, bool refused);
  int Opens(const std::string& path);
  // Makes every change watch handed out readable.
  void SignalChange();

  ktHidModule* LoadModule(const char* name) override;
  HidHandle OpenDevice(const char* path, int nonBlocking) override;
  int PeekAttributes(const char* path, HidAttributes* attributes) override;
  int OpenChangeWatch() override;
  int TakeChanges(int watch) override;
  void CancelPending(HidHandle device) override;

 private:
  class Module final : public ktHidModule {
   public:
    HidExport Find(const char* exportName) override;
    void Release() override;
    FakeLoader* loader = nullptr;
    ktHidModule* inner = nullptr;
  };
  static HidDeviceInfoSet* CountedClassDevs(void* context, const HidGuid* guid,
                                            const char* enumerator, void* window, uint32_t flags);

  ktHidProvider& inner;
  Module hid;
  Module setup;
  std::mutex mutex;
  std::set<std::string> refused;
  std::map<std::string, int> opens;
  int changeEvent;
};
