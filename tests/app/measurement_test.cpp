#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app_test_helpers.h"
#include "device/wii_lib_device.h"
#include "sim/sim_board.h"
#include "sim/sim_wii_lib.h"

namespace {

// Whole calibration spans, so that a load in kg becomes an exact raw value
// and the board reports exactly the load it carries.
SimBoardOptions ExactBoard() {
  SimBoardOptions options;
  options.calibration = {
      {{1000, 1000, 1000, 1000}, {2700, 2700, 2700, 2700}, {4400, 4400, 4400, 4400}}};
  return options;
}

bool IsMeasuring(const AppWindow& window) {
  return (window.modeFlags.load() & ModeMeasuring) != 0;
}

// Frames of the main screen against simulated boards: each frame delivers
// what the boards sent, then polls the devices and advances the measurement,
// in the order the screen composition uses.
class MeasurementTest : public AppWindowTest {
 protected:
  MeasurementTest() { window.wiiLib = &lib; }
  // The window releases its device manager; do it while the manager exists.
  ~MeasurementTest() override { window.Cleanup(); }

  SimBoard* AddBoard() { return lib.AddBoard(ExactBoard()); }

  int Frame() {
    lib.Pump();
    int pending = window.PollDevices();
    if (window.activeEntry != nullptr) {
      window.UpdateMeasurement(*window.activeEntry);
    }
    return pending;
  }

  // Runs the zero adjustment every new board goes through. A real board's
  // readings jitter, so reports keep coming; here each board's zero point
  // jitters by one raw unit around `drift`.
  void SettleZeroAdjustment(const std::vector<SimBoard*>& boards, int drift = 0) {
    for (int frame = 0; frame <= kZeroAdjustFrames; ++frame) {
      int jitter = drift + frame % 2;
      const int cells[4] = {jitter, jitter, jitter, jitter};
      for (SimBoard* board : boards) {
        board->SetZeroDrift(cells);
      }
      Frame();
    }
  }

  // The frame (counted from 1) in which the measurement ended, or 0.
  int FramesUntilMeasurementEnds(int limit) {
    for (int frame = 1; frame <= limit; ++frame) {
      Frame();
      if (!IsMeasuring(window)) {
        return frame;
      }
    }
    return 0;
  }

  void PressButton(SimBoard* board) {
    board->SetButton(true);
    Frame();
    board->SetButton(false);
    Frame();
  }

  SimWiiLib lib;
};

// The level comes with each status report; a board that runs down says so in
// its next one, and the frame then asks for the battery line.
TEST_F(MeasurementTest, BoardThatRunsDownAsksForTheBatteryLine) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});
  ScreenFrame fresh;
  window.ComposeMainScreen(fresh);
  ASSERT_NE(fresh.activeEntry, nullptr);
  EXPECT_EQ(fresh.batteryLow, 0);

  board->SetBattery(0x70);
  board->SendStatus();
  lib.Pump();
  ScreenFrame low;
  window.ComposeMainScreen(low);
  ASSERT_NE(low.activeEntry, nullptr);
  EXPECT_EQ(low.batteryLow, 1);
}

TEST_F(MeasurementTest, ConstantSixtyKilogramsIsRecordedOnTheSeventiethFrame) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});
  DeviceEntry& entry = window.entries[0];
  ASSERT_EQ(window.activeEntry, &entry);
  ASSERT_EQ(entry.smoothedWeight, 0.0f);

  window.StartMeasurement(1);
  board->SetTotalLoad(60.0f);
  EXPECT_EQ(FramesUntilMeasurementEnds(200), 70);
  EXPECT_EQ(entry.rawWeight, 60.0f);
  EXPECT_NEAR(entry.smoothedWeight, 59.96f, 0.005f);
  EXPECT_EQ(entry.userWeight[1], entry.smoothedWeight);
  EXPECT_EQ(window.stableFrames, 30);
  EXPECT_STREQ(window.history[0], "1 2024-05-06 07:08:09  60.0");
  EXPECT_EQ(ReadWholeFile(window.logPath), "log 1 2024-05-06 07:08:09  60.0\r\n");

  // Staying on the board after the record writes nothing more.
  for (int frame = 0; frame < 400; ++frame) {
    Frame();
  }
  EXPECT_FALSE(IsMeasuring(window));
  EXPECT_EQ(window.history[1][0], '\0');
}

