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

// A measuring frame that also says the recorded weight through the
// desktop's speech service (or finds it missing): handing a sentence over
// must leave the frame within the budget of a plain measuring frame.
void BM_SpeakingFrame(benchmark::State& state) {
  AppWindow window(nullptr);
  window.canvas = CreateCairoCanvas(window.W, window.H);
  if (!window.canvas || !PrepareScreenState(window, "measuring-on")) {
    state.SkipWithError("cannot set up the screen");
    return;
  }
  window.settings.speech = 1;
  for (auto _ : state) {
    window.AnnounceRecord(1, 60.0f);
    window.RenderFrame();
  }
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
BENCHMARK(BM_SpeakingFrame)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
