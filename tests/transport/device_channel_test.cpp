#include "transport/device_channel.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "device/wii_device.h"
#include "transport/io_system.h"
#include "transport/virtual_hid_bus.h"
#include "transport_test_helpers.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One bus device that records what the host sends it, and a channel over it
// driven by hand: nothing delivers completions unless the test does, so
// writes stay "in flight" for as long as the test wants.
class DeviceChannelTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(InitModule(bus), 1);
    bus.SetOutputHandler(board, [this](const uint8_t* report, int length) {
      std::lock_guard lock(mutex);
      received.emplace_back(report, report + length);
    });
  }
  void TearDown() override {
    channel.Close();  // its preparsed data goes back while the module is bound
    ExitModule();
  }

  std::vector<Bytes> Received(size_t atLeast) {
    WaitUntil([&] {
      std::lock_guard lock(mutex);
      return received.size() >= atLeast;
    });
    std::lock_guard lock(mutex);
    return received;
  }
  void Input(const Bytes& report) {
    bus.SendInput(board, report.data(), static_cast<int>(report.size()));
  }
  void OpenInWriteMode() {
    bus.SetOutputReportMode(board, VirtualHidBus::SetReport::kRefuses);
    ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
    ASSERT_EQ(channel.GetFlags(), kChannelWriteFile);
  }
  void Send(const Bytes& report) { channel.Send(report.data(), static_cast<int>(report.size())); }
  // A report as the device receives it by set-output-report: padded with
  // zeros to the output length where the device takes only whole reports.
  Bytes AsReceived(Bytes report) {
    if (bus.WholeOutputReports()) {
      report.resize(22, 0);
    }
    return report;
  }

  std::mutex mutex;
  std::vector<Bytes> received;
  VirtualHidBus bus;
  int board = bus.AddDevice("virtual:board0");
  ktWiiDevice device;
  ktDeviceChannel channel{bus, device};
};

TEST_F(DeviceChannelTest, OpenSendsTheOpeningReportsBySetOutputReport) {
  EXPECT_EQ(channel.GetFlags(), kChannelProbing);
  ASSERT_EQ(channel.Open("VIRTUAL:Board0", 3), 1);
  EXPECT_EQ(channel.IsOpen(), 1);
  EXPECT_EQ(device.IsOpen(), 1);
  EXPECT_EQ(device.GetIndex(), 3);
  EXPECT_EQ(device.GetExtensionType(), kExtNone);
  EXPECT_EQ(channel.GetFlags(), kChannelOpened | kChannelProbing);
  EXPECT_EQ(channel.GetInputReportLength(), 22);
  EXPECT_EQ(channel.GetOutputReportLength(), 22);
  EXPECT_EQ(Received(2), (std::vector<Bytes>{AsReceived({0x11, 0x00}), AsReceived({0x15, 0x00})}));
  EXPECT_EQ(channel.PendingWriteCompletions(), 0);
}

// A failure that may pass (the board briefly out of reach) costs only its
// report; the same failure twice in a row, or a device that has no
// set-output-report at all, moves the output to writes.
TEST_F(DeviceChannelTest, OnlyALastingSetOutputReportFailureSwitchesToWrites) {
  ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
  ASSERT_EQ(Received(2).size(), 2u);
  bus.SetOutputReportMode(board, VirtualHidBus::SetReport::kTimesOut);
  Send({0x12, 0x00, 0x32});
  bus.SetOutputReportMode(board, VirtualHidBus::SetReport::kTakes);
  Send({0x11, 0x10});
  bus.SetOutputReportMode(board, VirtualHidBus::SetReport::kTimesOut);
  Send({0x11, 0x20});
  EXPECT_EQ(channel.GetFlags(), kChannelOpened | kChannelProbing);
  EXPECT_EQ(Received(3).back(), AsReceived({0x11, 0x10}));

  Send({0x11, 0x30});  // the same time-out again: for good
  EXPECT_EQ(channel.GetFlags(), kChannelWriteFile);
  std::vector<Bytes> got = Received(4);
  ASSERT_EQ(got.size(), 4u);
  Bytes written(22, 0);
  written[0] = 0x11;
  written[1] = 0x30;
  EXPECT_EQ(got[3], written);
}

// As strict as a Windows HID handle: reports of any length but the device's
// are refused, so the channel sends short ones padded with zeros.
TEST_F(DeviceChannelTest, UnderWindowsRulesEveryReportGoesOutWhole) {
  bus.SetWindowsRules(true);
  ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
  Bytes leds(22, 0);
  leds[0] = 0x11;
  EXPECT_EQ(Received(1)[0], leds);
  EXPECT_EQ(channel.GetFlags(), kChannelOpened | kChannelProbing);

  const uint8_t status[2] = {0x15, 0x00};
  EXPECT_EQ(HidD_SetOutputReport(channel.Handle(), status, 2), 0);
  EXPECT_EQ(HidGetLastError(), kHidErrorInvalidParameter);
  ASSERT_EQ(IoWrite(channel.Handle(), status, 2), IoResult::kDone);
  Send({0x12, 0x00, 0x30});
  ASSERT_EQ(Received(3).size(), 3u);
  EXPECT_EQ(bus.RefusedOutputCount(board), 1);
}

