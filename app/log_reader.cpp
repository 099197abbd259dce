#include "app/log_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/log_file.h"
#include "screen/screen_data.h"

namespace {

constexpr char kRecordPrefix[] = "log ";
constexpr size_t kPrefixLength = sizeof(kRecordPrefix) - 1;
// More digits than any weight has; also keeps the tenths within int32_t.
constexpr int kMaxWeightDigits = 6;
// No body weighs nothing, and none weighs more than 350 kg: a line outside
// that is a typing mistake, and kept it would squeeze every other line of
// the chart flat.
constexpr int32_t kMaxTenthsKg = 3500;
constexpr size_t kReadChunk = 1 << 16;
constexpr size_t kTypicalLineLength = 33;

// A cursor over one line, without its line end.
struct LineCursor {
  const char* next;
  const char* end;

  bool AtEnd() const { return next == end; }

  bool Take(char c) {
    if (AtEnd() || *next != c)
      return false;
    ++next;
    return true;
  }

  // Exactly `digits` decimal digits.
  bool TakeNumber(int digits, int* value) {
    if (end - next < digits)
      return false;
    int result = 0;
    for (int i = 0; i < digits; ++i, ++next) {
      if (*next < '0' || *next > '9')
        return false;
      result = result * 10 + (*next - '0');
    }
    *value = result;
    return true;
  }

  // One to `maxDigits` decimal digits.
  bool TakeDigits(int maxDigits, int* value) {
    int result = 0;
    int count = 0;
    for (; !AtEnd() && *next >= '0' && *next <= '9'; ++next, ++count) {
      if (count == maxDigits)
        return false;
      result = result * 10 + (*next - '0');
    }
    *value = result;
    return count > 0;
  }

  void SkipSpaces() {
    while (!AtEnd() && *next == ' ')
      ++next;
  }
};

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TakeDate(LineCursor& line, LogRecord* record) {
  int year = 0, month = 0, day = 0;
  if (!line.TakeNumber(4, &year) || !line.Take('-') || !line.TakeNumber(2, &month) ||
      !line.Take('-') || !line.TakeNumber(2, &day))
    return false;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  record->year = static_cast<int16_t>(year);
  record->month = static_cast<int8_t>(month);
  record->day = static_cast<int8_t>(day);
  return true;
}

// 60 seconds is allowed: a clock may show a leap second.
bool TakeTime(LineCursor& line, LogRecord* record) {
  int hour = 0, minute = 0, second = 0;
  if (!line.TakeNumber(2, &hour) || !line.Take(':') || !line.TakeNumber(2, &minute) ||
      !line.Take(':') || !line.TakeNumber(2, &second))
    return false;
  if (hour > 23 || minute > 59 || second > 60)
    return false;
  record->hour = static_cast<int8_t>(hour);
  record->minute = static_cast<int8_t>(minute);
  record->second = static_cast<int8_t>(second);
  return true;
}

// "%5.1f": spaces that pad it to five characters, the whole kilograms, a
// point and exactly one decimal; a weight that no body has is no record.
bool TakeWeight(LineCursor& line, LogRecord* record) {
  line.SkipSpaces();
  int whole = 0, tenths = 0;
  if (!line.TakeDigits(kMaxWeightDigits, &whole) || !line.Take('.') || !line.TakeNumber(1, &tenths))
    return false;
  record->tenthsKg = whole * 10 + tenths;
  return record->tenthsKg > 0 && record->tenthsKg <= kMaxTenthsKg;
}

bool ParseRecord(const char* begin, const char* end, LogRecord* record) {
  if (static_cast<size_t>(end - begin) < kPrefixLength ||
      std::memcmp(begin, kRecordPrefix, kPrefixLength) != 0)
    return false;
  LineCursor line{begin + kPrefixLength, end};
  int user = 0;
  if (!line.TakeDigits(1, &user) || user >= kUsers || !line.Take(' '))
    return false;
  record->user = user;
  return TakeDate(line, record) && line.Take(' ') && TakeTime(line, record) && line.Take(' ') &&
         TakeWeight(line, record) && line.AtEnd();
}

}  // namespace

int ParseLogLine(const char* begin, const char* end, LogRecord* record) {
  return ParseRecord(begin, end, record) ? 1 : 0;
}

void ParseLog(const char* text, size_t length, LogRecords* out) {
  out->records.clear();
  out->skippedLines = 0;
  // A record line takes about 33 bytes; reserving once avoids regrowing.
  out->records.reserve(length / kTypicalLineLength + 1);
  const char* const end = text + length;
  for (const char* begin = text; begin < end;) {
    const char* lineFeed = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
    const char* lineEnd = lineFeed ? lineFeed : end;
    const char* textEnd = lineEnd > begin && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
    LogRecord record;
    if (ParseRecord(begin, textEnd, &record)) {
      out->records.push_back(record);
    } else if (textEnd > begin) {
      ++out->skippedLines;
    }
    begin = lineFeed ? lineFeed + 1 : end;
  }
}

std::vector<TextLine> SplitLines(const std::string& text) {
  std::vector<TextLine> lines;
  for (size_t begin = 0; begin < text.size();) {
    const size_t lineFeed = text.find('\n', begin);
    const size_t end = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
    size_t textEnd = lineFeed == std::string::npos ? text.size() : lineFeed;
    if (textEnd > begin && text[textEnd - 1] == '\r')
      --textEnd;
    lines.push_back({begin, textEnd, end});
    begin = end;
  }
  return lines;
}

int ReadFileText(const std::string& path, std::string* text) {
  FILE* file = OpenLogStream(path.c_str(), "rb");
  if (file == nullptr)
    return 0;
  text->clear();
  size_t got = 0;
  do {
    const size_t size = text->size();
    text->resize(size + kReadChunk);
    got = std::fread(text->data() + size, 1, kReadChunk, file);
    text->resize(size + got);
  } while (got == kReadChunk);
  const int failed = std::ferror(file);
  const int error = errno;
  std::fclose(file);
  errno = error;
  return !failed;
}

int ReadLogFile(const std::string& path, LogRecords* out) {
  std::string text;
  if (!ReadFileText(path, &text))
    return 0;
  ParseLog(text.data(), text.size(), out);
  return 1;
}

std::string KilogramsText(int32_t tenthsKg) {
  return std::to_string(tenthsKg / 10) + '.' + std::to_string(tenthsKg % 10);
}

std::string RecordText(const LogRecord& record) {
  char text[64];
  std::snprintf(text, sizeof text, "%d %s %s %5s", record.user, RecordDateText(record).c_str(),
                RecordTimeText(record).c_str(), KilogramsText(record.tenthsKg).c_str());
  return text;
}

std::string RecordDateText(const LogRecord& record) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", record.year, record.month, record.day);
  return text;
}

std::string RecordTimeText(const LogRecord& record) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", record.hour, record.minute, record.second);
  return text;
}

int RecordFromParts(const std::string& user, const std::string& dateTime, int32_t tenthsKg,
                    LogRecord* record) {
  const std::string line = "log " + user + " " + dateTime + " " + KilogramsText(tenthsKg);
  return ParseLogLine(line.data(), line.data() + line.size(), record);
}
