#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "screen/log_record.h"

// Reading the whole weight log back into records. Portable: the bytes come
// from a buffer or a stream, never through a platform call.

// Parses every line of the log text into *out, replacing what it held. A record line is "log ", the
// user (0..3), the date, the time and the weight with one decimal, as the log writes them, ending
// in LF, CR LF or the end of the text; its weight is more than 0 and at most 350 kg. Every other
// line that is not blank is skipped and counted; nothing in the bytes is fatal. The history, the
// chart and the CSV export all read the log through here, so they agree on what a record is.
void ParseLog(const char* text, size_t length, LogRecords* out);

// Parses one line of the log, without its line end: 1 when it is a record.
int ParseLogLine(const char* begin, const char* end, LogRecord* record);

// A line of a text: where it begins, where its text ends (before its LF or
// CR LF) and where the next line begins.
struct TextLine {
  size_t begin;
  size_t textEnd;
  size_t end;
};
std::vector<TextLine> SplitLines(const std::string& text);

// Reads a whole file into *text: 1 on success, 0 when it cannot be opened
// or read (errno says why).
int ReadFileText(const std::string& path, std::string* text);

// Reads and parses the log file at path: 1 on success, 0 when the file
// cannot be opened or read (errno says why).
int ReadLogFile(const std::string& path, LogRecords* out);

// Tenths of a kilogram as a number with one decimal, exactly: "64.8".
std::string KilogramsText(int32_t tenthsKg);

// The record as the log line holds it after "log ", in the program's own
// format: "1 2024-05-06 07:08:09  60.5".
std::string RecordText(const LogRecord& record);
// Its date, "2024-05-06", and its time, "07:08:09".
std::string RecordDateText(const LogRecord& record);
std::string RecordTimeText(const LogRecord& record);

// A record typed or imported as text: the user ("0" to "3"), "YYYY-MM-DD
// HH:MM:SS" and the weight, checked as a line of the log is. 1 when it is
// a record.
int RecordFromParts(const std::string& user, const std::string& dateTime, int32_t tenthsKg,
                    LogRecord* record);
