#include "transport_test_helpers.h"

#include <errno.h>

#include <cstring>
#include <thread>

#include "transport/io_system.h"

int BoundEntries() {
  const HidFunctionTable& t = hidFunctions;
  return (t.getAttributes.function != nullptr) + (t.getCaps.function != nullptr) +
         (t.freePreparsedData.function != nullptr) + (t.getPreparsedData.function != nullptr) +
         (t.setOutputReport.function != nullptr) + (t.getHidGuid.function != nullptr) +
         (t.getClassDevs.function != nullptr) + (t.enumDeviceInterfaces.function != nullptr) +
         (t.getDeviceInterfaceDetail.function != nullptr) +
         (t.destroyDeviceInfoList.function != nullptr);
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void AttachSimulator(VirtualHidBus& bus, int device, SimDevice& sim) {
  sim.SetReportSink(
      [&bus, device](const uint8_t* report, int length) { bus.SendInput(device, report, length); });
  bus.SetOutputHandler(
      device, [&sim](const uint8_t* report, int length) { sim.HandleOutput(report, length); });
}

void DetachSimulator(VirtualHidBus& bus, int device) {
  bus.SetOutputHandler(device, nullptr);
  bus.Run([] {});
}

FakeLoader::FakeLoader(ktHidProvider& inner) : inner(inner), changeEvent(IoCreateEvent()) {}

FakeLoader::~FakeLoader() {
  IoClose(changeEvent);
}

void FakeLoader::SetRefused(const std::string& path, bool refuse) {
  std::lock_guard<std::mutex> lock(mutex);
  if (refuse) {
    refused.insert(path);
  } else {
    refused.erase(path);
  }
}

int FakeLoader::Opens(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex);
  return opens[path];
}

void FakeLoader::SignalChange() {
  IoSignalEvent(changeEvent);
}

HidHandle FakeLoader::OpenDevice(const char* path, int nonBlocking) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    opens[path]++;
    if (refused.count(path) != 0) {
      errno = EACCES;
      return kHidInvalidHandle;
    }
  }
  return inner.OpenDevice(path, nonBlocking);
}

int FakeLoader::PeekAttributes(const char* path, HidAttributes* attributes) {
  auto known = knownIds.find(path);
  if (known == knownIds.end()) {
    return 0;
  }
  attributes->vendorId = static_cast<uint16_t>(known->second.first);
  attributes->productId = static_cast<uint16_t>(known->second.second);
  return 1;
}

// A second descriptor of the one event: the manager closes its own.
int FakeLoader::OpenChangeWatch() {
  return IoDuplicate(changeEvent);
}

int FakeLoader::TakeChanges(int watch) {
  return IoConsumeEvent(watch);
}

void FakeLoader::CancelPending(HidHandle device) {
  if (onCancel) {
    onCancel();
  }
  inner.CancelPending(device);
}

ktHidModule* FakeLoader::LoadModule(const char* name) {
  if (missingModules.count(name) != 0) {
    return nullptr;
  }
  ktHidModule* innerModule = inner.LoadModule(name);
  if (innerModule == nullptr) {
    return nullptr;
  }
  Module& module = std::strcmp(name, "hid") == 0 ? hid : setup;
  module.loader = this;
  module.inner = innerModule;
  return &module;
}

HidExport FakeLoader::Module::Find(const char* exportName) {
  if (loader->missingExports.count(exportName) != 0) {
    return HidExport{};
  }
  if (std::strcmp(exportName, "SetupDiGetClassDevsA") == 0) {
    return HidExport{reinterpret_cast<HidAnyFunction>(&CountedClassDevs), this};
  }
  return inner->Find(exportName);
}

void FakeLoader::Module::Release() {
  loader->releases++;
  inner->Release();
}

HidDeviceInfoSet* FakeLoader::CountedClassDevs(void* context, const HidGuid* guid,
                                               const char* enumerator, void* window,
                                               uint32_t flags) {
  auto* module = static_cast<Module*>(context);
  module->loader->enumerations++;
  if (module->loader->onEnumerate) {
    module->loader->onEnumerate();
  }
  HidExport real = module->inner->Find("SetupDiGetClassDevsA");
  return reinterpret_cast<SetupGetClassDevsFn>(real.function)(real.context, guid, enumerator,
                                                              window, flags);
}
