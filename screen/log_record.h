#pragma once

#include <cstdint>
#include <vector>

// One record of the weight log as read back from the file: who, when (local
// time as written), and the weight in tenths of a kilogram, exactly as the
// line gave it.
struct LogRecord {
  int32_t user = 0;  // 0..kUsers-1
  int16_t year = 0;
  int8_t month = 0;  // 1..12
  int8_t day = 0;    // 1..31, valid for the month
  int8_t hour = 0;
  int8_t minute = 0;
  int8_t second = 0;
  int32_t tenthsKg = 0;

  // Days since 1970-01-01 of the record's date, for placing it on a time axis.
  int32_t DayNumber() const;
  // Seconds since 1970-01-01 00:00 of the record's local date and time, to
  // order records as the chart places them.
  int64_t Moment() const;
  float Kilograms() const { return static_cast<float>(tenthsKg) / 10.0f; }
};

// The whole log: its records in file order, and how many of its lines were
// not records (blank lines are not counted).
struct LogRecords {
  std::vector<LogRecord> records;
  int32_t skippedLines = 0;
};

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
inline int32_t DaysFromCivil(int32_t year, int32_t month, int32_t day) {
  year -= month <= 2 ? 1 : 0;
  const int32_t era = (year >= 0 ? year : year - 399) / 400;
  const int32_t yearOfEra = year - era * 400;
  const int32_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

inline int32_t LogRecord::DayNumber() const {
  return DaysFromCivil(year, month, day);
}

inline int64_t LogRecord::Moment() const {
  return (static_cast<int64_t>(DayNumber()) * 24 + hour) * 3600 + minute * 60 + second;
}
