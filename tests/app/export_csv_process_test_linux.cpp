// gravimo --export-csv FILE run as a process, on a log in a temporary home.
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

  RunResult Export(const std::string& destination) {
    const std::string command = "env -u XDG_DOCUMENTS_DIR HOME='" + home.Path() +
                                "' XDG_CONFIG_HOME='" + home.File("config") + "' '" +
                                GRAVIMO_PROGRAM + "' --export-csv '" + destination + "' 2>&1";
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

}  // namespace
