#include <gtest/gtest.h>

#include <cstring>

#include "app/app_window.h"
#include "app/screen_description.h"
#include "bluetooth/bluetooth_lib.h"
#include "device/wii_lib_device.h"
#include "english_locale.h"

namespace {

DeviceEntry BoardAt(float kg, int32_t zeroAdjustFrames = 0) {
  DeviceEntry entry;
  entry.deviceKind = kExtBalanceBoard;
  entry.smoothedWeight = kg;
  entry.zeroAdjustFrames = zeroAdjustFrames;
  return entry;
}

// Every screen in words, in the unit shown; the texts follow the catalogue.
TEST(ScreenDescriptionTest, SaysWhatEachScreenShows) {
  EnglishLocale english;
  ScreenFrame frame;
  frame.pending = 3;
  EXPECT_EQ(DescribeScreen(frame), "Looking for the board.");
  frame.pending = 0;
  EXPECT_EQ(DescribeScreen(frame),
            "No Wii Balance Board found. Please pair and connect it. (See the manual for details)");

  const DeviceEntry zeroing = BoardAt(60.0f, 5);
  frame.activeEntry = &zeroing;
  EXPECT_EQ(DescribeScreen(frame), "Zero adjustment running.");

  const DeviceEntry board = BoardAt(64.8f);
  HistoryLines history = {};
  std::strcpy(history[0], "0 2024-05-06 07:08:09  70.0");
  std::strcpy(history[1], "2 2024-05-06 07:09:00  64.8");
  frame.activeEntry = &board;
  frame.history = &history;
  frame.unit = WeightUnit::Pounds;
  EXPECT_EQ(DescribeScreen(frame),
            "Weight 142.9lb. Last record: User2 2024-05-06 07:09:00 142.9lb.");

  frame.modeFlags = ModeMeasuring;
  frame.currentUser = 3;
  frame.frameCount = 0x10;  // the caption blinks; the description does not
  EXPECT_EQ(DescribeScreen(frame),
            "Weight 142.9lb. Measuring User3. Step on the board to record your weight.");

  frame.modeFlags = ModeRegistering | ModeMeasuring;
  EXPECT_EQ(DescribeScreen(frame),
            "Waiting to pair the controller. On the Wii Balance Board, press the SYNC button.");

  frame.modeFlags = 0;
  frame.bluetoothFailure = static_cast<int32_t>(BluetoothFailure::NoAdapter);
  EXPECT_EQ(DescribeScreen(frame),
            "No Bluetooth adapter was found. Plug one in, then press A again.");
}

// One refused board is enough for the hint, which comes after the search.
TEST(ScreenDescriptionTest, OneRefusedBoardBringsThePermissionHint) {
  ScreenFrame frame;
  frame.refusedBoards = 1;
  frame.pending = 1;
  EXPECT_EQ(DescribeScreen(frame).find("権限"), std::string::npos);
  frame.pending = 0;
  EXPECT_NE(DescribeScreen(frame).find("ボードの権限不足"), std::string::npos);
}

// The chart in words: its records and dates, the range, each user's latest
// weight in the unit shown, and not the board's state behind it.
TEST(ScreenDescriptionTest, SaysWhatTheChartShows) {
  EnglishLocale english;
  LogRecords log;
  LogRecord record;
  record = {1, 2024, 5, 6, 7, 8, 9, 648};
  log.records.push_back(record);
  record = {0, 2024, 6, 1, 7, 0, 0, 700};
  log.records.push_back(record);
  record = {1, 2024, 5, 20, 7, 0, 0, 640};
  log.records.push_back(record);
  ScreenFrame frame;
  frame.chart.log = &log;
  EXPECT_EQ(DescribeScreen(frame),
            "Weight chart: 3 records from 2024-05-06 to 2024-06-01. Weights from 64.0kg to "
            "70.0kg. User0's latest record: 70.0kg (2024-06-01). User1's latest record: 64.0kg "
            "(2024-05-20). User0  70.0kg to 70.0kg  mean 70.0kg. User1  64.0kg to 64.8kg  mean "
            "64.4kg.");
  frame.unit = WeightUnit::StonesPounds;
  EXPECT_NE(DescribeScreen(frame).find("User0's latest record: 11st 0.3lb"), std::string::npos)
      << DescribeScreen(frame);
  log.records.clear();
  EXPECT_EQ(DescribeScreen(frame), "No records yet.");
}

// The window keeps the description of its latest frame, even without a
// window system to give it to.
TEST(ScreenDescriptionTest, FramesUpdateTheWindowsDescription) {
  AppWindow window(nullptr);
  window.frameSleepMs = 0;
  window.startupGrace = 1;
  window.RenderFrame();
  EXPECT_EQ(window.description, DescribeScreen(ScreenFrame{.pending = 1}));
  window.RenderFrame();
  EXPECT_NE(window.description.find("バランスWiiボード が見つかりません。"), std::string::npos);
}

}  // namespace
