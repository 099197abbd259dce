#pragma once

// The texts of the weight chart and of the CSV export's dialog, in one
// place.
namespace resources {

inline constexpr char kChartHeading[] = "体重の推移";
inline constexpr char kChartEmpty[] = "まだ記録がありません。";
inline constexpr char kChartEmptyHint[] = "測定すると、ここに体重の推移が表示されます。";
// %d: lines of the log that are not records.
inline constexpr char kChartSkippedLines[] = "読めない行 %d 行は表示していません";

inline constexpr char kCsvDialogTitle[] = "CSVで書き出し";
inline constexpr char kCsvSaveButton[] = "保存";
inline constexpr char kCsvCancelButton[] = "キャンセル";
inline constexpr char kCsvDefaultName[] = "Gravimo_log.csv";
// %d: records written; %s: the file.
inline constexpr char kCsvDone[] = "%d 件の記録を書き出しました:\n%s";
// %d: lines of the log that are not records.
inline constexpr char kCsvSkipped[] = "読めない行 %d 行は書き出していません。";
inline constexpr char kCsvNoLog[] = "体重の記録ファイルを読めません。";
inline constexpr char kCsvCannotWrite[] = "CSVファイルを書き込めません。";

}  // namespace resources
