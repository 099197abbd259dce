// The whole input path over the virtual HID bus: a simulated board's report
// goes through a socket pair, the device manager's I/O thread reads it and
// the device decodes it, until the value is visible through the getter.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>
#include <vector>

#include "device/wii_lib_device.h"
#include "sim/sim_board.h"
#include "transport/virtual_hid_bus.h"
#include "transport/wii_lib.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Pred>
void SpinUntil(Pred pred) {
  while (!pred()) {
    std::this_thread::yield();
  }
}

// A board on the bus, found, identified and zero-adjusted by a running
// device manager.
class BusRig {
 public:
  BusRig() {
    board.SetReportSink(
        [this](const uint8_t* report, int length) { bus.SendInput(boardIndex, report, length); });
    bus.SetOutputHandler(boardIndex, [this](const uint8_t* report, int length) {
      board.HandleOutput(report, length);
    });
    lib = CreateWiiLibOn(bus);
    lib->Start(kWiiVendorId, kWiiProductId);
    SpinUntil([&] {
      ktWiiLibDevice* d = lib->GetDevice(0);
      return d != nullptr && d->IsOpen() && d->GetReadState() == 0 &&
             d->GetExtensionType() == kExtBalanceBoard;
    });
    device = lib->GetDevice(0);
    device->SetZeroAdjust(1);
    board.ResendData();
    board.SetButton(true);
    SpinUntil([&] { return (device->GetButtons() & kBoardButton) != 0; });
    device->SetZeroAdjust(0);
    board.SetButton(false);
    SpinUntil([&] { return (device->GetButtons() & kBoardButton) == 0; });
  }
  ~BusRig() {
    lib->Release();
    bus.SetOutputHandler(boardIndex, nullptr);
    bus.Run([] {});
  }

  SimBoard board;
  VirtualHidBus bus;
  int boardIndex = bus.AddDevice("virtual:board0");
  ktWiiLib* lib = nullptr;
  ktWiiLibDevice* device = nullptr;
};

// Board data reports (0x32, the board's reporting mode) straight into the
// bus, in batches small enough for the socket's buffer, each with the next
// button word; the batch is done when its last button word is visible.
void BM_ReportsThroughOneIoThread(benchmark::State& state) {
  BusRig rig;
  constexpr int kBatch = 32;
  uint16_t sequence = 0;
  for (auto _ : state) {
    uint8_t report[11] = {0x32, 0, 0, 0x17, 0x70, 0x16, 0x80, 0x17, 0x10, 0x15, 0xC0};
    for (int i = 0; i < kBatch; ++i) {
      ++sequence;
      report[1] = static_cast<uint8_t>(sequence >> 8);
      report[2] = static_cast<uint8_t>(sequence);
      rig.bus.SendInput(rig.boardIndex, report, sizeof report);
    }
    // A full socket drops a report, and a status reply (after the probe
    // time-out) overwrites the button word: the last report goes again
    // until it is seen.
    auto resendAt = Clock::now() + std::chrono::milliseconds(10);
    while (rig.device->GetButtons() != sequence) {
      if (Clock::now() >= resendAt) {
        rig.bus.SendInput(rig.boardIndex, report, sizeof report);
        resendAt = Clock::now() + std::chrono::milliseconds(10);
      }
      std::this_thread::yield();
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ReportsThroughOneIoThread)->UseRealTime();

// From the simulator's send (a press or release of the board's button) to
// the new button word through the device's getter.
void BM_SendToGetterLatency(benchmark::State& state) {
  BusRig rig;
  std::vector<double> micros;
  int lost = 0;
  bool pressed = false;
  for (auto _ : state) {
    pressed = !pressed;
    auto sent = Clock::now();
    rig.board.SetButton(pressed);
    auto giveUp = sent + std::chrono::seconds(1);
    while (((rig.device->GetButtons() & kBoardButton) != 0) != pressed && Clock::now() < giveUp) {
      std::this_thread::yield();
    }
    if (Clock::now() >= giveUp) {
      ++lost;  // never seen: counted, not timed
      rig.board.ResendData();
      continue;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
  }
  state.counters["lost"] = lost;
  if (micros.empty()) {
    return;
  }
  std::sort(micros.begin(), micros.end());
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}
BENCHMARK(BM_SendToGetterLatency)->UseRealTime();

// The process's CPU time while a board streams 200 load reports a second for
// five seconds, as a share of one core. The same stream from a board that is
// connected to nothing gives the share of the pacing and the simulator
// alone; the difference is what the bus, the I/O thread and the decoding
// cost.
double CpuPercentWhileStreaming(SimBoard& board) {
  constexpr auto kPeriod = std::chrono::microseconds(5000);
  constexpr int kReports = 1000;
  std::clock_t cpuStart = std::clock();
  auto wallStart = Clock::now();
  auto next = wallStart;
  for (int i = 0; i < kReports; ++i) {
    board.SetTotalLoad(60.0f + static_cast<float>(i % 20) * 0.1f);
    next += kPeriod;
    std::this_thread::sleep_until(next);
  }
  double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  double wallSeconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
  return 100.0 * cpuSeconds / wallSeconds;
}

void BM_CpuShareAt200ReportsPerSecond(benchmark::State& state) {
  BusRig rig;
  SimBoard unconnected;
  for (auto _ : state) {
    double streaming = CpuPercentWhileStreaming(rig.board);
    double pacingOnly = CpuPercentWhileStreaming(unconnected);
    state.counters["cpu_percent"] = streaming;
    state.counters["pacing_percent"] = pacingOnly;
    state.counters["transport_percent"] = streaming - pacingOnly;
  }
}
BENCHMARK(BM_CpuShareAt200ReportsPerSecond)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
