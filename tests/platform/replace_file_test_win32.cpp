#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/replace_file.h"
#include "platform/temp_folder.h"
#include "support/wide_text.h"

namespace {

int FilesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(ReplaceFileWin32, NewContentsReplaceTheOldWholeWithNothingLeftBeside) {
  TempFolder folder;
  const std::string path = folder.File("w.csv");
  ASSERT_EQ(ReplaceFileContents(path, "user,date\r\n"), 1);
  EXPECT_EQ(ReadWholeFile(path), "user,date\r\n");
  const std::string large((1 << 20) + 1, 'x');  // more than one write
  ASSERT_EQ(ReplaceFileContents(path, large), 1);
  EXPECT_EQ(ReadWholeFile(path), large);
  ASSERT_EQ(ReplaceFileContents(path, ""), 1);
  EXPECT_EQ(ReadWholeFile(path), "");
  EXPECT_EQ(FilesIn(folder.Path()), 1);

  // Paths are UTF-8; the file gets the name as the user sees it.
  ASSERT_EQ(ReplaceFileContents(folder.File("体重.csv"), "kg\r\n"), 1);
  EXPECT_NE(GetFileAttributesW((WideText(folder.Path()) + L"\\\x4F53\x91CD.csv").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST(ReplaceFileWin32, AFailureKeepsTheOldFileAndSaysWhy) {
  TempFolder folder;
  const std::string path = folder.File("w.csv");
  WriteWholeFile(path, "old\r\n");
  // Another program holds the file open without letting it be replaced.
  HANDLE holder = CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  errno = 0;
  EXPECT_EQ(ReplaceFileContents(path, "new\r\n"), 0);
  EXPECT_EQ(errno, EACCES);
  CloseHandle(holder);
  EXPECT_EQ(ReadWholeFile(path), "old\r\n");
  EXPECT_EQ(FilesIn(folder.Path()), 1) << "the temporary file is removed";

  errno = 0;
  EXPECT_EQ(ReplaceFileContents(folder.File("none/w.csv"), "new\r\n"), 0);
  EXPECT_EQ(errno, ENOENT);
}

// The log's own file, by name or by a second name (a hard link), is one
// file; a device is written to as a stream; a read-only file is refused.
TEST(ReplaceFileWin32, DestinationsAreToldApartByTheFilesIdentity) {
  TempFolder folder;
  const std::string log = folder.File("Gravimo_log.txt");
  const std::string other = folder.File("other.csv");
  WriteWholeFile(log, "log\r\n");
  WriteWholeFile(other, "old\r\n");
  ASSERT_TRUE(
      CreateHardLinkW(WideText(folder.File("second.txt")).c_str(), WideText(log).c_str(), nullptr));
  EXPECT_EQ(IsSameFile(log, folder.File("second.txt")), 1);
  EXPECT_EQ(IsSameFile(log, other), 0);
  EXPECT_EQ(IsSameFile(log, folder.File("missing.csv")), 0);

  EXPECT_EQ(WriteToDestination("NUL", "user\r\n"), 1);
  EXPECT_EQ(WriteToDestination(other, "new\r\n"), 1);
  EXPECT_EQ(ReadWholeFile(other), "new\r\n");
  ASSERT_TRUE(SetFileAttributesW(WideText(other).c_str(), FILE_ATTRIBUTE_READONLY));
  errno = 0;
  EXPECT_EQ(WriteToDestination(other, "newer\r\n"), 0);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(ReadWholeFile(other), "new\r\n");
  SetFileAttributesW(WideText(other).c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
