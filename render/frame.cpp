#include "render/frame.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bluetooth/bluetooth_lib.h"
#include "device/wii_lib_device.h"
#include "render/bluetooth_advice.h"
#include "render/canvas.h"
#include "render/chart.h"
#include "render/gauge.h"
#include "render/screen_colors.h"
#include "render/text.h"
#include "resources/tr.h"
#include "resources/web_pages.h"
#include "screen/units.h"

// The picture of one frame, drawn from what the application gathered: the
// title, then either the registration screen or the main screen.

namespace {

constexpr CanvasColor kBackgroundColor{240, 240, 230};
constexpr CanvasColor kBlack{0, 0, 0};

constexpr int kMessageLeft = 32;
constexpr int kMessageTop = 88;
constexpr int kMessageSpacing = 48;
constexpr int kHistoryTop = 32;
constexpr int kHistorySpacing = 24;
constexpr int32_t kBlinkBit = 0x10;
constexpr int kLargeColumnWidth = 48;
constexpr int kFigureText = 64;
// A history line in another unit may be a few characters longer than its
// record: " 64.8" becomes " 10st 2.9lb".
constexpr int kHistoryWeightExtra = 16;

const char* const kTitle = TrMark("バランスWiiボードで 体重計");

// The notice of an unwritable log: one small line below the weight figure,
// centred between the lower load bars, which a load of up to 34 kg per cell
// keeps within 100 pixels of the edges.
const char* const kUnwrittenLogText = TrMark("記録を書き込めません: ");
constexpr int kUnwrittenLogColumns = 60;
constexpr int kSmallColumnWidth = 6;
constexpr int kUnwrittenLogAboveBottom = 16;
constexpr char kEllipsis[] = "…";
constexpr int kEllipsisColumns = 2;

const char* const kUpdatingLines[] = {TrMark("デバイス情報取得中です。"), "",
                                      TrMark("(登録したら最初は 0kg 調整してください)"), nullptr};
const char* const kWaitingLines[] = {TrMark("デバイス情報の更新待ちをしています。"),
                                     TrMark("しばらくお待ちください。"),
                                     TrMark("(登録したら最初は 0kg 調整してください)"), nullptr};
const char* const kPairingLines[] = {TrMark("コントローラペアリング待ち"),
                                     TrMark("バランスWiiボード の"),
                                     TrMark("SYNC ボタンを押してください"), nullptr};
const char* const kNoBoardLines[] = {TrMark("バランスWiiボード が見つかりません。"),
                                     TrMark("ペアリング＋接続 してください。"),
                                     TrMark("(詳しくはマニュアルをご参照ください)"), nullptr};
// Instead of the main screen for a few seconds after a registration, by
// BluetoothFailure: when the search could not start ...
const char* const kNoAdapterLines[] = {TrMark("Bluetooth アダプタが見つかりません。"),
                                       TrMark("アダプタを差し込んで A を押してください。"),
                                       nullptr};
const char* const kAdapterOffLines[] = {TrMark("Bluetooth がオフになっています。"),
                                        TrMark("オンにしてから A を押してください。"), nullptr};
const char* const kAdapterBlockedLines[] = {TrMark("Bluetooth が無線スイッチで止められています。"),
                                            TrMark("機内モードを解除して、"),
                                            TrMark("A を押してください。"), nullptr};
// ... or when a board was heard but not registered.
const char* const kPressSyncLine = TrMark("SYNC ボタンを押してから");
const char* const kPressAAgainLine = TrMark("A を押し直してください。");
const char* const kPairingRefusedLines[] = {TrMark("ボードが PIN を拒みました。"), kPressSyncLine,
                                            kPressAAgainLine, kPairingAdviceLine, nullptr};
const char* const kPairingFailedLines[] = {TrMark("ボードとペアリングできませんでした。"),
                                           kPressSyncLine, kPressAAgainLine, kPairingAdviceLine,
                                           nullptr};
const char* const kNotTrustedLines[] = {TrMark("ボードを信頼済みにできませんでした。"),
                                        kPressSyncLine, kPressAAgainLine, nullptr};
const char* const kNotConnectedLines[] = {TrMark("登録はできましたが、接続できません。"),
                                          TrMark("ボードの電源ボタンを押してください。"), nullptr};
const char* const kNameUnknownLines[] = {TrMark("ボードの名前を読み取れませんでした。"),
                                         TrMark("5 分ほど待ってから SYNC ボタンを押し、"),
                                         kPressAAgainLine, nullptr};
// The progress of the registration's phase, below its three lines.
const char* const kRemainingText = TrMark("残り %d 秒");
constexpr int kProgressTop = kMessageTop + 3 * kMessageSpacing;
constexpr int kBarLeft = kMessageLeft;
constexpr int kBarRight = 568;
constexpr int kBarTop = kProgressTop + 40;
constexpr int kBarBottom = kBarTop + 16;
// Below them when a board was found that the user may not open.
// A board whose batteries run low: one small line at the right end of the
// title row, which the title leaves free unless a long blog address is named.
const char* const kLowBatteryText = TrMark("ボードの電池が少なくなっています。交換してください");
constexpr int kLowBatteryRight = 590;
constexpr int kTitleTop = 10;

const char* const kNoAccessLine = TrMark("ボードの権限不足: make install か再ログインを");

void DrawMessageLines(Canvas& canvas, const char* const* lines) {
  int y = kMessageTop;
  for (; *lines; ++lines, y += kMessageSpacing)
    DrawFormattedText(canvas, kMessageLeft, y, "%s", Tr(*lines));
}

// The time left, rounded up to whole seconds, and a bar of the time passed;
// a phase that outlasts its expected length shows a full bar.
void DrawPhaseProgress(Canvas& canvas, const ScreenFrame& frame) {
  if (frame.phaseLengthMs <= 0)
    return;
  const int elapsed = std::clamp(frame.phaseElapsedMs, 0, frame.phaseLengthMs);
  const int secondsLeft = (frame.phaseLengthMs - elapsed + 999) / 1000;
  DrawFormattedText(canvas, kMessageLeft, kProgressTop, Tr(kRemainingText), secondsLeft);
  const CanvasPoint outline[] = {{kBarLeft, kBarTop},
                                 {kBarRight, kBarTop},
                                 {kBarRight, kBarBottom},
                                 {kBarLeft, kBarBottom},
                                 {kBarLeft, kBarTop}};
  canvas.Polyline(outline, 5);
  const int doneRight =
      kBarLeft + static_cast<int>(int64_t{kBarRight - kBarLeft} * elapsed / frame.phaseLengthMs);
  if (doneRight == kBarLeft)
    return;
  const CanvasPoint done[] = {
      {kBarLeft, kBarTop}, {doneRight, kBarTop}, {doneRight, kBarBottom}, {kBarLeft, kBarBottom}};
  canvas.SelectBrush(CanvasBrush::Needle);
  canvas.Polygon(done, 4);
}

void DrawRegistrationScreen(Canvas& canvas, const ScreenFrame& frame) {
  canvas.SetTextColor(kNoticeColor);
  canvas.SelectFont(CanvasFont::Medium);
  if (frame.modeFlags & ModeRegisterUpdate) {
    DrawMessageLines(canvas, kUpdatingLines);
  } else if (frame.modeFlags & ModeRegisterWait) {
    DrawMessageLines(canvas, kWaitingLines);
  } else {
    DrawMessageLines(canvas, kPairingLines);
  }
  DrawPhaseProgress(canvas, frame);
}

void DrawStatusLines(Canvas& canvas, const ScreenFrame& frame) {
  canvas.SelectFont(CanvasFont::Medium);
  if (frame.modeFlags & ModeMeasuring) {
    canvas.SetTextColor(kBlack);
    if ((frame.frameCount & kBlinkBit) == 0)
      DrawFormattedText(canvas, 32, 76, Tr("%s 測定中"),
                        UserLabel(frame.userLabels, frame.currentUser).c_str());
    DrawFormattedText(canvas, 32, 124, "%s", Tr("台に乗ってください。測定値を記録します。"));
    return;
  }
  if (!frame.history)
    return;
  canvas.SetTextColor(kGreyText);
  for (int k = 0; k < kHistorySlots; ++k) {
    const char* record = (*frame.history)[k];
    if (record[0]) {
      char line[kHistoryText + kHistoryWeightExtra];
      FormatHistoryLine(line, sizeof line, record, frame.unit);
      DrawFormattedText(canvas, 32, kHistoryTop + kHistorySpacing * k, "%s",
                        LabelledHistoryLine(frame.userLabels, line).c_str());
    }
  }
}

void DrawWeightFigure(Canvas& canvas, const DeviceEntry& entry, WeightUnit unit, int width,
                      int height) {
  canvas.SelectFont(CanvasFont::Large);
  canvas.SetTextColor(kBlack);
  if (entry.deviceKind != kExtBalanceBoard)
    return;
  if (entry.zeroAdjustFrames != 0) {
    DrawFormattedText(canvas, (width - 384) / 2, height - 116, "%s", Tr("0kg調整中"));
  } else {
    // Written so that a NaN weight shows as 0.0 as well.
    const float shown = entry.smoothedWeight > 0.0f ? entry.smoothedWeight : 0.0f;
    char figure[kFigureText];
    const int columns = FormatWeightFigure(figure, sizeof figure, static_cast<double>(shown), unit);
    DrawFormattedText(canvas, (width - columns * kLargeColumnWidth) / 2, height - 116, "%s",
                      figure);
  }
}

// The path cut to `columns` half-width cells by dropping its beginning, so
// that the file name and the folders nearest to it stay, whole where they
// fit; *shownColumns gets the cells the result takes.
std::string ShownPath(const char* path, int columns, int* shownColumns) {
  std::vector<ShownCharacter> characters;
  int total = 0;
  for (const unsigned char* next = reinterpret_cast<const unsigned char*>(path); *next;
       next += characters.back().text.size()) {
    characters.push_back(NextShownCharacter(next));
    total += characters.back().columns;
  }
  size_t first = 0;
  if (total > columns) {
    for (total += kEllipsisColumns; total > columns; ++first)
      total -= characters[first].columns;
    size_t folderStart = first;
    while (folderStart < characters.size() && characters[folderStart].text != "/")
      ++folderStart;
    for (; folderStart < characters.size() && first < folderStart; ++first)
      total -= characters[first].columns;
  }
  std::string shown = first > 0 ? kEllipsis : "";
  for (size_t i = first; i < characters.size(); ++i)
    shown += characters[i].text;
  *shownColumns = total;
  return shown;
}

void DrawUnwrittenLogLine(Canvas& canvas, const char* path, int width, int height) {
  int textColumns = 0;
  const char* text = Tr(kUnwrittenLogText);
  ShownPath(text, kUnwrittenLogColumns, &textColumns);
  int pathColumns = 0;
  const std::string shown = ShownPath(path, kUnwrittenLogColumns - textColumns, &pathColumns);
  const int columns = textColumns + pathColumns;
  canvas.SetTextColor(kNoticeColor);
  canvas.SelectFont(CanvasFont::Small);
  DrawFormattedText(canvas, (width - columns * kSmallColumnWidth) / 2,
                    height - kUnwrittenLogAboveBottom, "%s%s", text, shown.c_str());
}

void DrawLowBatteryLine(Canvas& canvas) {
  const char* text = Tr(kLowBatteryText);
  const int columns = TextColumns(text);
  canvas.SetTextColor(kNoticeColor);
  canvas.SelectFont(CanvasFont::Small);
  DrawFormattedText(canvas, kLowBatteryRight - columns * kSmallColumnWidth, kTitleTop, "%s", text);
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
      if (frame.refusedBoards > 0)
        DrawFormattedText(canvas, kMessageLeft, kMessageTop + 3 * kMessageSpacing, "%s",
                          Tr(kNoAccessLine));
    }
    return;
  }
  const DeviceEntry& entry = *frame.activeEntry;
  DrawStatusLines(canvas, frame);
  DrawWeightFigure(canvas, entry, frame.unit, width, height);
  DrawSensorBars(canvas, entry, width, height);
  DrawNeedle(canvas, entry, width, height);
  DrawBmiRuler(canvas, entry, width, height);
  if (frame.batteryLow)
    DrawLowBatteryLine(canvas);
}

}  // namespace

