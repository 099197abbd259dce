#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/documents.h"
#include "platform/log_file.h"

namespace {

class LogFileWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    path =
        std::string(folder) + "gravimo_log_test_" + std::to_string(GetCurrentProcessId()) + ".txt";
    DeleteFileA(path.c_str());
  }
  void TearDown() override { DeleteFileA(path.c_str()); }

  std::string Contents() const {
    FILE* stream = OpenLogStream(path.c_str(), "rb");
    if (stream == nullptr) {
      return "(missing)";
    }
    std::string text;
    char buffer[256];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, stream)) > 0) {
      text.append(buffer, count);
    }
    fclose(stream);
    return text;
  }

  size_t Append(const std::string& lines) const {
    FILE* stream = OpenLogStream(path.c_str(), "a");
    if (stream == nullptr) {
      return 0;
    }
    size_t kept = AppendLines(stream, lines.data(), lines.size());
    fclose(stream);
    return kept;
  }

  std::string path;
};

TEST_F(LogFileWin32, LinesKeepTheirBytesAcrossRuns) {
  EXPECT_EQ(Contents(), "(missing)");
  EXPECT_EQ(Append("log 1 2024-05-06 07:08:09  60.5\r\n"), 33u);
  EXPECT_EQ(Append("log 2 2024-05-06 07:09:00 101.0\r\n"), 33u);
  EXPECT_EQ(Contents(), "log 1 2024-05-06 07:08:09  60.5\r\nlog 2 2024-05-06 07:09:00 101.0\r\n");
}

TEST_F(LogFileWin32, ACutLastLineIsNotKept) {
  EXPECT_EQ(Append("log 1 a\r\nlog 2 b"), 9u);
  EXPECT_EQ(Contents(), "log 1 a\r\n");
  EXPECT_EQ(Append("log 3 c\r\n"), 9u);
  EXPECT_EQ(Contents(), "log 1 a\r\nlog 3 c\r\n");
}

// Notepad saves the last line without its line end: the next line starts a
// line of its own, and the count is of the caller's bytes only.
TEST_F(LogFileWin32, ALastLineWithoutLineEndIsEndedFirst) {
  FILE* stream = std::fopen(path.c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  std::fputs("log 1 a", stream);
  std::fclose(stream);
  EXPECT_EQ(Append("log 2 b\r\n"), 9u);
  EXPECT_EQ(Contents(), "log 1 a\r\nlog 2 b\r\n");
}

TEST_F(LogFileWin32, OnlyReadingAndAppendingOpen) {
  EXPECT_EQ(OpenLogStream(path.c_str(), "w"), nullptr);
  EXPECT_EQ(OpenLogStream(path.c_str(), "rb"), nullptr);
}

TEST(LocalTimeWin32, AgreesWithTheRuntimesLocalTime) {
  struct tm read = {};
  time_t before = time(nullptr);
  ReadLocalTime(&read);
  struct tm expected = *localtime(&before);
  EXPECT_EQ(read.tm_year, expected.tm_year);
  EXPECT_EQ(read.tm_mon, expected.tm_mon);
  EXPECT_EQ(read.tm_mday, expected.tm_mday);
  EXPECT_EQ(read.tm_hour, expected.tm_hour);
  EXPECT_NEAR(read.tm_min * 60 + read.tm_sec, expected.tm_min * 60 + expected.tm_sec, 2);
}

TEST(DocumentsWin32, LogGoesIntoTheShellsDocumentsFolder) {
  LogLocation location = ChooseLogLocation();
  const std::string name = "\\Gravimo_log.txt";
  ASSERT_GT(location.path.size(), name.size());
  EXPECT_EQ(location.path.substr(location.path.size() - name.size()), name);
  std::string folder = location.path.substr(0, location.path.size() - name.size());
  DWORD attributes = GetFileAttributesA(folder.c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(location.note, "");
}

}  // namespace
