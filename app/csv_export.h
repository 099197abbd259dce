#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screen/log_record.h"

// The weight log as CSV (RFC 4180): a header line "user,date,time,kg", then
// one line per record, every line ending in CR LF. The weight is a plain
// number with one decimal ("64.8"), the date "YYYY-MM-DD" and the time
// "HH:MM:SS" as in the log.

// A field as RFC 4180 writes it: in double quotes, with its quotes doubled,
// when it holds a comma, a quote, CR or LF; unchanged otherwise.
std::string CsvField(const std::string& text);

// What an export writes: one user's records or all, the weight in
// kilograms or pounds (the header names the unit: "kg" or "lb"), and a
// "bmi" column for users with a height (empty for the others).
struct CsvExportOptions {
  int user = -1;  // -1: all users
  bool pounds = false;
  bool bmi = false;
  const int32_t* heightsMm = nullptr;  // kUsers; needed for bmi
};

std::string FormatCsv(const LogRecords& log, const CsvExportOptions& options = {});

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
int ExportLogAsCsv(const std::string& logPath, const std::string& csvPath, CsvExportResult* result,
                   const CsvExportOptions& options = {});

// The result as one sentence for the user (English), e.g. "Exported 3
// records to /tmp/w.csv; 1 line was not a record and was skipped."
std::string DescribeCsvExport(const CsvExportResult& result, const std::string& csvPath);

// CSV brought into the log: the program's own export (a user column, the
// date, the time and a weight in kg or lb), or a weight tracker's file with
// a date-and-time column (or a date and a time column) and a weight column,
// all found by their names in the header. A weight column whose name says
// "lb" or "pound" holds pounds, else kilograms. Fields are separated by
// commas, or by semicolons when the header has no comma (then a decimal
// comma is read too).
struct CsvImport {
  std::vector<LogRecord> records;  // new records, in the file's order
  int32_t duplicates = 0;          // records the log, or the file before, holds already
  int32_t unreadable = 0;          // lines that are no record (blank lines not counted)
  bool hasUsers = false;           // the file says whose each record is
};

// Reads the CSV text against the log. user 0..3 gives every record to that
// user; -1 keeps the file's user column, which must then exist. 0 when the
// header names no date or no weight column (or no user column for -1),
// with *error saying so in English.
int ParseCsvImport(const std::string& text, int user, const LogRecords& log, CsvImport* out,
                   std::string* error);

// The log's text with the records put in by date and time: each goes after
// the records not later than it, its line written as the log writes one;
// every other byte stays.
std::string MergeIntoLog(const std::string& text, std::vector<LogRecord> records);

// What an import did, for the message that reports it.
struct CsvImportResult {
  enum Failure { None, CannotRead, CannotWrite };
  Failure failure = None;
  CsvImport import;
  std::string error;  // empty on success: says what failed, naming the file
};

// Reads the CSV at csvPath and merges its new records into the log at
// logPath, which is rewritten safely with the old log kept beside it (a
// missing log is made first). 1 on success (also when nothing was new).
int ImportCsvIntoLog(const std::string& logPath, const std::string& csvPath, int user,
                     CsvImportResult* result);

// The result as one sentence for the user (English).
std::string DescribeCsvImport(const CsvImportResult& result, const std::string& csvPath);
