// The log rewritten by a correction on a real file system: the old text is
// kept beside it, a failure leaves it whole, and a record appended at the
// same moment is never lost.
#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>

#include "app_test_helpers.h"
#include "platform/log_file.h"

namespace {

constexpr char kOld[] = "log 0 2024-05-01 07:00:00  70.0\r\n";
constexpr char kNew[] = "log 0 2024-05-01 07:00:00  69.0\r\n";

class LogRewriteTest : public AppWindowTest {
 protected:
  LogRewriteTest() { WriteWholeFile(window.logPath, kOld); }

  int Rewrite(const LogTextEdit& edit) {
    return RewriteLogFile(window.logPath, window.logPath + ".bak", edit);
  }

  static int ToNew(const std::string&, std::string* edited) {
    *edited = kNew;
    return 1;
  }

  int FilesInFolder() {
    int count = 0;
    DIR* dir = opendir(folder.Path().c_str());
    while (dirent* entry = readdir(dir))
      count += entry->d_name[0] != '.' || entry->d_name[1] == 'G';
    closedir(dir);
    return count;
  }

  // How many of this process's descriptors are open on the log.
  int DescriptorsOnLog() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dirent* entry = readdir(dir)) {
      char target[PATH_MAX] = {};
      const std::string link = std::string("/proc/self/fd/") + entry->d_name;
      if (readlink(link.c_str(), target, sizeof target - 1) > 0)
        count += std::string(target).rfind(window.logPath, 0) == 0;
    }
    closedir(dir);
    return count;
  }
};

TEST_F(LogRewriteTest, OldTextKeptBesideAndTheLogKeepsItsMode) {
  chmod(window.logPath.c_str(), 0640);
  ASSERT_EQ(Rewrite(ToNew), 1);
  EXPECT_EQ(ReadWholeFile(window.logPath), kNew);
  EXPECT_EQ(ReadWholeFile(window.logPath + ".bak"), kOld);
  struct stat info = {};
  ASSERT_EQ(stat(window.logPath.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  ASSERT_EQ(stat((window.logPath + ".bak").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "weights are personal";
}

TEST_F(LogRewriteTest, FailedRewriteLeavesTheLogWholeAndNoTemporaryFile) {
  EXPECT_EQ(Rewrite([](const std::string&, std::string*) { return 0; }), 0);
  EXPECT_EQ(errno, ECANCELED);
  ASSERT_EQ(mkdir((window.logPath + ".bak").c_str(), 0700), 0);
  EXPECT_EQ(Rewrite(ToNew), 0) << "the old text cannot be kept";
  EXPECT_EQ(ReadWholeFile(window.logPath), kOld);
  EXPECT_EQ(FilesInFolder(), 2) << "the log and the folder in the backup's place";
}

TEST_F(LogRewriteTest, StreamOpenedBeforeTheRewriteWritesNothingToTheOldFile) {
  FILE* stream = OpenLogStream(window.logPath.c_str(), "a");
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(Rewrite(ToNew), 1);
  const std::string line = "log 1 2024-05-02 07:00:00  60.0\r\n";
  EXPECT_EQ(AppendLines(stream, line.data(), line.size()), 0u);
  EXPECT_EQ(errno, EAGAIN);
  fclose(stream);
  EXPECT_EQ(ReadWholeFile(window.logPath), kNew);
}

// The other writer opens the log before the rewrite renames the new text
// over it, then waits for its turn; its record must reach the new log.
TEST_F(LogRewriteTest, RecordAppendedWhileTheLogIsRewrittenIsKept) {
  AppWindow other(nullptr);
  other.logPath = window.logPath;
  other.unwrittenLog.push_back("1 2024-05-02 07:00:00  60.0");
  std::atomic<int> written{-1};
  std::thread writer;
  ASSERT_EQ(Rewrite([&](const std::string&, std::string* edited) {
              writer = std::thread([&] { written = other.AppendUnwritten(other.logPath); });
              // Ours is one descriptor; the writer's open makes two.
              while (DescriptorsOnLog() < 2 && written == -1)
                std::this_thread::yield();
              *edited = kNew;
              return 1;
            }),
            1);
  writer.join();
  EXPECT_EQ(written, 1);
  EXPECT_EQ(ReadWholeFile(window.logPath),
            std::string(kNew) + "log 1 2024-05-02 07:00:00  60.0\r\n");
}

}  // namespace
