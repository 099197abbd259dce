// The period of the main loop's frames on Windows: a measuring frame drawn
// into the GDI back buffer, then the frame's own 33 ms pause, as the program
// runs them. Measured first with the system timer as the process finds it,
// then after PrepareProcess, which the program calls at its start. Prints
// the mean period of each; under Wine the system timer already ticks every
// millisecond, so both come out near 33 ms there.
#include <chrono>
#include <cstdio>

#include "app/app_window.h"
#include "demo/screen_states.h"
#include "platform/process.h"
#include "render/canvas_gdi.h"

namespace {

constexpr int kFrames = 60;

double MeanPeriodMs(AppWindow& window) {
  window.RenderFrame();  // the first frame draws its texts' caches
  auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < kFrames; ++i) {
    window.RenderFrame();
  }
  std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - started;
  return spent.count() / kFrames;
}

}  // namespace

int main() {
  AppWindow window(nullptr);
  window.canvas = CreateGdiCanvas(window.W, window.H);
  if (!window.canvas || !PrepareScreenState(window, "measuring-on")) {
    std::fprintf(stderr, "frame_period: cannot set up the screen\n");
    return 1;
  }
  window.frameSleepMs = 33;  // the screen state leaves the pause out
  std::printf("frame period, timer as found: %.1f ms (mean of %d frames)\n", MeanPeriodMs(window),
              kFrames);
  PrepareProcess();
  std::printf("frame period, after PrepareProcess: %.1f ms (mean of %d frames)\n",
              MeanPeriodMs(window), kFrames);
  return 0;
}