const char* const* BluetoothFailureLines(int32_t failure) {
  switch (static_cast<BluetoothFailure>(failure)) {
    case BluetoothFailure::NoService:
      return kNoServiceLines;
    case BluetoothFailure::NoAdapter:
      return kNoAdapterLines;
    case BluetoothFailure::AdapterBlocked:
      return kAdapterBlockedLines;
    case BluetoothFailure::PairingRefused:
      return kPairingRefusedLines;
    case BluetoothFailure::PairingFailed:
      return kPairingFailedLines;
    case BluetoothFailure::NotTrusted:
      return kNotTrustedLines;
    case BluetoothFailure::NotConnected:
      return kNotConnectedLines;
    case BluetoothFailure::NameUnknown:
      return kNameUnknownLines;
    default:
      return kAdapterOffLines;
  }
}

void DrawTitle(Canvas& canvas, const char* blogAddress) {
  canvas.SetTextColor(kDarkText);
  canvas.SetBackgroundColor(kBackgroundColor);
  canvas.SelectFont(CanvasFont::Small);
  if (blogAddress[0] != '\0') {
    DrawFormattedText(canvas, 10, 10, "%s (%s)", Tr(kTitle), blogAddress);
  } else {
    DrawFormattedText(canvas, 10, 10, "%s", Tr(kTitle));
  }
}

void DrawFrame(Canvas& canvas, const ScreenFrame& frame, int width, int height) {
  canvas.FillRect(0, 0, width, height, CanvasBrush::Background);
  DrawTitle(canvas, resources::kBlogUrl);
  if (frame.modeFlags & ModeRegistering) {
    DrawRegistrationScreen(canvas, frame);
  } else if (frame.bluetoothFailure != 0) {
    canvas.SetTextColor(kNoticeColor);
    canvas.SelectFont(CanvasFont::Medium);
    DrawMessageLines(canvas, BluetoothFailureLines(frame.bluetoothFailure));
  } else if (frame.chart.log) {
    DrawChart(canvas, frame.chart, frame.unit);
  } else {
    ComposeMainScreen(canvas, frame, width, height);
    // Last, so that nothing of the screen covers it.
    if (frame.unwrittenLogPath)
      DrawUnwrittenLogLine(canvas, frame.unwrittenLogPath, width, height);
  }
}
