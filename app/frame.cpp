#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <thread>

#include "app/app_window.h"
#include "app/screen_description.h"
#include "device/wii_lib_device.h"
#include "render/canvas.h"
#include "render/frame.h"
#include "transport/wii_lib.h"
#include "window/message_loop.h"

namespace {

// The level byte of a board's status report falls as its four AA cells run
// down; a board shows one bar of four from 0x6A to 0x77 and none below, and
// soon after its readings stop. Fresh cells read well above 0x82. 0 is no
// level at all: no status report has said one.
constexpr int kLowBatteryBelow = 0x78;

int IsBatteryLow(int level) {
  return level > 0 && level < kLowBatteryBelow;
}

}  // namespace

// One frame of the main window. The steps of the scale run in every frame,
// with or without a picture; the picture is then drawn from what they left
// and presented in one block.

void AppWindow::RenderFrame() {
  RetryUnwrittenLog();
  ScreenFrame frame;
  frame.modeFlags = modeFlags.load();
  if ((frame.modeFlags & ModeRegistering) == 0)
    ComposeMainScreen(frame);
  else
    ComposeRegistrationProgress(frame);
  ComposeBluetoothFailure(frame);
  // Wraps to 0 instead of overflowing; 2^31 frames are whole blink periods.
  frameCount = frameCount < std::numeric_limits<int32_t>::max() ? frameCount + 1 : 0;
  if (canvas) {
    DrawFrame(*canvas, frame, W, H);
    canvas->Present();
  }
  DescribeFrame(frame);
  AnnounceFrame(frame);
  if (frameSleepMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(frameSleepMs));
}

// Screen readers announce every change of the description, so it is given
// to the window only when its words change, not in every frame.
void AppWindow::DescribeFrame(const ScreenFrame& frame) {
  std::string text = DescribeScreen(frame);
  if (text == description)
    return;
  description = std::move(text);
  SetClientDescription(GetHandle(), ScreenName(), description.c_str());
}

void AppWindow::ComposeRegistrationProgress(ScreenFrame& frame) {
  const RegistrationPhase phase = registration.CurrentPhase();
  frame.phaseLengthMs = phase.lengthMs;
  frame.phaseElapsedMs =
      static_cast<int32_t>(std::clamp<int64_t>(NowMs() - phase.startMs, 0, phase.lengthMs));
}

// A search that could not start is explained for a few seconds of frames.
void AppWindow::ComposeBluetoothFailure(ScreenFrame& frame) {
  const BluetoothFailure reported = registration.TakeFailure();
  if (reported != BluetoothFailure::None) {
    shownFailure = reported;
    failureNoticeFrames = kFailureNoticeFrames;
  }
  if (failureNoticeFrames > 0) {
    --failureNoticeFrames;
    frame.bluetoothFailure = static_cast<int32_t>(shownFailure);
  }
}

// The device walk, then the measurement step of the active board. The status
// lines show the state before that step, the figures the state after it.
void AppWindow::ComposeMainScreen(ScreenFrame& frame) {
  // A zero adjustment asked for by the registration thread runs here, on the
  // user-interface thread, so it never interleaves with a frame. That thread
  // asks before it clears its bits, and this frame has read them cleared, so
  // the request is always seen before the boards are read again.
  if (zeroAdjustRequest.exchange(0))
    ZeroAdjust();
  frame.pending = PollDevices();
  frame.refusedBoards =
      countRefusedDevices ? countRefusedDevices(wiiLib) : CountRefusedDevices(wiiLib);
  frame.activeEntry = activeEntry;
  frame.currentUser = currentUser;
  frame.frameCount = frameCount;
  frame.history = &history;
  frame.unit = settings.unit;
  frame.batteryLow =
      activeEntry && activeEntry->device && IsBatteryLow(activeEntry->device->GetBattery());
  if (activeEntry)
    UpdateMeasurement(*activeEntry);
  frame.unwrittenLogPath = unwrittenLog.empty() ? nullptr : logPath.c_str();
  frame.userLabels = userNames;
  frame.chart = CurrentChartView();
  frame.chart.selected = SelectedRecord();
}
