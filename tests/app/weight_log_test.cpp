#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app_test_helpers.h"
#include "support/debug_output_capture.h"

namespace {

class WeightLogTest : public AppWindowTest {
 protected:
  void LoadFrom(const std::string& contents) {
    WriteWholeFile(window.logPath, contents);
    window.LoadHistory();
  }

  std::vector<std::string> History() const {
    std::vector<std::string> slots;
    for (const auto& slot : window.history) {
      slots.emplace_back(slot);
    }
    return slots;
  }

  static std::string Records(int first, int last) {
    std::string contents;
    for (int i = first; i <= last; ++i) {
      contents += "log 0 2024-01-" + std::to_string(10 + i) + " 08:00:00  60.0\r\n";
    }
    return contents;
  }
};

using Slots = std::vector<std::string>;

TEST_F(WeightLogTest, RecordLineIsExactBytesWithCrLf) {
  Append(1, 60.54f);
  EXPECT_EQ(ReadWholeFile(window.logPath), "log 1 2024-05-06 07:08:09  60.5\r\n");
  EXPECT_STREQ(window.history[0], "1 2024-05-06 07:08:09  60.5");

  PinTime(2025, 12, 31, 23, 59, 58);
  Append(3, 123.46f);
  EXPECT_EQ(ReadWholeFile(window.logPath),
            "log 1 2024-05-06 07:08:09  60.5\r\n"
            "log 3 2025-12-31 23:59:58 123.5\r\n");
  EXPECT_STREQ(window.history[1], "3 2025-12-31 23:59:58 123.5");
}

TEST_F(WeightLogTest, FullHistoryDropsOldestAndAddsNewestLast) {
  for (int i = 0; i < kHistorySlots; ++i) {
    Append(0, 50.0f + static_cast<float>(i));
  }
  Append(1, 99.0f);
  EXPECT_STREQ(window.history[0], "0 2024-05-06 07:08:09  51.0");
  EXPECT_STREQ(window.history[6], "0 2024-05-06 07:08:09  57.0");
  EXPECT_STREQ(window.history[7], "1 2024-05-06 07:08:09  99.0");
}

// The widest record any float can produce is one byte too long for a slot.
TEST_F(WeightLogTest, WidestRecordIsCutToItsHistorySlot) {
  Append(0, -std::numeric_limits<float>::max());
  EXPECT_EQ(std::string(window.history[0]).size(), static_cast<size_t>(kHistoryText - 1));
  std::string line = ReadWholeFile(window.logPath);
  EXPECT_GT(line.size(), static_cast<size_t>(kHistoryText));
  EXPECT_EQ(line.substr(line.size() - 4), ".0\r\n");
}

TEST_F(WeightLogTest, MissingFileLeavesHistoryEmpty) {
  window.LoadHistory();
  EXPECT_EQ(History(), Slots(kHistorySlots, ""));
}

TEST_F(WeightLogTest, FewRecordsFillTheFirstSlotsInFileOrder) {
  LoadFrom(Records(1, 3));
  EXPECT_EQ(History(), (Slots{"0 2024-01-11 08:00:00  60.0", "0 2024-01-12 08:00:00  60.0",
                              "0 2024-01-13 08:00:00  60.0", "", "", "", "", ""}));
}

TEST_F(WeightLogTest, ManyRecordsKeepTheLastEightOldestFirst) {
  LoadFrom(Records(1, 11));
  Slots slots = History();
  for (int i = 0; i < kHistorySlots; ++i) {
    EXPECT_EQ(slots[i], "0 2024-01-" + std::to_string(14 + i) + " 08:00:00  60.0");
  }
}

// The history lists exactly the records that the chart and the CSV export
// read: a cut line, a weight no body has and every other line are left out.
TEST_F(WeightLogTest, HistoryListsWhatTheLogReaderCallsRecords) {
  const std::string log =
      "Log 0 2024-01-01 08:00:00  60.0\r\n"
      "log 1 2024-01-02 08:00:00 61.0\n"
      "log 0 2024-01-03 08:00:00 720.5\r\n"
      "log 0 2024-01-04 08:00:00   0.0\r\n"
      "log 0 2024-01-05 08:00:00  -3.0\r\n"
      "log 2 2024-01-06 08:00:00 12345678901234567890.0\r\n"
      "log 3 2024-01-0\r\n"
      "log \r\n"
      "log 3 2024-01-07 08:00:00 350.0";
  LoadFrom(log);
  EXPECT_EQ(History(), (Slots{"1 2024-01-02 08:00:00  61.0", "3 2024-01-07 08:00:00 350.0", "", "",
                              "", "", "", ""}));
  window.ToggleChart();
  EXPECT_EQ(window.chartLog.records.size(), 2u);
  EXPECT_EQ(window.chartLog.skippedLines, 7);
}

// A log whose last line has no line end, as some editors save it: the
// record starts a line of its own and both stay readable.
TEST_F(WeightLogTest, RecordAfterALastLineWithoutLineEndStartsANewLine) {
  LoadFrom("log 0 2024-01-02 08:00:00  61.0");
  Append(1, 62.0f);
  EXPECT_EQ(ReadWholeFile(window.logPath),
            "log 0 2024-01-02 08:00:00  61.0\r\nlog 1 2024-05-06 07:08:09  62.0\r\n");
  AppWindow nextRun(nullptr);
  nextRun.logPath = window.logPath;
  nextRun.LoadHistory();
  EXPECT_STREQ(nextRun.history[1], "1 2024-05-06 07:08:09  62.0");
}

TEST_F(WeightLogTest, RecordsWrittenByOneRunAreLoadedByTheNext) {
  Append(0, 10.0f);
  Append(1, 20.0f);
  Append(2, 30.0f);
  AppWindow nextRun(nullptr);
  nextRun.logPath = window.logPath;
  nextRun.LoadHistory();
  for (int i = 0; i < kHistorySlots; ++i) {
    EXPECT_STREQ(nextRun.history[i], window.history[i]) << "slot " << i;
  }
}

TEST_F(WeightLogTest, UnwrittenRecordsWaitInOrderUntilTheFolderAppears) {
  window.logPath = folder.File("later/Gravimo_log.txt");
  CaptureDebugOutput();
  Append(0, 61.0f);
  Append(1, 62.0f);
  Append(2, 63.0f);
  std::string output = CapturedDebugOutput();
  EXPECT_EQ(History(), (Slots{"0 2024-05-06 07:08:09  61.0", "1 2024-05-06 07:08:09  62.0",
                              "2 2024-05-06 07:08:09  63.0", "", "", "", "", ""}));
  EXPECT_EQ(CountLines(output), 1) << output;
  EXPECT_NE(output.find(window.logPath), std::string::npos) << output;

  std::filesystem::create_directory(folder.File("later"));
  Append(3, 64.0f);
  EXPECT_EQ(ReadWholeFile(window.logPath),
            "log 0 2024-05-06 07:08:09  61.0\r\n"
            "log 1 2024-05-06 07:08:09  62.0\r\n"
            "log 2 2024-05-06 07:08:09  63.0\r\n"
            "log 3 2024-05-06 07:08:09  64.0\r\n");
  EXPECT_TRUE(window.unwrittenLog.empty());

  // A new failure after the file was written again is worth a new line.
  window.logPath = folder.File("gone/Gravimo_log.txt");
  CaptureDebugOutput();
  Append(0, 65.0f);
  EXPECT_EQ(CountLines(CapturedDebugOutput()), 1);
}

TEST_F(WeightLogTest, RecordsStillUnwrittenAtExitGoWholeToTheDebugOutput) {
  window.logPath = folder.File("missing/Gravimo_log.txt");
  int asked = 0;
  window.askToSaveElsewhere = [&](const std::string&) { return ++asked, 0; };
  CaptureDebugOutput();
  Append(0, 61.0f);
  Append(1, 62.0f);
  window.CloseLog();
  window.CloseLog();
  std::string output = CapturedDebugOutput();
  EXPECT_EQ(CountLines(output), 3) << output;
  size_t first = output.find("log 0 2024-05-06 07:08:09  61.0\r\n");
  size_t second = output.find("log 1 2024-05-06 07:08:09  62.0\r\n");
  EXPECT_NE(first, std::string::npos) << output;
  EXPECT_NE(second, std::string::npos) << output;
  EXPECT_LT(first, second);
  EXPECT_EQ(asked, 1);
}

// At exit the user may save the waiting records in a file of their choice,
// which they are added to as the log would take them.
TEST_F(WeightLogTest, RecordsUnwrittenAtExitMayBeSavedElsewhere) {
  window.logPath = folder.File("missing/Gravimo_log.txt");
  const std::string saved = folder.File("saved.txt");
  WriteWholeFile(saved, "log 3 2024-01-02 08:00:00  60.0");
  std::vector<std::string> asked;
  int told = 0;
  window.askToSaveElsewhere = [&](const std::string& text) {
    asked.push_back(text);
    return 1;
  };
  window.askSavePath = [&](const SaveQuestion& question) {
    EXPECT_TRUE(question.appends);
    return saved;
  };
  window.showMessage = [&](const std::string& text, int isError) {
    ++told;
    EXPECT_NE(text.find(saved), std::string::npos) << text;
    EXPECT_EQ(isError, 0);
  };
  Append(0, 61.0f);
  Append(1, 62.0f);
  CaptureDebugOutput();
  window.CloseLog();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find(window.logPath), std::string::npos) << asked[0];
  EXPECT_EQ(told, 1);
  EXPECT_EQ(ReadWholeFile(saved),
            "log 3 2024-01-02 08:00:00  60.0\r\n"
            "log 0 2024-05-06 07:08:09  61.0\r\nlog 1 2024-05-06 07:08:09  62.0\r\n");
  EXPECT_EQ(CapturedDebugOutput(), "");
}