TEST_F(MeasurementTest, NobodySteppingOnTimesOutAfter301Frames) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});
  window.modeFlags.fetch_or(ModeRegisterUpdate);

  window.StartMeasurement(0);
  EXPECT_EQ(FramesUntilMeasurementEnds(400), 301);
  EXPECT_EQ(window.history[0][0], '\0');
  EXPECT_EQ(ReadWholeFile(window.logPath), "");
  EXPECT_EQ(window.modeFlags.load(), ModeRegisterUpdate);
}

TEST_F(MeasurementTest, SteppingOffTimesOut150FramesAfterTheLastWeight) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});

  window.StartMeasurement(2);
  board->SetTotalLoad(60.0f);
  for (int frame = 0; frame < 10; ++frame) {
    Frame();
  }
  board->SetTotalLoad(0.0f);
  int frame = 10;
  int lastFrameWithWeight = 0;
  while (IsMeasuring(window) && frame < 1000) {
    Frame();
    ++frame;
    if (window.entries[0].smoothedWeight >= 5.0f) {
      lastFrameWithWeight = frame;
    }
  }
  EXPECT_GT(lastFrameWithWeight, 10);
  EXPECT_EQ(frame, lastFrameWithWeight + 150);
  EXPECT_EQ(window.history[0][0], '\0');
}

TEST_F(MeasurementTest, BoardButtonCyclesThroughTheUsers) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});
  window.currentUser = 2;  // the user of an earlier, finished measurement

  PressButton(board);
  EXPECT_TRUE(IsMeasuring(window));
  EXPECT_EQ(window.currentUser, 0);
  for (int user : {1, 2, 3, 0}) {
    board->SetTotalLoad(40.0f + static_cast<float>(user));
    for (int frame = 0; frame < 5; ++frame) {
      Frame();
    }
    window.frameCount = 9;
    board->SetButton(true);
    Frame();
    EXPECT_EQ(window.currentUser, user);
    EXPECT_TRUE(IsMeasuring(window));
    EXPECT_EQ(window.stableFrames, 0);
    EXPECT_EQ(window.measureTimer, 0);
    EXPECT_EQ(window.frameCount, 0);
    board->SetButton(false);
    Frame();
  }
}

// With the setting on, a weigh-in the button started goes to the one named
// user whose trend is within 2 kg; with two such users, to the button's.
TEST_F(MeasurementTest, ButtonsWeighInGoesToTheUserWhoseTrendIsNear) {
  WriteWholeFile(window.logPath,
                 "log 2 2024-05-01 07:00:00  61.5\r\nlog 3 2024-05-01 08:00:00  80.0\r\n");
  window.settings.recognizeUser = 1;
  window.settings.users[2].name = "Anna";
  window.settings.users[3].name = "Ben";
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});
  PressButton(board);
  board->SetTotalLoad(60.0f);
  ASSERT_GT(FramesUntilMeasurementEnds(200), 0);
  EXPECT_STREQ(window.history[0], "2 2024-05-06 07:08:09  60.0");

  window.settings.users[1].name = "Carl";  // Carl's trend is near too
  WriteWholeFile(window.logPath,
                 ReadWholeFile(window.logPath) + "log 1 2024-05-02 07:00:00  59.0\r\n");
  board->SetTotalLoad(0.0f);
  for (int frame = 0; frame < 60; ++frame)
    Frame();
  PressButton(board);
  board->SetTotalLoad(60.0f);
  ASSERT_GT(FramesUntilMeasurementEnds(200), 0);
  EXPECT_EQ(ReadWholeFile(window.logPath).substr(ReadWholeFile(window.logPath).size() - 33),
            "log 0 2024-05-06 07:08:09  60.0\r\n");
}

TEST_F(MeasurementTest, HeldBoardButtonCountsOnce) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});

  board->SetButton(true);
  for (int frame = 0; frame < 40; ++frame) {
    Frame();
  }
  EXPECT_TRUE(IsMeasuring(window));
  EXPECT_EQ(window.currentUser, 0);
  EXPECT_EQ(window.measureTimer, 39);
}

