#pragma once

#include <string>

#include "screen/log_record.h"

// The weight log as CSV (RFC 4180): a header line "user,date,time,kg", then
// one line per record, every line ending in CR LF. The weight is a plain
// number with one decimal ("64.8"), the date "YYYY-MM-DD" and the time
// "HH:MM:SS" as in the log.

// A field as RFC 4180 writes it: in double quotes, with its quotes doubled,
// when it holds a comma, a quote, CR or LF; unchanged otherwise.
std::string CsvField(const std::string& text);

std::string FormatCsv(const LogRecords& log);

// What an export did, for the message that reports it.
struct CsvExportResult {
  enum Failure { None, NoLog, CannotWrite, IsTheLog };
  Failure failure = None;
  int records = 0;
  int skippedLines = 0;
  std::string error;  // empty on success: says what failed, naming the file
};

// Reads the log at logPath and writes it as CSV to csvPath as
// WriteToDestination does: a file through a temporary file in its folder
// that is renamed over it, so that no partly written file is ever left; a
// pipe or a device ("-" is standard output) as a stream. A destination that
// is the log itself is refused before anything is read or written. 1 on
// success, 0 on failure.
int ExportLogAsCsv(const std::string& logPath, const std::string& csvPath, CsvExportResult* result);

// The result as one sentence for the user (English), e.g. "Exported 3
// records to /tmp/w.csv; 1 line was not a record and was skipped."
std::string DescribeCsvExport(const CsvExportResult& result, const std::string& csvPath);
