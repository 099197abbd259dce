#include "transport/hid_binding.h"

#include <gtest/gtest.h>

#include <string>

#include "support/debug_output_capture.h"
#include "transport/virtual_hid_bus.h"
#include "transport_test_helpers.h"

namespace {

class HidBindingTest : public testing::Test {
 protected:
  void TearDown() override { ExitModule(); }
  VirtualHidBus bus;
  FakeLoader loader{bus};
};

TEST_F(HidBindingTest, MissingSetupModuleReleasesHidAndBindsNothing) {
  loader.missingModules.insert("setupapi");
  CaptureDebugOutput();
  EXPECT_EQ(InitModule(loader), 0);
  std::string printed = CapturedDebugOutput();
  EXPECT_EQ(printed.find("ERROR: func"), std::string::npos);
  EXPECT_EQ(loader.releases, 1);
  EXPECT_EQ(hidFunctions.hidModule, nullptr);
  EXPECT_EQ(hidFunctions.setupModule, nullptr);
  EXPECT_EQ(BoundEntries(), 0);
}

TEST_F(HidBindingTest, MissingExportIsReportedOnceAndTheOthersAreBound) {
  loader.missingExports.insert("HidD_GetHidGuid");
  CaptureDebugOutput();
  EXPECT_EQ(InitModule(loader), 1);
  EXPECT_EQ(CapturedDebugOutput(), "ERROR: func HidD_GetHidGuid\n\r\n");
  EXPECT_EQ(BoundEntries(), 9);
  EXPECT_EQ(hidFunctions.getHidGuid.function, nullptr);
}

TEST_F(HidBindingTest, UnboundOperationsFailLikeThePlatformCall) {
  HidGuid guid{1, 2, 3, {4}};
  HidD_GetHidGuid(&guid);
  EXPECT_EQ(guid.data1, 0u);
  HidAttributes attributes{};
  EXPECT_EQ(HidD_GetAttributes(0, &attributes), 0);
  EXPECT_EQ(SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0), nullptr);
  HidInterfaceData data{};
  EXPECT_EQ(SetupDiEnumDeviceInterfaces(nullptr, nullptr, &guid, 0, &data), 0);
  EXPECT_EQ(HidGetLastError(), kHidErrorNoMoreItems);
  EXPECT_EQ(HidD_SetOutputReport(0, "\x11", 1), 0);
}

TEST_F(HidBindingTest, ExitModuleIsRepeatableAndHarmlessBeforeInit) {
  ExitModule();
  EXPECT_EQ(loader.releases, 0);
  ASSERT_EQ(InitModule(loader), 1);
  EXPECT_EQ(BoundEntries(), 10);
  ExitModule();
  EXPECT_EQ(loader.releases, 2);
  ExitModule();
  EXPECT_EQ(loader.releases, 2);
  // Nothing is left to call into a released module.
  EXPECT_EQ(BoundEntries(), 0);
}

TEST(DevicePathTest, ComparesIgnoringAsciiCaseOnly) {
  EXPECT_TRUE(SamePathIgnoringCase("hid-uniq:00:1F:32:AA:BB:CC", "HID-UNIQ:00:1f:32:aa:bb:cc"));
  EXPECT_FALSE(SamePathIgnoringCase("virtual:board0", "virtual:board"));
  EXPECT_FALSE(SamePathIgnoringCase("virtual:board", "virtual:board0"));
  EXPECT_FALSE(SamePathIgnoringCase("a[", "a{"));  // '[' and '{' differ by 0x20 but are not letters
}

}  // namespace
