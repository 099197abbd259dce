#include <chrono>
#include <cstdarg>
#include <thread>

#include "app/app_window.h"
#include "device/wii_lib_device.h"
#include "render/canvas.h"
#include "render/gauge.h"
#include "render/text.h"
#include "resources/web_pages.h"

// The frame of the main window: the title, then either the registration
// screen or the main screen with the measurement step, into the canvas's
// back buffer, which is then presented in one block.

namespace {

constexpr CanvasColor kBackgroundColor{240, 240, 230};
constexpr CanvasColor kTitleColor{20, 20, 20};
constexpr CanvasColor kBlack{0, 0, 0};
constexpr CanvasColor kHistoryColor{160, 160, 153};
constexpr CanvasColor kNoticeColor{20, 20, 220};

constexpr int kMessageLeft = 32;
constexpr int kMessageTop = 88;
constexpr int kMessageSpacing = 48;
constexpr int kHistoryTop = 32;
constexpr int kHistorySpacing = 24;
constexpr int32_t kBlinkBit = 0x10;

const char* const kUpdatingLines[] = {"デバイス情報取得中です。", "",
                                      "(登録したら最初は 0kg 調整してください)", nullptr};
const char* const kWaitingLines[] = {"デバイス情報の更新待ちをしています。",
                                     "しばらくお待ちください。",
                                     "(登録したら最初は 0kg 調整してください)", nullptr};
const char* const kPairingLines[] = {"コントローラペアリング待ち", "バランスWiiボード の",
                                     "SYNC ボタンを押してください", nullptr};
const char* const kNoBoardLines[] = {"バランスWiiボード が見つかりません。",
                                     "ペアリング＋接続 してください。",
                                     "(詳しくはマニュアルをご参照ください)", nullptr};

}  // namespace

void AppWindow::DrawTextAt(int x, int y, const char* format, ...) {
  if (!canvas)
    return;
  va_list args;
  va_start(args, format);
  DrawFormattedTextV(*canvas, x, y, format, args);
  va_end(args);
}

void AppWindow::DrawMessageLines(const char* const* lines) {
  int y = kMessageTop;
  for (; *lines; ++lines, y += kMessageSpacing)
    DrawTextAt(kMessageLeft, y, "%s", *lines);
}

void AppWindow::DrawRegistrationScreen() {
  canvas->SetTextColor(kNoticeColor);
  canvas->SelectFont(CanvasFont::Medium);
  const int32_t mode = modeFlags.load();
  if (mode & ModeRegisterUpdate) {
    DrawMessageLines(kUpdatingLines);
  } else if (mode & ModeRegisterWait) {
    DrawMessageLines(kWaitingLines);
  } else {
    DrawMessageLines(kPairingLines);
  }
}

void AppWindow::ComposeMainScreen() {
  const int pending = PollDevices();
  if (!activeEntry) {
    const DeviceEntry empty{};
    DrawSensorBars(*canvas, empty, W, H);
    DrawNeedle(*canvas, empty, W, H);
    if (pending == 0) {
      canvas->SetTextColor(kNoticeColor);
      canvas->SelectFont(CanvasFont::Medium);
      DrawMessageLines(kNoBoardLines);
    }
    return;
  }
  DeviceEntry& entry = *activeEntry;

  // The status lines show the state before this frame's measurement step.
  canvas->SelectFont(CanvasFont::Medium);
  if (modeFlags.load() & ModeMeasuring) {
    canvas->SetTextColor(kBlack);
    if ((frameCount & kBlinkBit) == 0)
      DrawTextAt(32, 76, "User%d 測定中", currentUser);
    DrawTextAt(32, 124, "%s", "台に乗ってください。測定値を記録します。");
  } else {
    canvas->SetTextColor(kHistoryColor);
    for (int k = 0; k < kHistorySlots; ++k) {
      if (history[k][0])
        DrawTextAt(32, kHistoryTop + kHistorySpacing * k, "User%skg", history[k]);
    }
  }

  UpdateMeasurement(entry);

  canvas->SelectFont(CanvasFont::Large);
  canvas->SetTextColor(kBlack);
  if (entry.deviceKind == kExtBalanceBoard) {
    if (entry.zeroAdjustFrames != 0) {
      DrawTextAt((W - 384) / 2, H - 116, "%s", "0kg調整中");
    } else {
      // Written so that a NaN weight shows as 0.0 as well.
      const float shown = entry.smoothedWeight > 0.0f ? entry.smoothedWeight : 0.0f;
      DrawTextAt((W - 336) / 2, H - 116, "%5.1fkg", static_cast<double>(shown));
    }
  }
  DrawSensorBars(*canvas, entry, W, H);
  DrawNeedle(*canvas, entry, W, H);
  DrawBmiRuler(*canvas, entry, W, H);
}

void AppWindow::RenderFrame() {
  // A zero adjustment asked for by the registration thread runs here, on
  // the user-interface thread, so it never interleaves with a frame.
  if (zeroAdjustRequest.exchange(0))
    ZeroAdjust();
  if (canvas) {
    canvas->FillRect(0, 0, W, H, CanvasBrush::Background);
    canvas->SetTextColor(kTitleColor);
    canvas->SetBackgroundColor(kBackgroundColor);
    canvas->SelectFont(CanvasFont::Small);
    DrawTextAt(10, 10, "バランスWiiボードで 体重計 (%s)", resources::kBlogUrl);
    if (modeFlags.load() & ModeRegistering) {
      DrawRegistrationScreen();
    } else {
      ComposeMainScreen();
    }
    ++frameCount;
    canvas->Present();
  }
  if (frameSleepMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(frameSleepMs));
}
