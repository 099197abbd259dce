#include "transport/virtual_hid_bus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>

#include "transport/hid_provider_common.h"
#include "transport/hid_system.h"
#include "transport/io_system.h"

namespace {

constexpr int kMaxReport = 256;

}  // namespace

struct VirtualHidBusModules {
  ktHidClassModule hid;
  ktHidSetupModule setup;
};

VirtualHidBus::VirtualHidBus()
    : windowsRules(SystemHidProvider().WholeOutputReports() != 0),
      wakeEvent(IoCreateEvent()),
      modules(new VirtualHidBusModules{
          ktHidClassModule(&GetAttributes, &GetPreparsedData, &SetOutputReport, this),
          ktHidSetupModule(&GetClassDevs, this)}) {
  thread = std::thread([this] { ThreadMain(); });
}

// A set-output-report blocked in a device is let go and has left before the
// bus goes.
VirtualHidBus::~VirtualHidBus() {
  {
    std::unique_lock lock(mutex);
    stopping = true;
    blockedChanged.notify_all();
    blockedChanged.wait(lock, [this] { return blockedCalls == 0; });
  }
  Wake();
  thread.join();
  for (auto& device : devices) {
    for (const Connection& connection : device->connections) {
      IoClose(connection.deviceFd);
    }
  }
  IoClose(wakeEvent);
}

int VirtualHidBus::AddDevice(const std::string& path, int vendorId, int productId) {
  std::lock_guard lock(mutex);
  auto device = std::make_unique<Device>();
  device->path = path;
  device->vendorId = vendorId;
  device->productId = productId;
  devices.push_back(std::move(device));
  return static_cast<int>(devices.size()) - 1;
}

void VirtualHidBus::SetReportLengths(int device, int inputLength, int outputLength) {
  std::lock_guard lock(mutex);
  devices[device]->inputLength = inputLength;
  devices[device]->outputLength = outputLength;
}

void VirtualHidBus::SetOutputHandler(int device, OutputHandler handler) {
  std::lock_guard lock(mutex);
  devices[device]->handler = std::move(handler);
}

void VirtualHidBus::SetOutputReportMode(int device, SetReport mode) {
  std::lock_guard lock(mutex);
  devices[device]->setReport = mode;
}

void VirtualHidBus::SetWindowsRules(bool on) {
  std::lock_guard lock(mutex);
  windowsRules = on;
}

void VirtualHidBus::SetJoinedInput(int device, bool joined) {
  std::lock_guard lock(mutex);
  devices[device]->joinedInput = joined;
}

void VirtualHidBus::VanishSilently(int device) {
  std::lock_guard lock(mutex);
  devices[device]->silent = true;
  for (Connection& connection : devices[device]->connections) {
    connection.dead = true;
  }
}

void VirtualHidBus::SetReading(int device, bool reading) {
  {
    std::lock_guard lock(mutex);
    devices[device]->reading = reading;
  }
  Wake();
}

// Only the bus thread closes device ends: here they are shut down, so the
// host reads end of file and the bus thread sees the hang-up and closes them.
void VirtualHidBus::Unplug(int device) {
  std::lock_guard lock(mutex);
  devices[device]->present = false;
  for (const Connection& connection : devices[device]->connections) {
    IoShutdown(connection.deviceFd);
  }
}

void VirtualHidBus::Plug(int device) {
  std::lock_guard lock(mutex);
  devices[device]->present = true;
  devices[device]->silent = false;
}

// A joined report waits for the next one; the bus thread sends a report
// still waiting alone once the work that made it is done.
int VirtualHidBus::SendInput(int device, const uint8_t* report, int length) {
  std::lock_guard lock(mutex);
  Device& target = *devices[device];
  std::vector<uint8_t> message(report, report + length);
  if (windowsRules) {
    message.resize(static_cast<size_t>(target.inputLength), 0);
  }
  if (windowsRules && target.joinedInput) {
    if (target.heldInput.empty()) {
      target.heldInput = std::move(message);
      IoSignalEvent(wakeEvent);
      return 0;
    }
    message.insert(message.begin(), target.heldInput.begin(), target.heldInput.end());
    target.heldInput.clear();
  }
  return WriteToLiveConnections(target, message);
}

int VirtualHidBus::WriteToLiveConnections(Device& device, const std::vector<uint8_t>& message) {
  int taken = 0;
  for (const Connection& connection : device.connections) {
    if (!connection.dead && IoWrite(connection.deviceFd, message.data(),
                                    static_cast<int>(message.size())) == IoResult::kDone) {
      ++taken;
    }
  }
  return taken;
}

void VirtualHidBus::FlushHeldInput() {
  std::lock_guard lock(mutex);
  for (auto& device : devices) {
    if (!device->heldInput.empty()) {
      WriteToLiveConnections(*device, device->heldInput);
      device->heldInput.clear();
    }
  }
}