TEST_F(DeviceChannelTest, RefusedSetOutputReportSwitchesToWritesForGood) {
  OpenInWriteMode();
  // The refused report itself goes out as a write of the full output length.
  std::vector<Bytes> got = Received(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].size(), 22u);
  EXPECT_EQ(got[0][0], 0x11);
  EXPECT_EQ(got[1][0], 0x15);
  EXPECT_EQ(channel.PendingWriteCompletions(), 2);

  bus.SetOutputReportMode(board, VirtualHidBus::SetReport::kTakes);  // no way back once switched
  ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
  EXPECT_EQ(channel.GetFlags(), kChannelWriteFile | kChannelOpened);
  EXPECT_EQ(Received(4)[3].size(), 22u);
}

// Never with the bytes an earlier report left in the slot.
TEST_F(DeviceChannelTest, ShortReportIsPaddedWithZeros) {
  OpenInWriteMode();
  for (int i = 0; i < 32; ++i) {  // fill every slot once, round to slot 2 again
    channel.OnWriteComplete();
    Send(Bytes(22, 0xAA));
  }
  Send({0x12, 0x00, 0x30});
  std::vector<Bytes> got = Received(35);
  ASSERT_EQ(got.size(), 35u);
  Bytes expected(22, 0x00);
  expected[0] = 0x12;
  expected[1] = 0x00;
  expected[2] = 0x30;
  EXPECT_EQ(got[34], expected);
}

TEST_F(DeviceChannelTest, ThirtyOneWritesInFlightThenOverflowUntilOneCompletes) {
  OpenInWriteMode();
  for (int i = 0; i < 29; ++i) {  // 2 opening reports + 29 = 31 in flight
    Send({0x11, static_cast<uint8_t>(i)});
  }
  EXPECT_EQ(channel.PendingWriteCompletions(), 31);
  EXPECT_EQ(Received(31).size(), 31u);
  int head = channel.GetQueueHead();

  Send({0x11, 0xEE});  // the 32nd: dropped
  EXPECT_EQ(channel.GetQueueHead(), head);
  EXPECT_EQ(channel.PendingWriteCompletions(), 31);

  channel.OnWriteComplete();
  EXPECT_EQ(channel.GetQueueTail(), 1);
  Send({0x11, 0xEF});
  std::vector<Bytes> got = Received(32);
  ASSERT_EQ(got.size(), 32u);
  EXPECT_EQ(got[31][1], 0xEF);  // 0xEE never went out
}

TEST_F(DeviceChannelTest, UnhandledIdsAreIgnoredAndTheReadStaysPosted) {
  ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
  for (uint8_t id : {uint8_t{0x1F}, uint8_t{0x40}}) {
    Input({id, 0x00, 0x08, 0, 0, 0, 0x55});
    EXPECT_EQ(channel.OnReadReady(false), 1);
    EXPECT_GE(channel.ReadDescriptor(), 0);
    EXPECT_EQ(device.GetButtons(), 0);
  }
  Input({0x30, 0x00, 0x08});
  EXPECT_EQ(channel.OnReadReady(false), 1);
  EXPECT_EQ(device.GetButtons(), 0x0008);
  EXPECT_EQ(channel.OnReadReady(false), 0);  // nothing more to read: still outstanding
  EXPECT_GE(channel.ReadDescriptor(), 0);
}

TEST_F(DeviceChannelTest, VanishedDeviceClosesAndKeepsItsValues) {
  ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
  Input({0x30, 0x00, 0x08});
  channel.OnReadReady(false);
  bus.Unplug(board);
  EXPECT_EQ(channel.OnReadReady(true), 1);
  EXPECT_EQ(channel.IsOpen(), 0);
  EXPECT_EQ(device.IsOpen(), 0);
  EXPECT_EQ(channel.ReadDescriptor(), kHidInvalidHandle);
  EXPECT_EQ(device.GetButtons(), 0x0008);
  Send({0x11, 0x00});  // dropped without touching the output path
  EXPECT_EQ(channel.GetFlags(), kChannelOpened | kChannelProbing);
  EXPECT_EQ(channel.PendingWriteCompletions(), 0);

  EXPECT_EQ(channel.Open("virtual:board0", 0), 0);  // not present
  EXPECT_EQ(channel.IsOpen(), 0);
  EXPECT_STREQ(channel.GetPath(), "virtual:board0");
}

TEST_F(DeviceChannelTest, CloseIsRepeatableAndReopenKeepsTheQueuePosition) {
  channel.Close();
  channel.Close();
  OpenInWriteMode();
  channel.Close();
  channel.Close();
  EXPECT_EQ(channel.GetPath(), nullptr);
  EXPECT_EQ(channel.GetQueueHead(), 2);
  ASSERT_EQ(channel.Open("virtual:board0", 0), 1);
  EXPECT_EQ(channel.GetQueueHead(), 4);
  EXPECT_EQ(channel.GetQueueTail(), 0);
}

TEST_F(DeviceChannelTest, ZeroLengthReportsAreRefusedAtOpen) {
  bus.SetReportLengths(board, 0, 22);
  EXPECT_EQ(channel.Open("virtual:board0", 0), 0);
  EXPECT_EQ(channel.IsOpen(), 0);
}

}  // namespace
