#include "sim/sim_wii_lib.h"

#include <deque>
#include <vector>

#include "device/output_reports.h"
#include "support/trace.h"

// The loopback between one ktWiiDevice and its simulated device: output
// reports wait for the simulator, input reports wait for the device.
class SimLoopback : public ktReportPort {
 public:
  using Report = std::vector<uint8_t>;

  int IsOpen() override { return open.load(std::memory_order_relaxed) ? 1 : 0; }
  void Send(const uint8_t* report, int length) override { Push(toSim, report, length); }
  void Receive(const uint8_t* report, int length) { Push(toDevice, report, length); }

  void SetOpen(bool on) {
    std::lock_guard<std::mutex> guard(mutex);
    open.store(on, std::memory_order_relaxed);
    toSim.clear();
    toDevice.clear();
  }
  bool PopToSim(Report& report) { return Pop(toSim, report); }
  bool PopToDevice(Report& report) { return Pop(toDevice, report); }

 private:
  // A closed port drops reports in both directions.
  void Push(std::deque<Report>& queue, const uint8_t* report, int length) {
    std::lock_guard<std::mutex> guard(mutex);
    if (open.load(std::memory_order_relaxed) && report != nullptr && length > 0) {
      queue.emplace_back(report, report + length);
    }
  }
  bool Pop(std::deque<Report>& queue, Report& report) {
    std::lock_guard<std::mutex> guard(mutex);
    if (queue.empty()) {
      return false;
    }
    report = std::move(queue.front());
    queue.pop_front();
    return true;
  }

  std::mutex mutex;
  std::atomic<bool> open{false};
  std::deque<Report> toSim;
  std::deque<Report> toDevice;
};

struct SimWiiLib::Entry {
  std::unique_ptr<SimDevice> owned;
  SimDevice* sim = nullptr;
  SimLoopback port;
  ktWiiDevice device;
  bool opened = false;
};

SimWiiLib::SimWiiLib() = default;

SimWiiLib::~SimWiiLib() {
  Release();
}

SimDevice* SimWiiLib::Append(std::unique_ptr<SimDevice> owned, SimDevice& sim) {
  std::lock_guard<std::recursive_mutex> guard(lock);
  const unsigned index = Count();
  if (index >= kCapacity) {
    return nullptr;
  }
  auto entry = std::make_unique<Entry>();
  entry->owned = std::move(owned);
  entry->sim = &sim;
  entry->device.SetPort(&entry->port);
  SimLoopback* port = &entry->port;
  sim.SetReportSink([port](const uint8_t* report, int length) { port->Receive(report, length); });
  entries[index] = std::move(entry);
  count.store(index + 1, std::memory_order_release);
  return &sim;
}

SimBoard* SimWiiLib::AddBoard(const SimBoardOptions& options) {
  auto board = std::make_unique<SimBoard>(options);
  SimBoard& sim = *board;
  return Append(std::move(board), sim) != nullptr ? &sim : nullptr;
}

SimRemote* SimWiiLib::AddRemote(const SimRemoteOptions& options) {
  auto remote = std::make_unique<SimRemote>(options);
  SimRemote& sim = *remote;
  return Append(std::move(remote), sim) != nullptr ? &sim : nullptr;
}

SimDevice* SimWiiLib::AddDevice(SimDevice& sim) {
  return Append(nullptr, sim);
}

// Output reports are handed to the simulator first; then one input report is
// delivered, whose handler may queue more output. Send only queues, so no
// handler runs inside another.
void SimWiiLib::PumpLocked() {
  SimLoopback::Report report;
  bool moved = true;
  while (moved) {
    moved = false;
    for (unsigned i = 0; i < Count(); ++i) {
      Entry& entry = *entries[i];
      while (entry.port.PopToSim(report)) {
        entry.sim->HandleOutput(report.data(), static_cast<int>(report.size()));
        moved = true;
      }
      if (entry.port.PopToDevice(report)) {
        entry.device.OnInputReport(report.data(), static_cast<int>(report.size()));
        moved = true;
      }
    }
  }
}

void SimWiiLib::Pump() {
  std::lock_guard<std::recursive_mutex> guard(lock);
  PumpLocked();
}

void SimWiiLib::OpenLocked(unsigned index) {
  Entry& entry = *entries[index];
  entry.port.SetOpen(true);
  entry.opened = true;
  entry.device.OnOpened(static_cast<int>(index));
}

void SimWiiLib::OpenNewLocked() {
  for (unsigned i = 0; i < Count(); ++i) {
    if (!entries[i]->opened) {
      OpenLocked(i);
    }
  }
  PumpLocked();
}

void SimWiiLib::SetOpen(unsigned index, bool open) {
  std::lock_guard<std::recursive_mutex> guard(lock);
  if (index >= Count()) {
    return;
  }
  if (open) {
    OpenLocked(index);
    PumpLocked();
  } else {
    entries[index]->port.SetOpen(false);
  }
}

ktWiiDevice* SimWiiLib::Device(unsigned index) {
  return index < Count() ? &entries[index]->device : nullptr;
}

SimDevice* SimWiiLib::Sim(unsigned index) {
  return index < Count() ? entries[index]->sim : nullptr;
}

void SimWiiLib::DumpDevices() {
  for (unsigned i = 0; i < Count(); ++i) {
    ktWiiDevice& device = entries[i]->device;
    Trace("device %u open=%d ext=%04x state=%d\n", i, device.IsOpen(), device.GetExtensionType(),
          device.GetReadState());
  }
}

int SimWiiLib::GetDeviceCount() {
  return static_cast<int>(Count());
}

ktWiiLibDevice* SimWiiLib::GetDevice(unsigned index) {
  return Device(index);
}

int SimWiiLib::Start(int, int) {
  std::lock_guard<std::recursive_mutex> guard(lock);
  started = true;
  OpenNewLocked();
  return 1;
}

int SimWiiLib::RequestUpdate() {
  std::lock_guard<std::recursive_mutex> guard(lock);
  if (!started) {
    return 0;
  }
  OpenNewLocked();
  return 1;
}

void SimWiiLib::SendClosingReportsLocked() {
  for (unsigned i = 0; i < Count(); ++i) {
    ktWiiDevice& device = entries[i]->device;
    if (device.GetExtensionType() != kExtBalanceBoard) {
      device.Send(kOutIrOff.data(), static_cast<int>(kOutIrOff.size()));
      device.Send(kOutIr2Off.data(), static_cast<int>(kOutIr2Off.size()));
    }
  }
  for (unsigned i = 0; i < Count(); ++i) {
    entries[i]->device.Send(kOutModeButtons.data(), static_cast<int>(kOutModeButtons.size()));
  }
}

void SimWiiLib::Release() {
  std::lock_guard<std::recursive_mutex> guard(lock);
  SendClosingReportsLocked();
  PumpLocked();
  const unsigned listed = Count();
  count.store(0, std::memory_order_release);
  for (unsigned i = 0; i < listed; ++i) {
    entries[i]->sim->SetReportSink(nullptr);
    entries[i].reset();
  }
  started = false;
}