int VirtualHidBus::ConnectionCount(int device) {
  std::lock_guard lock(mutex);
  return static_cast<int>(devices[device]->connections.size());
}

int VirtualHidBus::OutputCount(int device) {
  std::lock_guard lock(mutex);
  return devices[device]->outputCount;
}

int VirtualHidBus::RefusedOutputCount(int device) {
  std::lock_guard lock(mutex);
  return devices[device]->refusedCount;
}

int VirtualHidBus::BlockedCallCount() {
  std::lock_guard lock(mutex);
  return blockedCallCount;
}

int VirtualHidBus::WholeOutputReports() {
  std::lock_guard lock(mutex);
  return windowsRules ? 1 : 0;
}

int VirtualHidBus::SilentWhenGone() {
  return WholeOutputReports();
}

void VirtualHidBus::CancelPending(HidHandle device) {
  std::lock_guard lock(mutex);
  ++cancels[device];
  blockedChanged.notify_all();
}

void VirtualHidBus::Run(const std::function<void()>& work) {
  std::promise<void> done;
  {
    std::lock_guard lock(mutex);
    posted.push_back([&] {
      work();
      done.set_value();
    });
  }
  Wake();
  done.get_future().wait();
}

ktHidModule* VirtualHidBus::LoadModule(const char* name) {
  if (std::strcmp(name, "hid") == 0) {
    return &modules->hid.Module();
  }
  if (std::strcmp(name, "setupapi") == 0) {
    return &modules->setup.Module();
  }
  return nullptr;
}

HidHandle VirtualHidBus::OpenDevice(const char* path, int nonBlocking) {
  std::unique_lock lock(mutex);
  auto found = std::find_if(devices.begin(), devices.end(), [&](const auto& device) {
    return device->present && SamePathIgnoringCase(device->path.c_str(), path);
  });
  int hostFd, deviceFd;
  if (found == devices.end() || !IoCreatePacketPair(&hostFd, &deviceFd, nonBlocking)) {
    return kHidInvalidHandle;
  }
  // The host closed an earlier connection whose number it now gets again;
  // that connection is no longer reachable through the number.
  for (auto& device : devices) {
    for (Connection& connection : device->connections) {
      if (connection.hostFd == hostFd) {
        connection.hostFd = -1;
      }
    }
  }
  (*found)->connections.push_back(Connection{hostFd, deviceFd, (*found)->silent});
  lock.unlock();
  Wake();
  return hostFd;
}

const VirtualHidBus::Connection* VirtualHidBus::ConnectionOf(int hostFd) {
  for (auto& device : devices) {
    for (const Connection& connection : device->connections) {
      if (connection.hostFd == hostFd) {
        return &connection;
      }
    }
  }
  return nullptr;
}

VirtualHidBus::Device* VirtualHidBus::FindByHostFd(int hostFd) {
  for (auto& device : devices) {
    for (const Connection& connection : device->connections) {
      if (connection.hostFd == hostFd) {
        return device.get();
      }
    }
  }
  return nullptr;
}

int VirtualHidBus::GetAttributes(void* context, HidHandle handle, HidAttributes* attributes) {
  auto* bus = static_cast<VirtualHidBus*>(context);
  std::lock_guard lock(bus->mutex);
  Device* device = bus->FindByHostFd(handle);
  if (device == nullptr) {
    return 0;
  }
  attributes->vendorId = static_cast<uint16_t>(device->vendorId);
  attributes->productId = static_cast<uint16_t>(device->productId);
  attributes->versionNumber = 0;
  return 1;
}

int VirtualHidBus::GetPreparsedData(void* context, HidHandle handle, HidPreparsedData** data) {
  auto* bus = static_cast<VirtualHidBus*>(context);
  std::lock_guard lock(bus->mutex);
  Device* device = bus->FindByHostFd(handle);
  if (device == nullptr) {
    return 0;
  }
  auto* parsed = new HidPreparsedData{};
  parsed->caps.inputReportByteLength = static_cast<uint16_t>(device->inputLength);
  parsed->caps.outputReportByteLength = static_cast<uint16_t>(device->outputLength);
  *data = parsed;
  return 1;
}

int VirtualHidBus::SetOutputReport(void* context, HidHandle handle, const void* report,
                                   uint32_t length) {
  auto* bus = static_cast<VirtualHidBus*>(context);
  {
    std::unique_lock lock(bus->mutex);
    Device* device = bus->FindByHostFd(handle);
    if (device == nullptr) {
      HidSetLastError(kHidErrorGenFailure);
      return 0;
    }
    if (bus->windowsRules && length != static_cast<uint32_t>(device->outputLength)) {
      HidSetLastError(kHidErrorInvalidParameter);
      return 0;
    }
    SetReport mode = device->setReport;
    if (bus->ConnectionOf(handle)->dead && mode == SetReport::kTakes) {
      mode = SetReport::kTimesOut;
    }
    if (mode != SetReport::kTakes) {
      return bus->FailSetReport(lock, handle, mode);
    }
  }
  if (IoWrite(handle, report, static_cast<int>(length)) != IoResult::kDone) {
    HidSetLastError(kHidErrorGenFailure);
    return 0;
  }
  return 1;
}

