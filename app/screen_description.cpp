#include "app/screen_description.h"

#include <cstdio>

#include "device/wii_lib_device.h"
#include "render/frame.h"
#include "resources/tr.h"
#include "screen/units.h"

// Sentences built from the frame's state, not from its pixels. Each ends in
// a full stop of its own, so a screen reader pauses between them.

namespace {

constexpr int kSentence = 256;
constexpr int kFigure = 64;

void AddLine(std::string& text, const char* line) {
  if (line[0] == '\0')
    return;
  if (!text.empty())
    text += ' ';
  text += line;
}

void AddRegistration(std::string& text, int32_t mode) {
  if (mode & ModeRegisterUpdate) {
    AddLine(text, Tr("デバイス情報取得中です。"));
    AddLine(text, Tr("(登録したら最初は 0kg 調整してください)"));
  } else if (mode & ModeRegisterWait) {
    AddLine(text, Tr("デバイス情報の更新待ちをしています。"));
    AddLine(text, Tr("しばらくお待ちください。"));
    AddLine(text, Tr("(登録したら最初は 0kg 調整してください)"));
  } else {
    AddLine(text, Tr("コントローラペアリング待ち"));
    AddLine(text, Tr("バランスWiiボード の"));
    AddLine(text, Tr("SYNC ボタンを押してください"));
  }
}

void AddNoBoard(std::string& text, const ScreenFrame& frame) {
  if (frame.pending != 0) {
    AddLine(text, Tr("ボードを探しています。"));
    return;
  }
  AddLine(text, Tr("バランスWiiボード が見つかりません。"));
  AddLine(text, Tr("ペアリング＋接続 してください。"));
  AddLine(text, Tr("(詳しくはマニュアルをご参照ください)"));
  if (frame.refusedBoards > 0)
    AddLine(text, Tr("ボードの権限不足: make install か再ログインを"));
}

// The measuring lines, or the latest record while none runs.
void AddStatus(std::string& text, const ScreenFrame& frame) {
  char sentence[kSentence];
  if (frame.modeFlags & ModeMeasuring) {
    std::snprintf(sentence, sizeof sentence, Tr("User%d 測定中。"), frame.currentUser);
    AddLine(text, sentence);
    AddLine(text, Tr("台に乗ってください。測定値を記録します。"));
    return;
  }
  if (!frame.history)
    return;
  const char* latest = nullptr;
  for (const auto& record : *frame.history) {
    if (record[0])
      latest = record;
  }
  if (!latest)
    return;
  char line[kSentence];
  FormatHistoryLine(line, sizeof line, latest, frame.unit);
  std::snprintf(sentence, sizeof sentence, Tr("最新の記録: User%s。"), line);
  AddLine(text, sentence);
}

void AddWeight(std::string& text, const DeviceEntry& entry, WeightUnit unit) {
  if (entry.deviceKind != kExtBalanceBoard)
    return;
  if (entry.zeroAdjustFrames != 0) {
    AddLine(text, Tr("0kg調整中。"));
    return;
  }
  const float shown = entry.smoothedWeight > 0.0f ? entry.smoothedWeight : 0.0f;
  char figure[kFigure];
  FormatWeightFigure(figure, sizeof figure, static_cast<double>(shown), unit);
  const char* number = figure;
  while (*number == ' ')
    ++number;
  char sentence[kSentence];
  std::snprintf(sentence, sizeof sentence, Tr("体重 %s。"), number);
  AddLine(text, sentence);
}

}  // namespace

const char* ScreenName() {
  return Tr("体重計の表示");
}

std::string DescribeScreen(const ScreenFrame& frame) {
  std::string text;
  if (frame.modeFlags & ModeRegistering) {
    AddRegistration(text, frame.modeFlags);
    return text;
  }
  if (frame.bluetoothFailure != 0) {
    for (const char* const* line = BluetoothFailureLines(frame.bluetoothFailure); *line; ++line)
      AddLine(text, Tr(*line));
    return text;
  }
  if (frame.activeEntry) {
    AddWeight(text, *frame.activeEntry, frame.unit);
    AddStatus(text, frame);
  } else {
    AddNoBoard(text, frame);
  }
  if (frame.unwrittenLogPath) {
    std::string line = Tr("記録を書き込めません: ");
    line += frame.unwrittenLogPath;
    AddLine(text, line.c_str());
  }
  return text;
}
