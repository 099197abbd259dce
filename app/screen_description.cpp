#include "app/screen_description.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "app/log_reader.h"
#include "device/wii_lib_device.h"
#include "render/chart.h"
#include "render/frame.h"
#include "resources/chart_texts.h"
#include "resources/record_texts.h"
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
    std::snprintf(sentence, sizeof sentence, Tr("%s 測定中。"),
                  UserLabel(frame.userLabels, frame.currentUser).c_str());
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
  std::snprintf(sentence, sizeof sentence, Tr("最新の記録: %s。"),
                LabelledHistoryLine(frame.userLabels, line).c_str());
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

// A weight as the chart's unit writes it, without padding: "64.8kg".
std::string WeightWords(int32_t tenthsKg, WeightUnit unit) {
  char figure[kFigure];
  FormatHistoryWeight(figure, sizeof figure, tenthsKg / 10.0, unit);
  const char* weight = figure;
  while (*weight == ' ')
    ++weight;
  return weight;
}

// What the chart shows: its records' dates, the range of weights, and each
// user's latest weight, in the unit shown.
void AddChart(std::string& text, const LogRecords& log, WeightUnit unit,
              const std::string* labels) {
  if (log.records.empty()) {
    AddLine(text, Tr(resources::kChartEmpty));
    return;
  }
  const LogRecord* first = &log.records[0];
  const LogRecord* last = first;
  int32_t lightest = first->tenthsKg;
  int32_t heaviest = first->tenthsKg;
  const LogRecord* latest[kUsers] = {};
  for (const LogRecord& record : log.records) {
    if (record.Moment() < first->Moment())
      first = &record;
    if (record.Moment() >= last->Moment())
      last = &record;
    lightest = std::min(lightest, record.tenthsKg);
    heaviest = std::max(heaviest, record.tenthsKg);
    if (!latest[record.user] || record.Moment() >= latest[record.user]->Moment())
      latest[record.user] = &record;
  }
  char sentence[kSentence];
  std::snprintf(sentence, sizeof sentence, Tr(resources::kChartSaysRecords),
                static_cast<int>(log.records.size()), RecordDateText(*first).c_str(),
                RecordDateText(*last).c_str());
  AddLine(text, sentence);
  std::snprintf(sentence, sizeof sentence, Tr(resources::kChartSaysRange),
                WeightWords(lightest, unit).c_str(), WeightWords(heaviest, unit).c_str());
  AddLine(text, sentence);
  for (int user = 0; user < kUsers; ++user) {
    if (!latest[user])
      continue;
    std::snprintf(
        sentence, sizeof sentence, Tr(resources::kChartSaysLatest), UserLabel(labels, user).c_str(),
        WeightWords(latest[user]->tenthsKg, unit).c_str(), RecordDateText(*latest[user]).c_str());
    AddLine(text, sentence);
  }
}

// Each user's row below the plot, as the chart shows it.
void AddChartRows(std::string& text, const ChartView& view, WeightUnit unit) {
  ChartLayout layout;
  LayoutChart(view, unit, &layout);
  for (int user = 0; user < kUsers; ++user) {
    if (layout.stats[user].count == 0)
      continue;
    char sentence[kSentence];
    std::snprintf(sentence, sizeof sentence, Tr(resources::kChartSaysRow),
                  ChartUserRow(view, layout, user, unit).c_str());
    AddLine(text, sentence);
  }
}

void AddSelectedRecord(std::string& text, const LogRecord& record, WeightUnit unit,
                       const std::string* labels) {
  const std::string when = RecordDateText(record) + " " + RecordTimeText(record);
  char sentence[kSentence];
  std::snprintf(sentence, sizeof sentence, Tr(resources::kRecordSays),
                UserLabel(labels, record.user).c_str(), when.c_str(),
                WeightWords(record.tenthsKg, unit).c_str());
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
  if (frame.chart.log) {
    AddChart(text, *frame.chart.log, frame.unit, frame.userLabels);
    AddChartRows(text, frame.chart, frame.unit);
    if (frame.chart.selected)
      AddSelectedRecord(text, *frame.chart.selected, frame.unit, frame.userLabels);
  } else if (frame.activeEntry) {
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
