#include "transport/virtual_hid_bus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>

#include "transport/hid_provider_common.h"
#include "transport/io_system.h"

namespace {

constexpr int kMaxReport = 256;

}  // namespace

struct VirtualHidBusModules {
  ktHidClassModule hid;
  ktHidSetupModule setup;
};

VirtualHidBus::VirtualHidBus()
    : wakeEvent(IoCreateEvent()),
      modules(new VirtualHidBusModules{
          ktHidClassModule(&GetAttributes, &GetPreparsedData, &SetOutputReport, this),
          ktHidSetupModule(&GetClassDevs, this)}) {
  thread = std::thread([this] { ThreadMain(); });
}

VirtualHidBus::~VirtualHidBus() {
  {
    std::lock_guard lock(mutex);
    stopping = true;
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

void VirtualHidBus::SetOutputReportFails(int device, bool fails) {
  std::lock_guard lock(mutex);
  devices[device]->setOutputFails = fails;
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
}

int VirtualHidBus::SendInput(int device, const uint8_t* report, int length) {
  std::lock_guard lock(mutex);
  int taken = 0;
  for (const Connection& connection : devices[device]->connections) {
    if (IoWrite(connection.deviceFd, report, length) == IoResult::kDone) {
      ++taken;
    }
  }
  return taken;
}

int VirtualHidBus::ConnectionCount(int device) {
  std::lock_guard lock(mutex);
  return static_cast<int>(devices[device]->connections.size());
}

int VirtualHidBus::OutputCount(int device) {
  std::lock_guard lock(mutex);
  return devices[device]->outputCount;
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
  (*found)->connections.push_back(Connection{hostFd, deviceFd});
  lock.unlock();
  Wake();
  return hostFd;
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
    std::lock_guard lock(bus->mutex);
    Device* device = bus->FindByHostFd(handle);
    if (device == nullptr || device->setOutputFails) {
      return 0;
    }
  }
  return IoWrite(handle, report, static_cast<int>(length)) == IoResult::kDone ? 1 : 0;
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
      if (devices[i]->reading) {
        watched.push_back(Watched{i, connection.deviceFd});
      }
    }
  }
  return watched;
}

void VirtualHidBus::ThreadMain() {
  std::vector<IoWaitItem> items;
  for (;;) {
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
      devices[watched.device]->outputCount++;
      handler = devices[watched.device]->handler;
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