int VirtualHidBus::FailSetReport(std::unique_lock<std::mutex>& lock, HidHandle handle,
                                 SetReport mode) {
  if (mode == SetReport::kRefuses) {
    HidSetLastError(kHidErrorInvalidFunction);
    return 0;
  }
  if (mode == SetReport::kTimesOut) {
    HidSetLastError(kHidErrorSemTimeout);
    return 0;
  }
  unsigned seen = cancels[handle];
  ++blockedCalls;
  ++blockedCallCount;
  blockedChanged.wait(lock, [&] { return stopping || cancels[handle] != seen; });
  --blockedCalls;
  blockedChanged.notify_all();
  HidSetLastError(kHidErrorOperationAborted);
  return 0;
}

HidDeviceInfoSet* VirtualHidBus::GetClassDevs(void* context, const HidGuid*, const char*, void*,
                                              uint32_t) {
  auto* bus = static_cast<VirtualHidBus*>(context);
  std::lock_guard lock(bus->mutex);
  auto* set = new HidDeviceInfoSet{};
  for (const auto& device : bus->devices) {
    if (device->present) {
      set->paths.push_back(device->path);
    }
  }
  return set;
}

void VirtualHidBus::Wake() {
  IoSignalEvent(wakeEvent);
}

std::vector<VirtualHidBus::Watched> VirtualHidBus::WatchList() {
  std::lock_guard lock(mutex);
  std::vector<Watched> watched;
  for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
    for (const Connection& connection : devices[i]->connections) {
      if (devices[i]->reading && !connection.dead) {
        watched.push_back(Watched{i, connection.deviceFd});
      }
    }
  }
  return watched;
}

void VirtualHidBus::ThreadMain() {
  std::vector<IoWaitItem> items;
  for (;;) {
    FlushHeldInput();
    std::vector<Watched> watched = WatchList();
    items.assign(1, IoWaitItem{wakeEvent, false, false});
    for (const Watched& w : watched) {
      items.push_back(IoWaitItem{w.deviceFd, false, false});
    }
    IoWait(items.data(), static_cast<int>(items.size()), -1);
    if (items[0].readable) {
      IoConsumeEvent(wakeEvent);
      {
        std::lock_guard lock(mutex);
        if (stopping) {
          return;
        }
      }
      RunPostedWork();
    }
    for (size_t i = 0; i < watched.size(); ++i) {
      const IoWaitItem& item = items[i + 1];
      if (item.readable || item.hungUp) {
        ServeDeviceEnd(watched[i], item.readable, item.hungUp);
      }
    }
  }
}

void VirtualHidBus::RunPostedWork() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex);
      if (posted.empty()) {
        return;
      }
      work = std::move(posted.front());
      posted.pop_front();
    }
    work();
  }
}

// One report from the host, or the end of the connection.
void VirtualHidBus::ServeDeviceEnd(const Watched& watched, bool readable, bool hungUp) {
  uint8_t report[kMaxReport];
  int count = 0;
  IoResult result =
      readable ? IoRead(watched.deviceFd, report, kMaxReport, &count) : IoResult::kEnd;
  if (result == IoResult::kDone) {
    OutputHandler handler;
    {
      std::lock_guard lock(mutex);
      Device& device = *devices[watched.device];
      if (windowsRules && count != device.outputLength) {
        device.refusedCount++;
        return;
      }
      device.outputCount++;
      handler = device.handler;
    }
    if (handler) {
      handler(report, count);
    }
    return;
  }
  // A host that closes its end with input reports still unread there leaves
  // a one-time ECONNRESET here, ahead of the reports it wrote last: read on.
  // The connection ends at end of file, once those reports are handed on.
  if (result == IoResult::kFailed && IoLastError() == ECONNRESET) {
    return;
  }
  if (result != IoResult::kWouldBlock || hungUp) {
    DropConnection(watched);
  }
}

void VirtualHidBus::DropConnection(const Watched& watched) {
  std::lock_guard lock(mutex);
  auto& connections = devices[watched.device]->connections;
  auto found = std::find_if(connections.begin(), connections.end(),
                            [&](const Connection& c) { return c.deviceFd == watched.deviceFd; });
  if (found != connections.end()) {
    IoClose(found->deviceFd);
    connections.erase(found);
  }
}
