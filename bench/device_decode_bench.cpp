// Board data reports (0x32) decoded per second through the device's input
// entry point, with a calibrated board as it runs after zero adjustment.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "device/wii_device.h"
#include "sim/sim_wii_lib.h"

namespace {

void BM_BoardReportDecode(benchmark::State& state) {
  SimWiiLib lib;
  SimBoard* board = lib.AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  ktWiiDevice* device = lib.Device(0);
  device->SetZeroAdjust(1);
  board->ResendData();
  lib.Pump();
  device->SetZeroAdjust(0);

  uint8_t report[11] = {0x32, 0x00, 0x00, 0x17, 0x70, 0x16, 0x80, 0x17, 0x10, 0x15, 0xC0};
  uint8_t step = 0;
  for (auto _ : state) {
    report[4] = static_cast<uint8_t>(0x70 + (step++ & 0x0F));  // a changing load
    device->OnInputReport(report, sizeof report);
    benchmark::DoNotOptimize(device->GetBoardWeight());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BoardReportDecode);

}  // namespace
