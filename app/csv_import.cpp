#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/csv_export.h"
#include "app/log_reader.h"
#include "app/users.h"
#include "platform/log_file.h"

// CSV into the log: the columns are found by their names in the header,
// every line is checked as the log reader checks a record, and a record
// the log holds already is counted, not added again.

namespace {

constexpr char kLogLineEnd[] = "\r\n";

struct Columns {
  int user = -1;
  int date = -1;  // a date, or a date and a time
  int time = -1;  // -1: the time is in the date's column, or none (midnight)
  int weight = -1;
  bool pounds = false;
  char separator = ',';
};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool Has(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// One line's fields; a field in double quotes may hold the separator and
// doubled quotes.
std::vector<std::string> SplitFields(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == separator && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) {
    const size_t first = field.find_first_not_of(' ');
    field = first == std::string::npos
                ? ""
                : field.substr(first, field.find_last_not_of(' ') - first + 1);
  }
  return fields;
}

Columns FindColumns(const std::string& header) {
  Columns columns;
  columns.separator = !Has(header, ",") && Has(header, ";") ? ';' : ',';
  const std::vector<std::string> names = SplitFields(header, columns.separator);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string name = Lower(names[i]);
    const int index = static_cast<int>(i);
    if (name == "user" && columns.user < 0) {
      columns.user = index;
    } else if ((Has(name, "date") || Has(name, "timestamp")) && columns.date < 0) {
      columns.date = index;
    } else if (Has(name, "time") && columns.time < 0) {
      columns.time = index;
    } else if ((Has(name, "weight") || name == "kg" || name == "lb" || name == "lbs") &&
               columns.weight < 0) {
      columns.weight = index;
      columns.pounds = Has(name, "lb") || Has(name, "pound");
    }
  }
  return columns;
}

// "2024-05-06", "2024/05/06" or "2024.05.06", then after a space or a T
// the time "07:08" or "07:08:09", perhaps with fractions and a Z: as the
// log writes them, "2024-05-06 07:08:09".
bool DateAndTime(const std::string& date, const std::string& time, std::string* out) {
  std::string text = time.empty() ? date : date + " " + time;
  if (text.size() < 10)
    return false;
  for (size_t i : {size_t{4}, size_t{7}}) {
    if (text[i] == '/' || text[i] == '.')
      text[i] = '-';
  }
  if (text.size() > 10 && (text[10] == 'T' || text[10] == ' '))
    text[10] = ' ';
  if (!text.empty() && text.back() == 'Z')
    text.pop_back();
  const size_t fraction = text.find('.', 11);
  if (fraction != std::string::npos)
    text.resize(fraction);
  if (text.size() == 10)
    text += " 00:00:00";
  else if (text.size() == 16)
    text += ":00";
  *out = text;
  return text.size() == 19;
}

int WeightInTenths(const std::string& text, bool pounds, int32_t* tenthsKg) {
  return ParseTypedWeight(text, pounds ? WeightUnit::Pounds : WeightUnit::Kilograms, tenthsKg);
}

bool ParseRow(const std::vector<std::string>& fields, const Columns& columns, int user,
              LogRecord* record) {
  auto field = [&fields](int index) {
    return index >= 0 && index < static_cast<int>(fields.size()) ? fields[index] : std::string();
  };
  std::string when;
  int32_t tenthsKg = 0;
  if (!DateAndTime(field(columns.date), field(columns.time), &when) ||
      !WeightInTenths(field(columns.weight), columns.pounds, &tenthsKg))
    return false;
  const std::string owner = user >= 0 ? std::to_string(user) : field(columns.user);
  return RecordFromParts(owner, when, tenthsKg, record);
}

// A record as one number, so a set finds equal records quickly.
int64_t Key(const LogRecord& record) {
  return (record.Moment() * kUsers + record.user) * 4096 + record.tenthsKg;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (const TextLine& line : SplitLines(text))
    lines.push_back(text.substr(line.begin, line.textEnd - line.begin));
  return lines;
}

}  // namespace

int ParseCsvImport(const std::string& text, int user, const LogRecords& log, CsvImport* out,
                   std::string* error) {
  *out = {};
  const std::vector<std::string> lines = Lines(text);
  const Columns columns = FindColumns(lines.empty() ? "" : lines[0]);
  out->hasUsers = columns.user >= 0;
  if (columns.date < 0 || columns.weight < 0 || (user < 0 && columns.user < 0)) {
    *error = columns.date < 0 || columns.weight < 0
                 ? "the first line names no date column or no weight column"
                 : "the file names no user: give one";
    return 0;
  }
  std::unordered_set<int64_t> known;
  for (const LogRecord& record : log.records)
    known.insert(Key(record));
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].find_first_not_of(" \t") == std::string::npos)
      continue;
    LogRecord record;
    if (!ParseRow(SplitFields(lines[i], columns.separator), columns, user, &record)) {
      ++out->unreadable;
    } else if (!known.insert(Key(record)).second) {
      ++out->duplicates;
    } else {
      out->records.push_back(record);
    }
  }
  return 1;
}

std::string MergeIntoLog(const std::string& text, std::vector<LogRecord> records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const LogRecord& a, const LogRecord& b) { return a.Moment() < b.Moment(); });
  std::string merged;
  merged.reserve(text.size() + records.size() * 34);
  size_t next = 0;
  auto putUntil = [&](int64_t moment) {
    for (; next < records.size() && records[next].Moment() < moment; ++next)
      merged.append("log ").append(RecordText(records[next])).append(kLogLineEnd);
  };
  for (const TextLine& line : SplitLines(text)) {
    LogRecord record;
    if (ParseLogLine(text.data() + line.begin, text.data() + line.textEnd, &record))
      putUntil(record.Moment());
    merged.append(text, line.begin, line.end - line.begin);
  }
  if (next < records.size() && !merged.empty() && merged.back() != '\n')
    merged += kLogLineEnd;
  putUntil(INT64_MAX);
  return merged;
}

// The log is read again inside its rewrite, so records written meanwhile
// count as known and stay.
int ImportCsvIntoLog(const std::string& logPath, const std::string& csvPath, int user,
                     CsvImportResult* result) {
  *result = {};
  std::string csv;
  LogRecords log;
  if (!ReadFileText(csvPath, &csv)) {
    result->failure = CsvImportResult::CannotRead;
    result->error = "cannot read " + csvPath + ": " + std::strerror(errno);
    return 0;
  }
  if (!ReadLogFile(logPath, &log) && errno != ENOENT) {
    result->failure = CsvImportResult::CannotRead;
    result->error = "cannot read the weight log " + logPath + ": " + std::strerror(errno);
    return 0;
  }
  std::string why;
  if (!ParseCsvImport(csv, user, log, &result->import, &why)) {
    result->failure = CsvImportResult::CannotRead;
    result->error = "cannot read " + csvPath + ": " + why;
    return 0;
  }
  if (result->import.records.empty())
    return 1;
  if (FILE* made = OpenLogStream(logPath.c_str(), "a"))
    std::fclose(made);
  const int done =
      RewriteLogFile(logPath, logPath + ".bak", [&](const std::string& text, std::string* merged) {
        LogRecords now;
        ParseLog(text.data(), text.size(), &now);
        ParseCsvImport(csv, user, now, &result->import, &why);
        *merged = MergeIntoLog(text, result->import.records);
        return 1;
      });
  if (!done) {
    result->failure = CsvImportResult::CannotWrite;
    result->error = "cannot write the weight log " + logPath + ": " + std::strerror(errno);
  }
  return done;
}
