#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "screen/log_record.h"

// A correction of the weight log that the user asked for, made on the log's
// text: the one line it concerns changes, every other byte stays as it is.
struct LogEdit {
  enum Kind : int32_t { Delete, Change, Insert };
  Kind kind = Delete;
  // Delete and Change: the record as read, and which of the records equal
  // to it it is (0: the first in the file), so records appended since do
  // not move it. Insert: the new record.
  LogRecord record;
  int32_t occurrence = 0;
  LogRecord replacement;  // Change: what the record becomes
  // Insert: the index of the line it becomes; -1 puts it after the records
  // that are not later than it.
  int32_t line = -1;
  // When an undo puts back a line as it was: for Insert the line's exact
  // bytes with its line end, for Change without it. Empty writes the
  // record as the log writes it.
  std::string lineText;
};

bool SameRecord(const LogRecord& a, const LogRecord& b);

// Which of the records equal to records[index] it is, 0 for the first.
int32_t OccurrenceOf(const std::vector<LogRecord>& records, size_t index);

// The index of the occurrence-th record equal to record, or -1.
int32_t FindRecord(const std::vector<LogRecord>& records, const LogRecord& record,
                   int32_t occurrence);

// Applies edit to the log's text: *edited is the new text, *undo the edit
// that takes it back. 0 when the record to change is not in the text.
int ApplyLogEdit(const std::string& text, const LogEdit& edit, std::string* edited, LogEdit* undo);
