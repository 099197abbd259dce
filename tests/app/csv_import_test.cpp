// CSV brought into the log: both formats, pounds, duplicates and lines that
// are no record, against records worked out by hand.
#include <gtest/gtest.h>

#include <string>

#include "app/csv_export.h"
#include "app/log_reader.h"

namespace {

std::string Lines(const std::vector<LogRecord>& records) {
  std::string text;
  for (const LogRecord& record : records)
    text += RecordText(record) + "\n";
  return text;
}

LogRecords Log(const std::string& text) {
  LogRecords log;
  ParseLog(text.data(), text.size(), &log);
  return log;
}

TEST(CsvImportTest, OwnFormatKeepsUsersAndCountsDuplicatesAndBadLines) {
  const LogRecords log = Log("log 1 2024-05-06 07:08:09  60.5\r\n");
  const std::string csv =
      "user,date,time,kg\r\n"
      "1,2024-05-06,07:08:09,60.5\r\n"   // in the log already
      "2,2024-05-07,07:00:00,70.25\r\n"  // rounded to tenths
      "2,2024-05-07,07:00:00,70.25\r\n"  // twice in the file
      "\r\n"
      "4,2024-05-08,07:00:00,70.0\r\n"  // no such user
      "0,2024-02-30,07:00:00,70.0\r\n"  // no such day
      "0,2024-05-09,07:00:00,0\r\n";    // no body weighs nothing
  CsvImport import;
  std::string error;
  ASSERT_EQ(ParseCsvImport(csv, -1, log, &import, &error), 1) << error;
  EXPECT_TRUE(import.hasUsers);
  EXPECT_EQ(Lines(import.records), "2 2024-05-07 07:00:00  70.3\n");
  EXPECT_EQ(import.duplicates, 2);
  EXPECT_EQ(import.unreadable, 3);

  ASSERT_EQ(ParseCsvImport(csv, 3, log, &import, &error), 1) << "a user given overrides the file's";
  EXPECT_EQ(import.records.size(), 3u) << "user 4's line reads now";
}

TEST(CsvImportTest, TrackerFormatsInKilogramsAndPounds) {
  CsvImport import;
  std::string error;
  ASSERT_EQ(ParseCsvImport("Date,Weight (lbs),Notes\n"
                           "2023-11-02 06:45,154.3,\"after run, tired\"\n"
                           "2023-11-03T06:40:12Z,\"153,9\"\n",
                           2, {}, &import, &error),
            1)
      << error;
  // 154.3 lb = 69.989 kg, 153.9 lb = 69.808 kg.
  EXPECT_EQ(Lines(import.records),
            "2 2023-11-02 06:45:00  70.0\n"
            "2 2023-11-03 06:40:12  69.8\n");

  ASSERT_EQ(ParseCsvImport("timestamp;weight_kg\n2023/11/02 06:45:00;70,4\n2023/11/04;71.0\n", 0,
                           {}, &import, &error),
            1);
  EXPECT_EQ(Lines(import.records),
            "0 2023-11-02 06:45:00  70.4\n"
            "0 2023-11-04 00:00:00  71.0\n");

  EXPECT_EQ(ParseCsvImport("when,kilos\n2023-11-02,70\n", 0, {}, &import, &error), 0);
  EXPECT_EQ(ParseCsvImport("date,weight\n2023-11-02,70\n", -1, {}, &import, &error), 0)
      << "no user given and none in the file";
}

TEST(CsvImportTest, MergeKeepsEveryLineAndPutsRecordsInTime) {
  const std::string text =
      "log 0 2024-05-01 07:00:00  70.0\r\n"
      "a note\n"
      "log 0 2024-05-03 07:00:00  69.0";
  CsvImport import;
  std::string error;
  ParseCsvImport(
      "user,date,time,kg\n0,2024-05-04,07:00:00,68.5\n0,2024-05-01,07:00:00,69.9\n"
      "1,2024-05-02,06:00:00,60.0\n",
      -1, Log(text), &import, &error);
  EXPECT_EQ(MergeIntoLog(text, import.records),
            "log 0 2024-05-01 07:00:00  70.0\r\n"
            "a note\n"
            "log 0 2024-05-01 07:00:00  69.9\r\n"
            "log 1 2024-05-02 06:00:00  60.0\r\n"
            "log 0 2024-05-03 07:00:00  69.0\r\n"
            "log 0 2024-05-04 07:00:00  68.5\r\n");
}

}  // namespace
