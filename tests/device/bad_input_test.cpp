#include <gtest/gtest.h>

#include "device_test_helpers.h"

// Replies and reports that do not fit their layout. Every buffer here is
// exactly sized and every device lives on the heap, so a read or write past
// either is reported by the address sanitizer.
namespace {

TEST(BadInputTest, ImageRepliesThatDoNotFitTheReadAreIgnored) {
  ScriptedDevice scripted;
  scripted.device->OnOpened(0);
  scripted.Feed(StatusReport(true, 0x80));
  scripted.FeedIdentifier(0x1234, false);
  scripted.Feed(ReadReply(0x0000, Bytes(16, 0x11)));
  scripted.Feed(ReadReply(0x00F8, Bytes(16, 0x5A)));  // 0xF8..0x107: not a chunk of the image
  scripted.Feed(ReadReply(0xFFF0, Bytes(16, 0xA5)));  // entirely outside
  scripted.Feed(ReadReply(0x00FA, Bytes(6, 0x3C)));   // another reader's short read
  uint8_t image[256];
  scripted.device->GetExtensionMemory(image);
  EXPECT_EQ(image[0x00], 0x11);
  EXPECT_EQ(image[0xF8], 0);
  EXPECT_EQ(image[0xFF], 0);
  EXPECT_EQ(scripted.device->GetReadState(), kReadExtensionMemory);
}

TEST(BadInputTest, CallerReadStoresOnlyInsideTheDestination) {
  ScriptedDevice scripted;
  // Reading 16 bytes at 0x10 needs a destination of 0x20 bytes.
  std::vector<uint8_t> dest(0x20, 0);
  ASSERT_EQ(scripted.device->ReadMemory(0x00000010, dest.data(), 16), 1);
  scripted.Feed(ReadReply(0x0018, Bytes(16, 0x77)));  // reaches 0x28
  EXPECT_EQ(dest[0x17], 0);
  EXPECT_EQ(dest[0x18], 0x77);
  EXPECT_EQ(dest[0x1F], 0x77);
  EXPECT_EQ(scripted.device->GetReadState(), kReadIdle);
}

TEST(BadInputTest, ReadMemoryRefusesReadsThatCouldNeverComplete) {
  ScriptedDevice scripted;
  uint8_t dest[16];
  EXPECT_EQ(scripted.device->ReadMemory(0, nullptr, 16), 0);
  EXPECT_EQ(scripted.device->ReadMemory(0, dest, 0), 0);
  EXPECT_EQ(scripted.device->ReadMemory(0, dest, -4), 0);
  EXPECT_EQ(scripted.device->ReadMemory(0, dest, 0x10000), 0);
  EXPECT_TRUE(scripted.port.sent.empty());
  EXPECT_EQ(scripted.device->GetReadState(), kReadIdle);
}

TEST(BadInputTest, ShortReportsDecodeOnlyTheFieldsTheyCarry) {
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  scripted.Identify(kExtBalanceBoard, BoardImage(100, 200, 300));
  scripted.ZeroAdjustOnce(100);
  scripted.Feed(BoardReport(200, 200, 200, 200));
  scripted.port.Take();

  Bytes truncated = BoardReport(300, 300, 300, 300, 0x0008);
  truncated.resize(9);  // six of the eight cell bytes
  scripted.Feed(truncated);
  EXPECT_EQ(device.GetButtons(), 0x0008);
  EXPECT_FLOAT_EQ(device.GetBoardWeight(), 68.0f);

  scripted.Feed({0x32, 0x00});  // not even the buttons
  EXPECT_EQ(device.GetButtons(), 0x0008);
  scripted.Feed({0x20, 0x00, 0x00});  // status without its flags
  EXPECT_EQ(device.GetReadState(), kReadIdle);
  EXPECT_TRUE(scripted.port.sent.empty());

  Bytes reply = ReadReply(0x0000, Bytes(16, 1));
  scripted.Feed(StatusReport(true, 0x80));
  reply.resize(12);  // 6 of 16 data bytes
  scripted.Feed(reply);
  EXPECT_EQ(device.GetReadState(), kReadExtensionId);
  EXPECT_EQ(device.GetExtensionType(), kExtBalanceBoard);
}

TEST(BadInputTest, DeclaredInputLengthLimitsWhatHandlersRead) {
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  scripted.device->OnOpened(0);
  scripted.Feed(StatusReport(false, 0x80));
  Bytes calibration(16, 0);
  calibration[6] = calibration[7] = calibration[8] = 0x80;
  calibration[10] = calibration[11] = calibration[12] = 0x9A;
  scripted.Feed(ReadReply(0x0010, calibration));

  // A device declaring 8-byte input reports: report 0x33 delivers the
  // buttons and the accelerometer, not the IR bytes behind them.
  device.SetInputReportLength(8);
  Bytes report(18, 0);
  report[0] = 0x33;
  report[2] = 0x04;
  report[3] = report[4] = report[5] = 0x9A;
  std::fill(report.begin() + 6, report.end(), 0xFF);
  scripted.Feed(report);
  EXPECT_EQ(device.GetButtons(), 0x0004);
  EXPECT_FLOAT_EQ(device.GetAccel(0), 1.0f);
  EXPECT_EQ(device.GetIRPoint(0), 0);

  device.SetInputReportLength(22);
  scripted.Feed(report);
  EXPECT_EQ(device.GetIRPoint(0), 1023);
}

TEST(BadInputTest, EmptyAndNullReportsAreIgnored) {
  ScriptedDevice scripted;
  scripted.device->OnInputReport(nullptr, 22);
  const uint8_t id = 0x20;
  scripted.device->OnInputReport(&id, 0);
  scripted.device->OnInputReport(&id, -1);
  scripted.Feed({0x20});
  scripted.Feed({0x21});
  scripted.Feed({0x3D});
  EXPECT_TRUE(scripted.port.sent.empty());
  EXPECT_EQ(scripted.device->GetReadState(), kReadIdle);
}

TEST(BadInputTest, DeviceWithoutPortIsClosedAndDropsReports) {
  ktWiiDevice device;
  EXPECT_EQ(device.IsOpen(), 0);
  device.OnOpened(3);
  EXPECT_EQ(device.GetIndex(), 3);
  RecordingPort port;
  port.open = 0;
  device.SetPort(&port);
  EXPECT_EQ(device.IsOpen(), 0);
  port.open = 1;
  EXPECT_EQ(device.IsOpen(), 1);
}

}  // namespace
