#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app_test_helpers.h"

namespace {

// Who may read the log is a POSIX file mode; Windows leaves it to the
// folder's access rules.
class WeightLogModeTest : public AppWindowTest {};

TEST_F(WeightLogModeTest, NewFileIsPrivateAndAnExistingOneKeepsItsMode) {
  mode_t previous = umask(0);
  Append(0, 70.0f);
  std::string other = folder.File("other_log.txt");
  WriteWholeFile(other, "");
  chmod(other.c_str(), 0644);
  window.logPath = other;
  Append(0, 71.0f);
  umask(previous);

  struct stat info = {};
  ASSERT_EQ(stat(folder.File("Gravimo_log.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(other.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(ReadWholeFile(other), "log 0 2024-05-06 07:08:09  71.0\r\n");
}

}  // namespace
