#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device_test_helpers.h"

namespace {

// One thread decodes board reports while another reads the values and
// switches the zero adjustment, as the I/O and user-interface threads do.
// Under the thread sanitizer this fails on any unsynchronised field.
TEST(DeviceThreadsTest, DecodingBesideTheReaderIsRaceFree) {
  ScriptedDevice scripted;
  scripted.Identify(kExtBalanceBoard, BoardImage(100, 200, 300));
  ktWiiDevice& device = *scripted.device;
  device.SetZeroAdjust(1);
  scripted.Feed(BoardReport(100, 100, 100, 100));
  std::atomic<bool> done{false};
  std::thread io([&] {
    for (int i = 0; i < 20000; ++i) {
      scripted.Feed(BoardReport(150 + i % 50, 200, 250, 100, (i & 1) ? 0x0008 : 0));
    }
    done = true;
  });
  float total = 0.0f;
  int frames = 0;
  while (!done) {
    device.SetZeroAdjust(frames < 50 ? 1 : 0);
    total += device.GetBoardWeight() + device.GetBoardSensor(frames & 3);
    total += static_cast<float>(device.GetButtons() + device.GetReadState() + device.IsOpen());
    ++frames;
  }
  io.join();
  // The reader saw the zero point move, never a torn calibration: a final
  // step at the 0 kg reading leaves a board that reads its loads again.
  device.SetZeroAdjust(1);
  for (int i = 0; i < 32; ++i) {
    scripted.Feed(BoardReport(100, 100, 100, 100));
  }
  device.SetZeroAdjust(0);
  scripted.Feed(BoardReport(200, 200, 200, 200));
  EXPECT_NEAR(device.GetBoardWeight(), 68.0f, 1.0f);
  (void)total;
}

}  // namespace
