// Several processes writing the same log file, and writers killed mid-way:
// the file must only ever hold whole lines.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app_test_helpers.h"

namespace {

constexpr int kRecordsPerWriter = 250;
constexpr int kEndlessRecords = 1000000;

std::string ExpectedLine(int user) {
  return "log " + std::to_string(user) + " 2024-05-06 07:08:09  6" + std::to_string(user) +
         ".0\r\n";
}

class LogWritersTest : public AppWindowTest {
 protected:
  // Starts a process that appends `count` records for `user`, then ends.
  pid_t StartWriter(int user, int count) {
    pid_t child = fork();
    if (child == 0) {
      DeviceEntry entry;
      entry.userWeight[user] = 60.0f + static_cast<float>(user);
      window.currentUser = user;
      for (int i = 0; i < count; ++i) {
        window.AppendLog(entry);
      }
      _exit(0);
    }
    EXPECT_GT(child, 0);
    return child;
  }

  static int WaitForExit(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return status;
  }

  // Splits the file into lines ending in CR LF; whatever follows the last
  // one is returned in *tail.
  std::vector<std::string> Lines(std::string* tail) const {
    std::string contents = ReadWholeFile(window.logPath);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = contents.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(contents.substr(start, end + 2 - start));
    }
    *tail = contents.substr(start);
    return lines;
  }
};

TEST_F(LogWritersTest, ConcurrentWritersNeverInterleaveLines) {
  pid_t first = StartWriter(1, kRecordsPerWriter);
  pid_t second = StartWriter(2, kRecordsPerWriter);
  EXPECT_EQ(WaitForExit(first), 0);
  EXPECT_EQ(WaitForExit(second), 0);

  std::string tail;
  std::map<std::string, int> counts;
  for (const std::string& line : Lines(&tail)) {
    ++counts[line];
  }
  EXPECT_EQ(tail, "");
  EXPECT_EQ(counts, (std::map<std::string, int>{{ExpectedLine(1), kRecordsPerWriter},
                                                {ExpectedLine(2), kRecordsPerWriter}}));
}

TEST_F(LogWritersTest, KilledWritersLeaveOnlyWholeLines) {
  std::mt19937 random(20240506);
  std::uniform_int_distribution<int> delayMicroseconds(0, 20000);
  for (int round = 0; round < 12; ++round) {
    pid_t writers[] = {StartWriter(round % 4, kEndlessRecords),
                       StartWriter((round + 1) % 4, kEndlessRecords)};
    for (pid_t writer : writers) {
      std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
      kill(writer, SIGKILL);
      int status = WaitForExit(writer);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
  }

  std::string tail;
  std::vector<std::string> lines = Lines(&tail);
  std::set<std::string> expected = {ExpectedLine(0), ExpectedLine(1), ExpectedLine(2),
                                    ExpectedLine(3)};
  EXPECT_FALSE(lines.empty());
  for (const std::string& line : lines) {
    EXPECT_EQ(expected.count(line), 1u) << line;
  }
  // Only the very last write may have been cut short.
  bool tailStartsARecord = tail.empty();
  for (const std::string& line : expected) {
    tailStartsARecord = tailStartsARecord || line.compare(0, tail.size(), tail) == 0;
  }
  EXPECT_TRUE(tailStartsARecord) << tail;
}

}  // namespace
