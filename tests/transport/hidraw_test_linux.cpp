#include "transport/hid_linux.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A stand-in for /sys/class/hidraw: hidrawN/device/uevent files.
class HidrawScanTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "hidraw-scan-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
  }
  void TearDown() override { fs::remove_all(root); }

  void AddNode(const std::string& name, const std::string& uevent) {
    fs::create_directories(root / name / "device");
    std::ofstream(root / name / "device" / "uevent") << uevent;
  }

  fs::path root;
};

TEST_F(HidrawScanTest, PathsFollowTheAddressThenThePhysicalPathThenTheNode) {
  AddNode("hidraw10",
          "HID_ID=0005:0000057E:00000306\nHID_PHYS=aa:bb\nHID_UNIQ=00:1f:32:aa:bb:cc\n");
  AddNode("hidraw2", "HID_NAME=Keyboard\nHID_PHYS=usb-0000:00:14.0-1/input0\nHID_UNIQ=\n");
  AddNode("hidraw0", "HID_NAME=Mystery\n");
  // A second node of the same device: nodes are taken in number order (3
  // before 10), and the later one of two equal addresses is known by its node.
  AddNode("hidraw3", "HID_UNIQ=00:1F:32:AA:BB:CC\n");
  AddNode("hidrawx", "HID_UNIQ=not-a-node\n");
  AddNode("other", "HID_UNIQ=not-a-node\n");
  EXPECT_EQ(HidrawInterfacePaths(root.string()),
            (std::vector<std::string>{"/dev/hidraw0", "hid-phys:usb-0000:00:14.0-1/input0",
                                      "hid-uniq:00:1F:32:AA:BB:CC", "/dev/hidraw10"}));
}

TEST_F(HidrawScanTest, IdsComeFromTheUeventWithoutOpeningTheNode) {
  AddNode("hidraw1", "HID_ID=0005:0000057E:00000306\nHID_UNIQ=00:1f:32:aa:bb:cc\n");
  AddNode("hidraw2", "HID_ID=0003:0000046D:0000C52B\n");
  AddNode("hidraw3", "HID_ID=0003:0000046D\n");
  AddNode("hidraw4", "HID_ID=0003:0001046D:0000C52B\n");
  HidAttributes ids{};
  ASSERT_EQ(HidrawPathAttributes(root.string(), "hid-uniq:00:1F:32:AA:BB:CC", &ids), 1);
  EXPECT_EQ(ids.vendorId, 0x057E);
  EXPECT_EQ(ids.productId, 0x0306);
  ASSERT_EQ(HidrawPathAttributes(root.string(), "/dev/hidraw2", &ids), 1);
  EXPECT_EQ(ids.vendorId, 0x046D);
  EXPECT_EQ(ids.productId, 0xC52B);
  EXPECT_EQ(HidrawPathAttributes(root.string(), "/dev/hidraw3", &ids), 0);
  EXPECT_EQ(HidrawPathAttributes(root.string(), "/dev/hidraw4", &ids), 0);
  EXPECT_EQ(HidrawPathAttributes(root.string(), "/dev/hidraw9", &ids), 0);
}

// The watch tells of hidraw nodes that appear, change their access or go,
// and of nothing else.
TEST_F(HidrawScanTest, WatchSeesHidrawNodesComeChangeAndGo) {
  fs::path dev = root / "dev";
  fs::create_directories(dev);
  int watch = WatchHidrawNodes(dev.string());
  ASSERT_GE(watch, 0);
  EXPECT_EQ(TakeHidrawChanges(watch), 0);
  std::ofstream(dev / "ttyS9") << "x";
  EXPECT_EQ(TakeHidrawChanges(watch), 0);
  std::ofstream(dev / "hidraw4").close();
  EXPECT_EQ(TakeHidrawChanges(watch), 1);
  EXPECT_EQ(TakeHidrawChanges(watch), 0);
  fs::permissions(dev / "hidraw4", fs::perms::group_read | fs::perms::group_write,
                  fs::perm_options::add);
  EXPECT_EQ(TakeHidrawChanges(watch), 1);
  fs::remove(dev / "hidraw4");
  EXPECT_EQ(TakeHidrawChanges(watch), 1);
  close(watch);
  EXPECT_EQ(WatchHidrawNodes((root / "absent").string()), -1);
}

TEST_F(HidrawScanTest, MissingFolderGivesNoPaths) {
  EXPECT_TRUE(HidrawInterfacePaths((root / "absent").string()).empty());
}

}  // namespace
