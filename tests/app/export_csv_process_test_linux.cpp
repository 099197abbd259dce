// gravimo --export-csv FILE run as a process, on a log in a temporary home.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/program.h"
#include "app_test_helpers.h"

namespace {

struct RunResult {
  int status = -1;
  std::string output;  // standard output and standard error together
};

class ExportCsvProcessTest : public ::testing::Test {
 protected:
  ExportCsvProcessTest() {
    std::filesystem::create_directories(home.File("config"));
    std::filesystem::create_directories(home.File("Docs"));
    WriteWholeFile(home.File("config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
  }

  std::string LogPath() const { return home.File("Docs/Gravimo_log.txt"); }

  // The output is standard output and standard error together unless
  // `streams` says otherwise.
  RunResult Export(const std::string& destination, const char* streams = "2>&1") {
    return Run("--export-csv '" + destination + "' " + streams);
  }

  RunResult Run(const std::string& arguments) {
    const std::string command = "cd '" + out.Path() + "' && env -u XDG_DOCUMENTS_DIR HOME='" +
                                home.Path() + "' XDG_CONFIG_HOME='" + home.File("config") + "' '" +
                                GRAVIMO_PROGRAM + "' " + arguments;
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
      return result;
    char buffer[512];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }

  // Names in the folder, hidden ones included.
  static int CountEntries(const std::string& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
      ++count;
    return count;
  }

  TempFolder home;
  TempFolder out;
};

constexpr time_t kFirstDay = 1420070400;  // 2015-01-01
constexpr time_t kSecondsPerDay = 86400;

// Nearly fourteen years of daily records for three users, in CR LF lines, with one line
// that is not a record in the middle.
std::string LargeLog() {
  std::string log;
  char line[64];
  for (int i = 0; i < 15000; ++i) {
    const time_t day = kFirstDay + i / 3 * kSecondsPerDay;
    struct tm date = {};
    gmtime_r(&day, &date);
    std::snprintf(line, sizeof line, "log %d %04d-%02d-%02d 07:%02d:%02d %5.1f\r\n", i % 3,
                  date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, i % 60, i / 3 % 60,
                  50.0 + (i % 400) / 10.0);
    log += line;
    if (i == 7000)
      log += "log 1 2020-07-0\xff broken\r\n";
  }
  return log;
}

TEST_F(ExportCsvProcessTest, WritesEveryRecordAndCountsTheSkippedLine) {
  WriteWholeFile(LogPath(), LargeLog());
  const RunResult run = Export(out.File("weights.csv"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("15000 records"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("1 line was not a record"), std::string::npos) << run.output;

  const std::string csv = ReadWholeFile(out.File("weights.csv"));
  EXPECT_EQ(CountLines(csv), 15001);
  const std::string first =
      "user,date,time,kg\r\n0,2015-01-01,07:00:00,50.0\r\n1,2015-01-01,07:01:00,50.1\r\n";
  EXPECT_EQ(csv.substr(0, first.size()), first);
  const std::string last = "2,2028-09-08,07:59:19,69.9\r\n";
  EXPECT_EQ(csv.substr(csv.size() - last.size()), last);
  EXPECT_NE(csv.find("\r\n2,2021-05-22,07:41:53,70.1\r\n"), std::string::npos);
  EXPECT_EQ(CountEntries(out.Path()), 1);
}

TEST_F(ExportCsvProcessTest, NoLogIsAnErrorAndWritesNothing) {
  const RunResult run = Export(out.File("weights.csv"));
  EXPECT_EQ(run.status, kExitNoLog);
  EXPECT_NE(run.output.find(LogPath()), std::string::npos) << run.output;
  EXPECT_EQ(CountEntries(out.Path()), 0);
}

TEST_F(ExportCsvProcessTest, UnwritableDestinationLeavesNoFileBehind) {
  WriteWholeFile(LogPath(), "log 0 2024-05-06 07:08:09  60.5\r\n");
  const RunResult missingFolder = Export(out.File("gone/weights.csv"));
  EXPECT_EQ(missingFolder.status, kExitCannotWrite);
  EXPECT_NE(missingFolder.output.find("cannot write"), std::string::npos) << missingFolder.output;

  // A folder where the file should go: the temporary file is written, the
  // rename fails, and the temporary file must go again.
  std::filesystem::create_directories(out.File("taken/x"));
  const RunResult taken = Export(out.File("taken"));
  EXPECT_EQ(taken.status, kExitCannotWrite) << taken.output;
  EXPECT_EQ(CountEntries(out.Path()), 1);
  EXPECT_EQ(CountEntries(out.File("taken")), 1);

  chmod(out.Path().c_str(), 0500);
  const RunResult readOnly = Export(out.File("weights.csv"));
  chmod(out.Path().c_str(), 0700);
  if (geteuid() != 0) {
    EXPECT_EQ(readOnly.status, kExitCannotWrite) << readOnly.output;
    EXPECT_EQ(CountEntries(out.Path()), 1);
  }
}

constexpr char kOneRecord[] = "log 0 2024-05-06 07:08:09  60.5\r\n";
constexpr char kOneRecordCsv[] = "user,date,time,kg\r\n0,2024-05-06,07:08:09,60.5\r\n";

// The log itself, by its name or through a link, is never written over.
TEST_F(ExportCsvProcessTest, TheLogItselfIsRefused) {
  WriteWholeFile(LogPath(), kOneRecord);
  std::filesystem::create_symlink(LogPath(), out.File("link.csv"));
  for (const std::string& destination : {LogPath(), out.File("link.csv")}) {
    const RunResult run = Export(destination);
    EXPECT_EQ(run.status, kExitCannotWrite) << destination;
    EXPECT_NE(run.output.find("weight log itself"), std::string::npos) << run.output;
    EXPECT_EQ(ReadWholeFile(LogPath()), kOneRecord);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(out.File("link.csv")));
}

// A log that cannot be read (here a folder) exports nothing over the
// user's CSV, and fails as a missing log does.
TEST_F(ExportCsvProcessTest, ALogThatCannotBeReadLeavesTheOldCsv) {
  std::filesystem::create_directories(LogPath());
  WriteWholeFile(out.File("weights.csv"), "old\r\n");
  const RunResult run = Export(out.File("weights.csv"));
  EXPECT_EQ(run.status, kExitNoLog) << run.output;
  EXPECT_EQ(run.output.find("0 records"), std::string::npos) << run.output;
  EXPECT_EQ(ReadWholeFile(out.File("weights.csv")), "old\r\n");
}

// Only a regular file is ever replaced: a link keeps being a link, a pipe
// and a device are written to, a file the user keeps read-only is refused.
TEST_F(ExportCsvProcessTest, WhatIsNotAPlainFileIsWrittenToNotReplaced) {
  WriteWholeFile(LogPath(), kOneRecord);
  std::filesystem::create_directories(out.File("elsewhere"));
  WriteWholeFile(out.File("elsewhere/target.csv"), "old\r\n");
  std::filesystem::create_symlink("elsewhere/target.csv", out.File("link.csv"));
  EXPECT_EQ(Export(out.File("link.csv")).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(out.File("link.csv")));
  EXPECT_EQ(ReadWholeFile(out.File("elsewhere/target.csv")), kOneRecordCsv);

  // The reading end is open before the export, so the program's writing
  // end opens at once; the CSV fits in the pipe and is read afterwards.
  ASSERT_EQ(mkfifo(out.File("pipe").c_str(), 0600), 0);
  const int reader = open(out.File("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const RunResult toPipe = Export(out.File("pipe"));
  char piped[256] = {};
  const ssize_t got = read(reader, piped, sizeof piped - 1);
  close(reader);
  EXPECT_EQ(toPipe.status, 0) << toPipe.output;
  EXPECT_EQ(std::string(piped, got > 0 ? got : 0), kOneRecordCsv);
  EXPECT_EQ(std::filesystem::status(out.File("pipe")).type(), std::filesystem::file_type::fifo);

  EXPECT_EQ(Export("/dev/null").status, 0);
  EXPECT_EQ(Export("/dev/full").status, kExitCannotWrite);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));

  WriteWholeFile(out.File("kept.csv"), "old\r\n");
  chmod(out.File("kept.csv").c_str(), 0444);
  EXPECT_EQ(Export(out.File("kept.csv")).status, kExitCannotWrite);
  EXPECT_EQ(ReadWholeFile(out.File("kept.csv")), "old\r\n");
}

// "-" is standard output, which then carries the CSV alone.
TEST_F(ExportCsvProcessTest, DashWritesTheCsvToStandardOutput) {
  WriteWholeFile(LogPath(), kOneRecord);
  const RunResult run = Export("-", "2>/dev/null");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, kOneRecordCsv);
  EXPECT_EQ(CountEntries(out.Path()), 0);
}

// 15,000 records out to CSV, into an empty log and out again: the same
// CSV, and a log of the same records, in the log's own lines.
TEST_F(ExportCsvProcessTest, ImportAndExportRoundTripFifteenThousandRecords) {
  WriteWholeFile(LogPath(), LargeLog());
  ASSERT_EQ(Export(out.File("first.csv")).status, 0);
  std::filesystem::remove(LogPath());
  const RunResult import = Run("--import-csv '" + out.File("first.csv") + "' 2>&1");
  EXPECT_EQ(import.status, 0) << import.output;
  EXPECT_NE(import.output.find("imported 15000 records"), std::string::npos) << import.output;
  ASSERT_EQ(Export(out.File("second.csv")).status, 0);
  EXPECT_EQ(ReadWholeFile(out.File("second.csv")), ReadWholeFile(out.File("first.csv")));
  std::string expected = LargeLog();
  const std::string broken = "log 1 2020-07-0\xff broken\r\n";
  expected.erase(expected.find(broken), broken.size());
  EXPECT_EQ(ReadWholeFile(LogPath()), expected);

  const RunResult again = Run("--import-csv '" + out.File("first.csv") + "' --user 1 2>&1");
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_NE(again.output.find("imported 10000 records"), std::string::npos) << again.output;
  EXPECT_NE(again.output.find("5000 were in the log already"), std::string::npos);
}

TEST_F(ExportCsvProcessTest, ImportFailuresHaveTheExportsExitCodes) {
  EXPECT_EQ(Run("--import-csv 2>&1").status, kExitUsage);
  EXPECT_EQ(Run("--import-csv x.csv --user 7 2>&1").status, kExitUsage);
  EXPECT_EQ(Run("--import-csv '" + out.File("none.csv") + "' 2>&1").status, kExitNoLog);
  WriteWholeFile(out.File("plain.csv"), "date,weight\n2024-05-06,60\n");
  EXPECT_EQ(Run("--import-csv '" + out.File("plain.csv") + "' 2>&1").status, kExitNoLog);
  WriteWholeFile(LogPath(), kOneRecord);
  chmod(home.File("Docs").c_str(), 0500);
  const RunResult readOnly = Run("--import-csv '" + out.File("plain.csv") + "' --user 0 2>&1");
  chmod(home.File("Docs").c_str(), 0700);
  if (geteuid() != 0) {
    EXPECT_EQ(readOnly.status, kExitCannotWrite) << readOnly.output;
    EXPECT_EQ(ReadWholeFile(LogPath()), kOneRecord);
  }
}

}  // namespace
