#include "render/frame.h"

#include "device/wii_lib_device.h"
#include "render/canvas.h"
#include "render/gauge.h"
#include "render/text.h"
#include "resources/web_pages.h"

// The picture of one frame, drawn from what the application gathered: the
// title, then either the registration screen or the main screen.

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

const char* const kTitle = "バランスWiiボードで 体重計";

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

void DrawMessageLines(Canvas& canvas, const char* const* lines) {
  int y = kMessageTop;
  for (; *lines; ++lines, y += kMessageSpacing)
    DrawFormattedText(canvas, kMessageLeft, y, "%s", *lines);
}

void DrawRegistrationScreen(Canvas& canvas, int32_t mode) {
  canvas.SetTextColor(kNoticeColor);
  canvas.SelectFont(CanvasFont::Medium);
  if (mode & ModeRegisterUpdate) {
    DrawMessageLines(canvas, kUpdatingLines);
  } else if (mode & ModeRegisterWait) {
    DrawMessageLines(canvas, kWaitingLines);
  } else {
    DrawMessageLines(canvas, kPairingLines);
  }
}

void DrawStatusLines(Canvas& canvas, const ScreenFrame& frame) {
  canvas.SelectFont(CanvasFont::Medium);
  if (frame.modeFlags & ModeMeasuring) {
    canvas.SetTextColor(kBlack);
    if ((frame.frameCount & kBlinkBit) == 0)
      DrawFormattedText(canvas, 32, 76, "User%d 測定中", frame.currentUser);
    DrawFormattedText(canvas, 32, 124, "%s", "台に乗ってください。測定値を記録します。");
    return;
  }
  if (!frame.history)
    return;
  canvas.SetTextColor(kHistoryColor);
  for (int k = 0; k < kHistorySlots; ++k) {
    const char* line = (*frame.history)[k];
    if (line[0])
      DrawFormattedText(canvas, 32, kHistoryTop + kHistorySpacing * k, "User%skg", line);
  }
}

void DrawWeightFigure(Canvas& canvas, const DeviceEntry& entry, int width, int height) {
  canvas.SelectFont(CanvasFont::Large);
  canvas.SetTextColor(kBlack);
  if (entry.deviceKind != kExtBalanceBoard)
    return;
  if (entry.zeroAdjustFrames != 0) {
    DrawFormattedText(canvas, (width - 384) / 2, height - 116, "%s", "0kg調整中");
  } else {
    // Written so that a NaN weight shows as 0.0 as well.
    const float shown = entry.smoothedWeight > 0.0f ? entry.smoothedWeight : 0.0f;
    DrawFormattedText(canvas, (width - 336) / 2, height - 116, "%5.1fkg",
                      static_cast<double>(shown));
  }
}

void ComposeMainScreen(Canvas& canvas, const ScreenFrame& frame, int width, int height) {
  if (!frame.activeEntry) {
    const DeviceEntry empty{};
    DrawSensorBars(canvas, empty, width, height);
    DrawNeedle(canvas, empty, width, height);
    if (frame.pending == 0) {
      canvas.SetTextColor(kNoticeColor);
      canvas.SelectFont(CanvasFont::Medium);
      DrawMessageLines(canvas, kNoBoardLines);
    }
    return;
  }
  const DeviceEntry& entry = *frame.activeEntry;
  DrawStatusLines(canvas, frame);
  DrawWeightFigure(canvas, entry, width, height);
  DrawSensorBars(canvas, entry, width, height);
  DrawNeedle(canvas, entry, width, height);
  DrawBmiRuler(canvas, entry, width, height);
}

}  // namespace

void DrawTitle(Canvas& canvas, const char* blogAddress) {
  canvas.SetTextColor(kTitleColor);
  canvas.SetBackgroundColor(kBackgroundColor);
  canvas.SelectFont(CanvasFont::Small);
  if (blogAddress[0] != '\0') {
    DrawFormattedText(canvas, 10, 10, "%s (%s)", kTitle, blogAddress);
  } else {
    DrawFormattedText(canvas, 10, 10, "%s", kTitle);
  }
}

void DrawFrame(Canvas& canvas, const ScreenFrame& frame, int width, int height) {
  canvas.FillRect(0, 0, width, height, CanvasBrush::Background);
  DrawTitle(canvas, resources::kBlogUrl);
  if (frame.modeFlags & ModeRegistering) {
    DrawRegistrationScreen(canvas, frame.modeFlags);
  } else {
    ComposeMainScreen(canvas, frame, width, height);
  }
}