TEST_F(MeasurementTest, MenuStartDuringAMeasurementRestartsItForTheNewUser) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});

  window.StartMeasurement(0);
  board->SetTotalLoad(60.0f);
  for (int frame = 0; frame < 60; ++frame) {
    Frame();
  }
  ASSERT_TRUE(IsMeasuring(window));
  ASSERT_GT(window.stableFrames, 0);
  window.frameCount = 25;

  window.StartMeasurement(2);
  EXPECT_EQ(window.currentUser, 2);
  EXPECT_EQ(window.measureTimer, 0);
  EXPECT_EQ(window.stableFrames, 0);
  EXPECT_EQ(window.frameCount, 0);
  EXPECT_GT(FramesUntilMeasurementEnds(200), 30);
  EXPECT_EQ(window.history[0][0], '2');
  EXPECT_EQ(window.history[1][0], '\0');
}

TEST_F(MeasurementTest, HighestBoardIsActiveAndEveryBoardIsAdjustedAndSmoothed) {
  lib.AddRemote();
  SimBoard* lower = AddBoard();
  lib.AddRemote();
  lib.AddRemote();
  SimBoard* upper = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);

  // Both boards' zero points have drifted by 40 raw units (1.6 kg).
  SettleZeroAdjustment({lower, upper}, 40);
  EXPECT_EQ(window.entries[1].zeroAdjustFrames, 0);
  EXPECT_EQ(window.entries[4].zeroAdjustFrames, 0);
  EXPECT_EQ(window.entries[0].zeroAdjustFrames, kZeroAdjustFrames);
  EXPECT_EQ(window.entries[0].deviceKind, kExtNone);
  EXPECT_NE(window.entries[0].device, nullptr);

  lower->SetTotalLoad(30.0f);
  upper->SetTotalLoad(70.0f);
  for (int frame = 0; frame < 100; ++frame) {
    Frame();
  }
  EXPECT_EQ(window.activeEntry, &window.entries[4]);
  EXPECT_NEAR(window.entries[1].rawWeight, 30.0f, 0.05f);
  EXPECT_NEAR(window.entries[4].rawWeight, 70.0f, 0.05f);
  EXPECT_NEAR(window.entries[1].smoothedWeight, 30.0f, 0.05f);
  EXPECT_NEAR(window.entries[4].smoothedWeight, 70.0f, 0.05f);
}

TEST_F(MeasurementTest, DevicesBeyondThe32ndPositionAreIgnored) {
  for (int i = 0; i < kDeviceEntries - 1; ++i) {
    lib.AddRemote();
  }
  SimBoard* last = AddBoard();
  SimBoard* beyond = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  ASSERT_EQ(lib.GetDeviceCount(), kDeviceEntries + 1);

  SettleZeroAdjustment({last, beyond});
  last->SetTotalLoad(50.0f);
  beyond->SetTotalLoad(80.0f);
  for (int frame = 0; frame < 100; ++frame) {
    Frame();
  }
  EXPECT_EQ(window.activeEntry, &window.entries[kDeviceEntries - 1]);
  EXPECT_NEAR(window.activeEntry->smoothedWeight, 50.0f, 0.05f);
}

TEST_F(MeasurementTest, StartupGraceAndInitialisingDevicesArePending) {
  for (int frame = 0; frame < kStartupGraceFrames; ++frame) {
    ASSERT_EQ(Frame(), kStartupGraceFrames - frame);
  }
  EXPECT_EQ(Frame(), 0);
  EXPECT_EQ(Frame(), 0);

  // A board whose memory reads fail never finishes identifying.
  SimBoard* stuck = AddBoard();
  stuck->SetErrorReplies(true);
  lib.Start(kWiiVendorId, kWiiProductId);
  EXPECT_EQ(Frame(), 1);
  EXPECT_EQ(window.activeEntry, nullptr);
  EXPECT_EQ(window.entries[0].device, nullptr);

  // Once it identifies it is a board in use, and nothing is pending.
  stuck->SetErrorReplies(false);
  stuck->SendStatus();
  EXPECT_EQ(Frame(), 0);
  EXPECT_EQ(window.activeEntry, &window.entries[0]);
}

TEST_F(MeasurementTest, LostBoardFreezesTheMeasurement) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});
  window.StartMeasurement(3);
  for (int frame = 0; frame < 10; ++frame) {
    Frame();
  }
  lib.SetOpen(0, false);
  for (int frame = 0; frame < 400; ++frame) {
    Frame();
  }
  EXPECT_EQ(window.activeEntry, nullptr);
  EXPECT_TRUE(IsMeasuring(window));
  EXPECT_EQ(window.measureTimer, 10);

  lib.SetOpen(0, true);
  EXPECT_EQ(FramesUntilMeasurementEnds(400), 291);
}