// A log that stays unwritable for months must not take ever more memory: the
// oldest waiting record gives way, and says so.
TEST_F(WeightLogTest, WaitingRecordsAreBoundedByDroppingTheOldest) {
  constexpr int kKept = 1000;
  window.logPath = folder.File("later/Gravimo_log.txt");
  CaptureDebugOutput();
  for (int i = 1; i <= kKept + 1; ++i) {
    Append(0, static_cast<float>(i));
  }
  std::string output = CapturedDebugOutput();
  EXPECT_EQ(CountLines(output), 2) << output;
  EXPECT_NE(output.find("log 0 2024-05-06 07:08:09   1.0\r\n"), std::string::npos) << output;

  std::filesystem::create_directory(folder.File("later"));
  EXPECT_EQ(window.WriteUnwrittenLog(), 1);
  std::string contents = ReadWholeFile(window.logPath);
  EXPECT_EQ(contents.find("log 0 2024-05-06 07:08:09   2.0\r\n"), 0u);
  EXPECT_EQ(std::count(contents.begin(), contents.end(), '\n'), kKept);
  EXPECT_EQ(contents.substr(contents.size() - 8), "1001.0\r\n");
}

TEST_F(WeightLogTest, EachWindowReportsItsOwnFirstFailure) {
  std::string unwritable = folder.File("missing-folder/Gravimo_log.txt");
  window.logPath = unwritable;
  AppWindow other(nullptr);
  other.logPath = unwritable;
  other.localTime = ReadPinnedTime;
  DeviceEntry entry;
  CaptureDebugOutput();
  window.AppendLog(entry);
  other.AppendLog(entry);
  other.AppendLog(entry);
  std::string output = CapturedDebugOutput();
  EXPECT_EQ(output.find("\r\n", output.find("\r\n") + 2), output.size() - 2) << output;
}

}  // namespace
