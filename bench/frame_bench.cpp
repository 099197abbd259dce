// One full main-screen frame into the real back buffer: compose, draw text
// and figures, no pause and nothing copied to a window.

#include <benchmark/benchmark.h>

#include "app/app_window.h"
#include "demo/screen_states.h"
#include "render/canvas_cairo.h"

namespace {

void RunFrames(benchmark::State& state, const char* screen) {
  AppWindow window(nullptr);
  window.canvas = CreateCairoCanvas(window.W, window.H);
  if (!window.canvas || !PrepareScreenState(window, screen)) {
    state.SkipWithError("cannot set up the screen");
    return;
  }
  for (auto _ : state)
    window.RenderFrame();
}

void BM_MainScreenFrame(benchmark::State& state) {
  RunFrames(state, "idle-history");
}
void BM_MeasuringFrame(benchmark::State& state) {
  RunFrames(state, "measuring-on");
}

BENCHMARK(BM_MainScreenFrame)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_MeasuringFrame)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