TEST_F(MeasurementTest, ZeroAdjustmentRestartsOnABoardInUse) {
  SimBoard* board = AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  SettleZeroAdjustment({board});
  board->SetTotalLoad(20.0f);
  for (int frame = 0; frame < 30; ++frame) {
    Frame();
  }
  ASSERT_GT(window.entries[0].smoothedWeight, 5.0f);

  window.ZeroAdjust();
  Frame();
  EXPECT_EQ(window.entries[0].zeroAdjustFrames, kZeroAdjustFrames - 1);
  // Smoothing starts again from 0 with the board's last reading.
  EXPECT_NEAR(window.entries[0].smoothedWeight, 2.0f, 0.01f);

  // What the board carries during the adjustment becomes its new zero.
  SettleZeroAdjustment({board});
  EXPECT_EQ(window.entries[0].zeroAdjustFrames, 0);
  EXPECT_NEAR(window.entries[0].rawWeight, 0.0f, 0.05f);
}

// Measurement steps on a hand-set entry, for values a board cannot be made
// to produce exactly.
class MeasurementStepTest : public AppWindowTest {
 protected:
  DeviceEntry entry;
};

TEST_F(MeasurementStepTest, ExactlyFiveKilogramsCountsAsSomebodyOnTheBoard) {
  window.StartMeasurement(0);
  entry.smoothedWeight = 5.0f;
  window.UpdateMeasurement(entry);
  EXPECT_EQ(window.measureTimer, 151);
  EXPECT_EQ(entry.userWeight[0], 5.0f);

  entry.smoothedWeight = std::nextafter(5.0f, 0.0f);
  entry.trend = 1.0f;
  window.UpdateMeasurement(entry);
  EXPECT_EQ(window.measureTimer, 152);
  EXPECT_EQ(entry.userWeight[0], 0.0f);
  EXPECT_EQ(entry.trend, 0.0f);
}

TEST_F(MeasurementStepTest, TrendOfExactlyOneTenthIsNotStable) {
  window.StartMeasurement(1);
  entry.smoothedWeight = 60.0f;
  entry.userWeight[1] = 60.0f;  // no change: the trend halves
  for (float sign : {1.0f, -1.0f}) {
    window.stableFrames = 7;
    entry.trend = sign * 0.2f;
    window.UpdateMeasurement(entry);
    EXPECT_EQ(entry.trend, sign * 0.1f);
    EXPECT_EQ(window.stableFrames, 0);

    entry.trend = sign * std::nextafter(0.2f, 0.0f);
    window.UpdateMeasurement(entry);
    EXPECT_LT(std::fabs(entry.trend), 0.1f);
    EXPECT_EQ(window.stableFrames, 1);
  }
}

TEST_F(MeasurementStepTest, ZeroAdjustResetsEveryEntryButKeepsTheMeasurement) {
  window.StartMeasurement(2);
  for (DeviceEntry& each : window.entries) {
    each = DeviceEntry{
        1.0f,   2.0f, {3.0f, 3.0f, 3.0f, 3.0f}, 4.0f, {5.0f, 5.0f, 5.0f, 5.0f}, 0, kExtBalanceBoard,
        nullptr};
  }
  window.ZeroAdjust();
  for (const DeviceEntry& each : window.entries) {
    EXPECT_EQ(each.smoothedWeight, 0.0f);
    EXPECT_EQ(each.rawWeight, 0.0f);
    EXPECT_EQ(each.cornerWeight[3], 0.0f);
    EXPECT_EQ(each.zeroAdjustFrames, kZeroAdjustFrames);
    EXPECT_EQ(each.userWeight[2], 3.0f);
    EXPECT_EQ(each.trend, 4.0f);
    EXPECT_EQ(each.deviceKind, kExtBalanceBoard);
  }
  EXPECT_TRUE(IsMeasuring(window));
}

TEST_F(MeasurementStepTest, UnknownUserIsNotStarted) {
  window.StartMeasurement(kUsers);
  window.StartMeasurement(-1);
  EXPECT_FALSE(IsMeasuring(window));
  EXPECT_EQ(window.currentUser, 0);
}

}  // namespace
