// A window of the framework on a real display, for the GUI harness: prints
// the client area's place and every message that reaches it, and ends with
// the quit message's exit code.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <thread>

#include "probe_picture.h"
#include "window/message_loop.h"
#include "window/message_loop_gtk.h"
#include "window/window.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr auto kGiveUpAfter = std::chrono::seconds(60);
constexpr int kExitNoDisplay = 2;
constexpr int kExitTimedOut = 3;

class ProbeWindow : public ktWindow {
 public:
  ProbeWindow() : ktWindow(nullptr) {}

  int OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    std::printf("message 0x%04" PRIx32 " 0x%" PRIxPTR "\n", message, wParam);
    std::fflush(stdout);
    return ktWindow::OnMessage(window, message, wParam, lParam);
  }
};

void ReportClientArea(WindowHandle window) {
  int x = 0, y = 0, width = 0, height = 0;
  if (GetClientRect(window, &x, &y, &width, &height)) {
    std::printf("client %d %d %d %d\n", x, y, width, height);
  } else {
    std::printf("client none\n");
  }
  std::printf("ready\n");
  std::fflush(stdout);
}

}  // namespace

int main() {
  if (!InitWindowSystem()) {
    std::fprintf(stderr, "window_probe: no display\n");
    return kExitNoDisplay;
  }
  ProbeWindow window;
  window.Create();
  window.Show();
  ProbePicture picture(kClientWidth, kClientHeight);
  SetClientSurface(window.GetHandle(), picture.Surface());

  int exitCode = 0;
  int reported = 0;
  const auto deadline = std::chrono::steady_clock::now() + kGiveUpAfter;
  while (!DrainMessages(&exitCode)) {
    if (!reported) {
      InvalidateClient(window.GetHandle());
      ReportClientArea(window.GetHandle());
      reported = 1;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      return kExitTimedOut;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return exitCode;
}
