#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/hid_binding.h"
#include "transport/wii_lib.h"  // the Wii ids, the default of a new device

struct VirtualHidBusModules;

// An in-process HID bus for the demo and the tests. Each open of a device's
// path makes a new socketpair(AF_UNIX, SOCK_SEQPACKET): the host end goes to
// the caller (the channel reads and writes it exactly like a hidraw node),
// the device end stays with the bus. Like hidraw, every open connection of a
// device receives every input report the device sends.
//
// The bus runs one thread of its own: it reads what the host writes on any
// device end (set-output-report and writes alike) and hands each report to
// the device's output handler, on that thread, one report at a time. A
// simulator is attached by giving it SendInput as its report sink and
// calling its HandleOutput from the output handler. Work that must not run
// beside the handlers (changing a simulator's load, say) can be run on the
// bus thread with Run.
//
// A simulator must outlive every handler call into it: declare it before the
// bus (so the bus and its thread go first), or clear the handler and call
// Run before the simulator goes away. Releasing a device manager sends
// closing reports that the bus thread may still be handing on afterwards.
//
// Under Windows rules (the default where the system's HID provider is
// Windows') a device is as strict as a Windows HID handle: set-output-report
// and writes of any length but the output report length are refused (a
// refused write is counted and never handed on), every input report arrives
// padded with zeros to the input report length, and reports may be joined
// two to one read. A device that vanishes silently keeps its node: its
// connections stay open, their reads pending for ever.
class VirtualHidBus final : public ktHidProvider {
 public:
  using OutputHandler = std::function<void(const uint8_t* report, int length)>;

  // How a device answers set-output-report.
  enum class SetReport {
    kTakes,     // hands the report on
    kRefuses,   // fails at once for good: the driver has no such call
    kTimesOut,  // fails at once, as for a board out of reach
    kBlocks,    // waits until CancelPending (or the bus goes), then fails
  };

  static constexpr int kDefaultReportLength = 22;

  VirtualHidBus();
  ~VirtualHidBus();
  VirtualHidBus(const VirtualHidBus&) = delete;
  VirtualHidBus& operator=(const VirtualHidBus&) = delete;

  // A present device at path (e.g. "virtual:board0"); returns its number.
  int AddDevice(const std::string& path, int vendorId = kWiiVendorId,
                int productId = kWiiProductId);
  void SetReportLengths(int device, int inputLength, int outputLength);
  void SetOutputHandler(int device, OutputHandler handler);
  void SetOutputReportMode(int device, SetReport mode);
  void SetWindowsRules(bool on);
  // Input reports go out two to one message, as a Windows HID read of two
  // reports' length would get them (Windows rules only).
  void SetJoinedInput(int device, bool joined);
  // The device goes away without a word: its path stays listed and opens
  // still succeed, but nothing goes to or comes from any connection made
  // before Plug, and set-output-report on them times out unless it blocks.
  void VanishSilently(int device);
  // A device that stops reading leaves the host's writes in its socket.
  void SetReading(int device, bool reading);
  // The device goes away: every connection ends (the host reads end of file)
  // and the path is no longer enumerated or opened until Plug.
  void Unplug(int device);
  void Plug(int device);

  // Sends one input report to every open connection of the device; returns
  // how many connections took it.
  int SendInput(int device, const uint8_t* report, int length);
  int ConnectionCount(int device);
  // Reports the device has received from the host so far.
  int OutputCount(int device);
  // Writes of the wrong length it refused, under Windows rules.
  int RefusedOutputCount(int device);
  // Calls of set-output-report that have waited in kBlocks so far.
  int BlockedCallCount();

  // Runs work on the bus thread and waits for it.
  void Run(const std::function<void()>& work);

  // ktHidProvider: modules "hid" and "setupapi", and the open of a path.
  ktHidModule* LoadModule(const char* name) override;
  HidHandle OpenDevice(const char* path, int nonBlocking) override;
  int WholeOutputReports() override;
  int SilentWhenGone() override;
  void CancelPending(HidHandle device) override;

 private:
  struct Connection {
    int hostFd;  // the number handed out; -1 once the host has reused it
    int deviceFd;
    bool dead;  // made before a silent vanish: nothing goes either way
  };
  struct Device {
    std::string path;
    int vendorId;
    int productId;
    int inputLength = kDefaultReportLength;
    int outputLength = kDefaultReportLength;
    bool present = true;
    SetReport setReport = SetReport::kTakes;
    bool reading = true;
    bool silent = false;
    bool joinedInput = false;
    std::vector<uint8_t> heldInput;  // a report waiting for the one it is joined to
    int outputCount = 0;
    int refusedCount = 0;
    OutputHandler handler;
    std::vector<Connection> connections;
  };
  struct Watched {
    int device;
    int deviceFd;
  };

  static int GetAttributes(void* context, HidHandle handle, HidAttributes* attributes);
  static int GetPreparsedData(void* context, HidHandle handle, HidPreparsedData** data);
  static int SetOutputReport(void* context, HidHandle handle, const void* report, uint32_t length);
  static HidDeviceInfoSet* GetClassDevs(void* context, const HidGuid* guid, const char* enumerator,
                                        void* window, uint32_t flags);

  Device* FindByHostFd(int hostFd);
  const Connection* ConnectionOf(int hostFd);
  int FailSetReport(std::unique_lock<std::mutex>& lock, HidHandle handle, SetReport mode);
  int WriteToLiveConnections(Device& device, const std::vector<uint8_t>& message);
  void FlushHeldInput();
  void ThreadMain();
  std::vector<Watched> WatchList();
  void RunPostedWork();
  void ServeDeviceEnd(const Watched& watched, bool readable, bool hungUp);
  void DropConnection(const Watched& watched);
  void Wake();

  std::mutex mutex;
  std::condition_variable blockedChanged;
  std::vector<std::unique_ptr<Device>> devices;
  bool windowsRules;
  std::map<int, unsigned> cancels;  // CancelPending calls per host descriptor
  int blockedCalls = 0;             // waiting now
  int blockedCallCount = 0;
  std::deque<std::function<void()>> posted;
  bool stopping = false;
  int wakeEvent = -1;
  std::unique_ptr<VirtualHidBusModules> modules;
  std::thread thread;
};
