#include "transport/hid_linux.h"

#include <gtest/gtest.h>

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

TEST_F(HidrawScanTest, MissingFolderGivesNoPaths) {
  EXPECT_TRUE(HidrawInterfacePaths((root / "absent").string()).empty());
}

}  // namespace
