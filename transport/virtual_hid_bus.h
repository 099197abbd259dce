#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
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
class VirtualHidBus final : public ktHidProvider {
 public:
  using OutputHandler = std::function<void(const uint8_t* report, int length)>;

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
  // Makes set-output-report fail for the device (writes still arrive).
  void SetOutputReportFails(int device, bool fails);
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

  // Runs work on the bus thread and waits for it.
  void Run(const std::function<void()>& work);

  // ktHidProvider: modules "hid" and "setupapi", and the open of a path.
  ktHidModule* LoadModule(const char* name) override;
  HidHandle OpenDevice(const char* path, int nonBlocking) override;

 private:
  struct Connection {
    int hostFd;  // the number handed out; -1 once the host has reused it
    int deviceFd;
  };
  struct Device {
    std::string path;
    int vendorId;
    int productId;
    int inputLength = kDefaultReportLength;
    int outputLength = kDefaultReportLength;
    bool present = true;
    bool setOutputFails = false;
    bool reading = true;
    int outputCount = 0;
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
  void ThreadMain();
  std::vector<Watched> WatchList();
  void RunPostedWork();
  void ServeDeviceEnd(const Watched& watched, bool readable, bool hungUp);
  void DropConnection(const Watched& watched);
  void Wake();

  std::mutex mutex;
  std::vector<std::unique_ptr<Device>> devices;
  std::deque<std::function<void()>> posted;
  bool stopping = false;
  int wakeEvent = -1;
  std::unique_ptr<VirtualHidBusModules> modules;
  std::thread thread;
};
