#include "app/csv_export.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/log_reader.h"
#include "platform/replace_file.h"
#include "screen/units.h"

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kHeader[] = "user,date,time,";
// The longest record line: user, date, time and a weight of eight digits.
constexpr size_t kRecordLineSize = 64;

// The weight with one decimal: the log's own figure in kilograms, or
// pounds rounded to tenths.
std::string WeightField(const LogRecord& record, const CsvExportOptions& options) {
  if (!options.pounds)
    return KilogramsText(record.tenthsKg);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", PoundsFromKilograms(record.Kilograms()));
  return text;
}

std::string BmiField(const LogRecord& record, const CsvExportOptions& options) {
  const int heightMm = options.heightsMm ? options.heightsMm[record.user] : 0;
  if (heightMm <= 0)
    return "";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", BodyMassIndex(record.Kilograms(), heightMm));
  return text;
}

void AppendRecord(std::string& csv, const LogRecord& record, const CsvExportOptions& options) {
  csv += std::to_string(record.user);
  csv += ',';
  csv += CsvField(RecordDateText(record));
  csv += ',';
  csv += CsvField(RecordTimeText(record));
  csv += ',';
  csv += WeightField(record, options);
  if (options.bmi)
    csv.append(",").append(BmiField(record, options));
  csv += kLineEnd;
}

const char* Plural(int count, const char* one, const char* many) {
  return count == 1 ? one : many;
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string FormatCsv(const LogRecords& log, const CsvExportOptions& options) {
  std::string csv;
  csv.reserve((log.records.size() + 1) * kRecordLineSize);
  csv += kHeader;
  csv += options.pounds ? "lb" : "kg";
  if (options.bmi)
    csv += ",bmi";
  csv += kLineEnd;
  for (const LogRecord& record : log.records) {
    if (options.user < 0 || record.user == options.user)
      AppendRecord(csv, record, options);
  }
  return csv;
}

int ExportLogAsCsv(const std::string& logPath, const std::string& csvPath, CsvExportResult* result,
                   const CsvExportOptions& options) {
  *result = {};
  if (IsSameFile(logPath, csvPath)) {
    result->failure = CsvExportResult::IsTheLog;
    result->error = "will not write " + csvPath + ": it is the weight log itself";
    return 0;
  }
  LogRecords log;
  if (!ReadLogFile(logPath, &log)) {
    result->failure = CsvExportResult::NoLog;
    result->error = "cannot read the weight log " + logPath + ": " + std::strerror(errno);
    return 0;
  }
  result->records = static_cast<int>(
      std::count_if(log.records.begin(), log.records.end(), [&options](const LogRecord& record) {
        return options.user < 0 || record.user == options.user;
      }));
  result->skippedLines = log.skippedLines;
  if (!WriteToDestination(csvPath, FormatCsv(log, options))) {
    result->failure = CsvExportResult::CannotWrite;
    result->error = "cannot write " + csvPath + ": " + std::strerror(errno);
    return 0;
  }
  return 1;
}

std::string DescribeCsvExport(const CsvExportResult& result, const std::string& csvPath) {
  if (!result.error.empty())
    return result.error;
  std::string text = "exported " + std::to_string(result.records) +
                     Plural(result.records, " record", " records") + " to " + csvPath;
  if (result.skippedLines > 0) {
    text += "; " + std::to_string(result.skippedLines) +
            Plural(result.skippedLines, " line was not a record and was skipped",
                   " lines were not records and were skipped");
  }
  return text;
}

std::string DescribeCsvImport(const CsvImportResult& result, const std::string& csvPath) {
  if (!result.error.empty())
    return result.error;
  const CsvImport& import = result.import;
  const int count = static_cast<int>(import.records.size());
  std::string text = "imported " + std::to_string(count) + Plural(count, " record", " records") +
                     " from " + csvPath;
  if (import.duplicates > 0)
    text += "; " + std::to_string(import.duplicates) +
            Plural(import.duplicates, " was in the log already", " were in the log already");
  if (import.unreadable > 0)
    text += "; " + std::to_string(import.unreadable) +
            Plural(import.unreadable, " line was not a record", " lines were not records");
  return text;
}
