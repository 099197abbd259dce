#include "app/log_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "app/csv_export.h"

namespace {

LogRecords Parse(const std::string& text) {
  LogRecords log;
  ParseLog(text.data(), text.size(), &log);
  return log;
}

using namespace std::string_literals;

struct LineCase {
  std::string line;
  bool isRecord;
};

// Each line alone, once with LF, once with CR LF and once without a line end.
TEST(LogReaderTest, TellsRecordsFromOtherLines) {
  const LineCase cases[] = {
      {"log 1 2024-05-06 07:08:09  60.5", true},
      {"log 3 2024-02-29 23:59:60   5.0", true},  // leap day, leap second
      {"log 0 2024-05-06 07:08:09 100.0", true},
      {"log 0 2024-05-06 07:08:09 350.0", true},
      {"log 0 2024-05-06 07:08:09   0.1", true},
      {"log 0 2024-05-06 07:08:09 350.1", false},  // no body weighs that
      {"log 0 2024-05-06 07:08:09 720.5", false},
      {"log 0 2024-05-06 07:08:09   0.0", false},
      {"log 0 2024-05-06 07:08:09  -0.5", false},
      {"log 4 2024-05-06 07:08:09  60.5", false},   // no such user
      {"log 10 2024-05-06 07:08:09  60.5", false},  // no such user
      {"Log 1 2024-05-06 07:08:09  60.5", false},
      {"log 1 2023-02-29 07:08:09  60.5", false},  // not a leap year
      {"log 1 2024-13-06 07:08:09  60.5", false},
      {"log 1 2024-05-06 24:08:09  60.5", false},
      {"log 1 2024-05-06 07:08  60.5", false},
      {"log 1 2024-05-06 07:08:09  60", false},
      {"log 1 2024-05-06 07:08:09  60.55", false},
      {"log 1 2024-05-06 07:08:09  60.5 kg", false},
      {"log 1 2024-05-06 07:08:09", false},  // truncated
      {"log 1 2024-05", false},              // truncated
      {"log ", false},
      {"log 1 2024-05-06 07:08:09 9999999.5", false},  // more digits than any weight
      {"\xff\xfe\x00\x01"s, false},
  };
  for (const LineCase& c : cases) {
    for (const char* ending : {"\n", "\r\n", ""}) {
      const LogRecords log = Parse(c.line + ending);
      EXPECT_EQ(log.records.size(), c.isRecord ? 1u : 0u) << c.line;
      EXPECT_EQ(log.skippedLines, c.isRecord ? 0 : 1) << c.line;
    }
  }
}

TEST(LogReaderTest, KeepsEveryFieldOfARecord) {
  const LogRecords log = Parse("log 2 2024-05-06 07:08:09  60.5\r\n");
  ASSERT_EQ(log.records.size(), 1u);
  const LogRecord& r = log.records[0];
  EXPECT_EQ(r.user, 2);
  EXPECT_EQ(r.year, 2024);
  EXPECT_EQ(r.month, 5);
  EXPECT_EQ(r.day, 6);
  EXPECT_EQ(r.hour, 7);
  EXPECT_EQ(r.minute, 8);
  EXPECT_EQ(r.second, 9);
  EXPECT_EQ(r.tenthsKg, 605);
  EXPECT_EQ(r.DayNumber(), 19849);  // 2024-05-06
  EXPECT_EQ((LogRecord{0, 1970, 1, 1}).DayNumber(), 0);
}

TEST(LogReaderTest, BlankLinesAreNotCountedAndOrderIsKept) {
  const LogRecords log = Parse(
      "\r\n\nlog 0 2024-05-06 07:08:09  60.5\nnoise\r\n\r\nlog 1 2024-05-07 07:08:09  61.0\r\n"
      "log 1 2024-05-0");
  ASSERT_EQ(log.records.size(), 2u);
  EXPECT_EQ(log.records[0].user, 0);
  EXPECT_EQ(log.records[1].tenthsKg, 610);
  EXPECT_EQ(log.skippedLines, 2);
}

TEST(CsvExportTest, FieldsAreQuotedOnlyWhereNeeded) {
  EXPECT_EQ(CsvField("2024-05-06"), "2024-05-06");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
}

TEST(CsvExportTest, RecordsBecomeLinesWithOneDecimal) {
  const LogRecords log =
      Parse("log 1 2024-05-06 07:08:09   5.0\r\nlog 3 2025-12-31 23:59:59 102.5\r\n");
  EXPECT_EQ(FormatCsv(log),
            "user,date,time,kg\r\n1,2024-05-06,07:08:09,5.0\r\n3,2025-12-31,23:59:59,102.5\r\n");
}

}  // namespace
