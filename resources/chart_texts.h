#pragma once

#include "resources/tr.h"

// The texts of the weight chart and of the CSV export's dialog, in one
// place; whoever shows one passes it through Tr.
namespace resources {

inline constexpr const char* kChartHeading = TrMark("体重の推移");
inline constexpr const char* kChartEmpty = TrMark("まだ記録がありません。");
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

}  // namespace resources
