// The log on a file system that is read-only, then full, then has room
// again: a tmpfs of one page, mounted in a mount namespace of this test
// process alone.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "app_test_helpers.h"

namespace {

// As root a mount namespace of its own is enough; anyone else needs a user
// namespace around it.
int EnterPrivateMounts() {
  if (unshare(CLONE_NEWNS) != 0) {
    const std::string uid = std::to_string(getuid());
    const std::string gid = std::to_string(getgid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
      return 0;
    }
    WriteWholeFile("/proc/self/setgroups", "deny");
    WriteWholeFile("/proc/self/uid_map", "0 " + uid + " 1");
    WriteWholeFile("/proc/self/gid_map", "0 " + gid + " 1");
  }
  // Mounts made below stay out of the system's own namespace.
  return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

class LogFullDiskTest : public AppWindowTest {
 protected:
  void SetUp() override {
    mkdir(mountPoint.c_str(), 0700);
    if (!EnterPrivateMounts() ||
        mount("gravimo-test", mountPoint.c_str(), "tmpfs", 0, "size=4k") != 0) {
      GTEST_SKIP() << "no private tmpfs on this machine: " << strerror(errno);
    }
    window.logPath = mountPoint + "/Gravimo_log.txt";
  }

  void TearDown() override { umount2(mountPoint.c_str(), MNT_DETACH); }

  bool Remount(unsigned long flags, const char* options) {
    return mount("gravimo-test", mountPoint.c_str(), "tmpfs", MS_REMOUNT | flags, options) == 0;
  }

  std::string mountPoint = folder.File("small");
};

TEST_F(LogFullDiskTest, RecordsWaitForRoomAndFollowInOrderAsWholeLines) {
  // The page holds 50 more bytes: one record and part of a second.
  const std::string earlier = std::string(4096 - 50 - 2, '#') + "\r\n";
  WriteWholeFile(window.logPath, earlier);
  ASSERT_TRUE(Remount(MS_RDONLY, "size=4k"));
  testing::internal::CaptureStderr();
  Append(0, 61.0f);
  Append(1, 62.0f);
  EXPECT_EQ(ReadWholeFile(window.logPath), earlier);

  ASSERT_TRUE(Remount(0, "size=4k"));
  Append(2, 63.0f);
  EXPECT_EQ(ReadWholeFile(window.logPath), earlier + "log 0 2024-05-06 07:08:09  61.0\r\n");
  EXPECT_EQ(window.unwrittenLog.size(), 2u);

  ASSERT_TRUE(Remount(0, "size=8k"));
  Append(3, 64.0f);
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadWholeFile(window.logPath), earlier +
                                               "log 0 2024-05-06 07:08:09  61.0\r\n"
                                               "log 1 2024-05-06 07:08:09  62.0\r\n"
                                               "log 2 2024-05-06 07:08:09  63.0\r\n"
                                               "log 3 2024-05-06 07:08:09  64.0\r\n");
  EXPECT_TRUE(window.unwrittenLog.empty());
  EXPECT_EQ(CountLines(output), 1) << output;

  AppWindow nextRun(nullptr);
  nextRun.logPath = window.logPath;
  nextRun.LoadHistory();
  for (int i = 0; i < kHistorySlots; ++i) {
    EXPECT_STREQ(nextRun.history[i], window.history[i]) << "slot " << i;
  }
}

}  // namespace
