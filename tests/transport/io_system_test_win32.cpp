#include "transport/io_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

constexpr int kWaitMs = 2000;

class PacketPairTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(IoCreatePacketPair(&host, &device, 1), 1); }
  void TearDown() override {
    IoClose(host);
    IoClose(device);
  }

  // Waits for one end and reads what is there.
  IoResult WaitAndRead(int fd, std::vector<uint8_t>& report, IoWaitItem* seen = nullptr) {
    IoWaitItem item{fd, false, false};
    IoWait(&item, 1, kWaitMs);
    if (seen != nullptr) {
      *seen = item;
    }
    report.assign(512, 0);
    int count = 0;
    IoResult result = IoRead(fd, report.data(), static_cast<int>(report.size()), &count);
    report.resize(static_cast<size_t>(count));
    return result;
  }

  int host = -1;
  int device = -1;
};

TEST_F(PacketPairTest, EveryWriteArrivesWholeAsOneReadInOrder) {
  std::vector<uint8_t> shortReport = {0x11, 0x01};
  std::vector<uint8_t> longReport(300);
  for (size_t i = 0; i < longReport.size(); ++i) {
    longReport[i] = static_cast<uint8_t>(i);
  }
  ASSERT_EQ(IoWrite(host, shortReport.data(), 2), IoResult::kDone);
  ASSERT_EQ(IoWrite(host, longReport.data(), 300), IoResult::kDone);
  std::vector<uint8_t> got;
  ASSERT_EQ(WaitAndRead(device, got), IoResult::kDone);
  EXPECT_EQ(got, shortReport);
  ASSERT_EQ(WaitAndRead(device, got), IoResult::kDone);
  EXPECT_EQ(got, longReport);

  // Nothing more is there: the read would block and a short wait finds nothing.
  int count = -1;
  uint8_t byte;
  EXPECT_EQ(IoRead(device, &byte, 1, &count), IoResult::kWouldBlock);
  EXPECT_EQ(count, 0);
  IoWaitItem item{device, false, false};
  EXPECT_EQ(IoWait(&item, 1, 20), 0);
  EXPECT_FALSE(item.readable || item.hungUp);

  // The other way round, and a report cut to a shorter buffer.
  uint8_t status[] = {0x20, 1, 2, 3};
  ASSERT_EQ(IoWrite(device, status, 4), IoResult::kDone);
  item = IoWaitItem{host, false, false};
  ASSERT_EQ(IoWait(&item, 1, kWaitMs), 1);
  uint8_t head[2] = {};
  ASSERT_EQ(IoRead(host, head, 2, &count), IoResult::kDone);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(head[1], 1);
}

// A reader of reports of a fixed size takes a longer message as several.
TEST_F(PacketPairTest, ReportSizedReadsTakeALongMessageReportByReport) {
  IoSetReportSize(host, 3);
  const uint8_t two[6] = {0x20, 1, 2, 0x30, 4, 5};
  ASSERT_EQ(IoWrite(device, two, 6), IoResult::kDone);
  std::vector<uint8_t> got;
  ASSERT_EQ(WaitAndRead(host, got), IoResult::kDone);
  EXPECT_EQ(got, (std::vector<uint8_t>{0x20, 1, 2}));
  ASSERT_EQ(WaitAndRead(host, got), IoResult::kDone);
  EXPECT_EQ(got, (std::vector<uint8_t>{0x30, 4, 5}));
}

// Reports written before the other end goes are still read, then the end.
TEST_F(PacketPairTest, ClosedOrShutDownEndHangsUpAfterWhatItWrote) {
  uint8_t report[] = {0x21, 7};
  ASSERT_EQ(IoWrite(host, report, 2), IoResult::kDone);
  IoClose(host);
  host = -1;
  std::vector<uint8_t> got;
  ASSERT_EQ(WaitAndRead(device, got), IoResult::kDone);
  EXPECT_EQ(got[1], 7);
  IoWaitItem seen{};
  EXPECT_EQ(WaitAndRead(device, got, &seen), IoResult::kEnd);
  EXPECT_TRUE(seen.hungUp);

  ASSERT_EQ(IoCreatePacketPair(&host, &device, 1), 1);
  ASSERT_EQ(IoWrite(device, report, 2), IoResult::kDone);
  IoShutdown(device);
  EXPECT_EQ(IoWrite(device, report, 2), IoResult::kEnd);
  ASSERT_EQ(WaitAndRead(host, got), IoResult::kDone);
  EXPECT_EQ(WaitAndRead(host, got, &seen), IoResult::kEnd);
  EXPECT_TRUE(seen.hungUp);
}

// Writes the other end does not take pile up only so far; once it reads,
// there is room again.
TEST_F(PacketPairTest, WriterIsToldToWaitWhenTheOtherEndStopsReading) {
  std::vector<uint8_t> report(300, 0x22);
  int accepted = 0;
  while (accepted < 2000 && IoWrite(host, report.data(), 300) == IoResult::kDone) {
    ++accepted;
  }
  ASSERT_LT(accepted, 2000);
  EXPECT_EQ(IoWrite(host, report.data(), 300), IoResult::kWouldBlock);
  std::vector<uint8_t> got;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(WaitAndRead(device, got), IoResult::kDone);
    ASSERT_EQ(got.size(), 300u);
  }
  IoWaitItem item{host, false, false};
  IoWait(&item, 0, 50);  // lets the completions of the writes that went through run
  EXPECT_EQ(IoWrite(host, report.data(), 300), IoResult::kDone);
}

// A wait takes an event's signal but keeps it until it is consumed, once.
TEST(IoEventTest, SignalFromAnotherThreadWakesAWaitAndIsConsumedOnce) {
  int event = IoCreateEvent();
  int other = IoCreateEvent();
  ASSERT_GE(event, 0);
  IoWaitItem items[2] = {{other, false, false}, {event, false, false}};
  EXPECT_EQ(IoWait(items, 2, 10), 0);
  std::thread signaller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    IoSignalEvent(event);
  });
  EXPECT_EQ(IoWait(items, 2, 5000), 1);
  signaller.join();
  EXPECT_FALSE(items[0].readable);
  EXPECT_TRUE(items[1].readable);
  EXPECT_EQ(IoWait(items, 2, 0), 1);  // still readable until consumed
  EXPECT_EQ(IoConsumeEvent(event), 1);
  EXPECT_EQ(IoConsumeEvent(event), 0);
  EXPECT_EQ(IoWait(items, 2, 0), 0);
  IoClose(event);
  IoClose(other);
}

}  // namespace
