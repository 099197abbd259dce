#pragma once

#include "resources/tr.h"

// The texts of the weight chart, of the CSV export's dialog and of the
// question about records left unwritten at exit, in one place; whoever
// shows one passes it through Tr.
namespace resources {

inline constexpr const char* kChartHeading = TrMark("体重の推移");
inline constexpr const char* kChartBmiHeading = TrMark("BMIの推移");
inline constexpr const char* kChartMonth = TrMark("1か月");
inline constexpr const char* kChartQuarter = TrMark("3か月");
inline constexpr const char* kChartYear = TrMark("1年");
// A user's row below the chart. %s: the user, the lightest, the heaviest
// and the mean weight (or body-mass index) of the range.
inline constexpr const char* kChartStats = TrMark("%s  %s〜%s  平均 %s");
// %s: the trend's weight on the selected record's day.
inline constexpr const char* kChartTrend = TrMark("傾向 %s");
// %s: the weight between the trend and the goal.
inline constexpr const char* kGoalToGo = TrMark("目標まで %s");
// %s: the first and the last date the goal would be reached.
inline constexpr const char* kGoalDates = TrMark("、%s〜%s ごろ");
inline constexpr const char* kGoalReached = TrMark("目標に到達");
inline constexpr const char* kGoalFlat = TrMark("、傾向は横ばい");
inline constexpr const char* kGoalWrongWay = TrMark("、傾向は目標と逆向き");
inline constexpr const char* kGoalYears = TrMark("、このペースでは2年以上");
inline constexpr const char* kGoalTooFewDays = TrMark("、予測には最近の記録が足りません");
inline constexpr const char* kChartEmpty = TrMark("まだ記録がありません。");
inline constexpr const char* kChartNoHeights = TrMark("BMIには身長が必要です。");
inline constexpr const char* kChartNoHeightsHint =
    TrMark("測定 → ユーザー... で身長を入れてください。");
inline constexpr const char* kChartEmptyHint =
    TrMark("測定すると、ここに体重の推移が表示されます。");
// %d: lines of the log that are not records.
inline constexpr const char* kChartSkippedLines = TrMark("読めない行 %d 行は表示していません");

inline constexpr const char* kCsvDialogTitle = TrMark("CSVで書き出し");
inline constexpr const char* kCsvSaveButton = TrMark("保存");
inline constexpr const char* kCsvCancelButton = TrMark("キャンセル");
inline constexpr char kCsvDefaultName[] = "Gravimo_log.csv";
// %d: records written; %s: the file.
inline constexpr const char* kCsvDone = TrMark("%d 件の記録を書き出しました:\n%s");
// %d: lines of the log that are not records.
inline constexpr const char* kCsvSkipped = TrMark("読めない行 %d 行は書き出していません。");
inline constexpr const char* kCsvNoLog = TrMark("体重の記録ファイルを読めません。");
inline constexpr const char* kCsvCannotWrite = TrMark("CSVファイルを書き込めません。");
inline constexpr const char* kCsvOpenButton = TrMark("開く");
inline constexpr const char* kCsvImportTitle = TrMark("CSVを読み込む");
// %d: new records, records in the log already, lines that are no record.
inline constexpr const char* kCsvImportPreview =
    TrMark("新しい記録 %d 件を読み込みます。\n記録済みの %d 件と読めない %d 行は読み込みません。");
inline constexpr const char* kCsvImportUser = TrMark("読み込み先");
inline constexpr const char* kCsvImportAsInFile = TrMark("ファイルのとおり");
// %d: records added; %s: the file.
inline constexpr const char* kCsvImported = TrMark("%d 件の記録を読み込みました:\n%s");
inline constexpr const char* kCsvCannotImport = TrMark("CSVファイルを読み込めません。");
inline constexpr const char* kCsvExportUser = TrMark("書き出す記録");
inline constexpr const char* kCsvExportAll = TrMark("全員");
inline constexpr const char* kCsvExportUnit = TrMark("体重の単位");
inline constexpr const char* kCsvExportBmi = TrMark("BMIの列");
inline constexpr const char* kCsvNo = TrMark("なし");
inline constexpr const char* kCsvYes = TrMark("あり");
inline constexpr const char* kCsvIsTheLog =
    TrMark("書き出し先は体重の記録ファイルそのものです。別のファイルを選んでください。");

// The chart in words, for screen readers. %d: records; %s: first and last date.
inline constexpr const char* kChartSaysRecords =
    TrMark("体重の推移: 記録 %d 件、%s から %s まで。");
// %s: the lightest and the heaviest weight shown.
inline constexpr const char* kChartSaysRange = TrMark("体重の範囲 %s から %s。");
// %s: a user's row below the chart, said as one sentence.
inline constexpr const char* kChartSaysRow = TrMark("%s。");
// %s: the user, the weight and the date of the user's latest record.
inline constexpr const char* kChartSaysLatest = TrMark("%s の最新の記録 %s (%s)。");

inline constexpr const char* kUnwrittenTitle = TrMark("書き込めなかった記録");
// %d: records; %s: the log file. Ends in the question the buttons answer.
inline constexpr const char* kUnwrittenText =
    TrMark("%d 件の記録を %s に書き込めませんでした。\n別のファイルに保存しますか?");
inline constexpr const char* kUnwrittenSaveButton = TrMark("別のファイルに保存");
inline constexpr const char* kUnwrittenLeaveButton = TrMark("保存せずに終了");
inline constexpr const char* kUnwrittenSaveTitle = TrMark("記録を保存");
inline constexpr char kUnwrittenDefaultName[] = "Gravimo_log_unwritten.txt";
// %d: records saved; %s: the file.
inline constexpr const char* kUnwrittenSaved = TrMark("%d 件の記録を保存しました:\n%s");
inline constexpr const char* kUnwrittenNotSaved = TrMark("記録を保存できません。");

}  // namespace resources
