#include <gtest/gtest.h>

#include "app_test_helpers.h"
#include "resources/menu.h"
#include "window/virtual_key.h"

namespace {

class WeightChartTest : public AppWindowTest {
 protected:
  void PressG() { window.OnMessage(nullptr, kWmKeyDown, 'G', 1); }

  // Whether the next frame draws the chart (no canvas: the frame's data only).
  bool FrameShowsChart() {
    ScreenFrame frame;
    window.ComposeMainScreen(frame);
    return frame.chart.log != nullptr;
  }
};

TEST_F(WeightChartTest, KeyAndMenuShowTheWholeLogAndTheKeyReturns) {
  WriteWholeFile(window.logPath,
                 "log 0 2024-05-06 07:08:09  60.5\r\nnoise\r\nlog 1 2024-05-07 07:08:09  61.0\r\n");
  PressG();
  ASSERT_TRUE(FrameShowsChart());
  EXPECT_EQ(window.chartLog.records.size(), 2u);
  EXPECT_EQ(window.chartLog.skippedLines, 1);
  PressG();
  EXPECT_FALSE(FrameShowsChart());
  EXPECT_EQ(window.OnCommand(resources::kCommandWeightChart), 0);
  EXPECT_TRUE(FrameShowsChart());
}

TEST_F(WeightChartTest, ReadAgainWhenOpenedAndAfterANewRecord) {
  PressG();
  EXPECT_TRUE(window.chartLog.records.empty());  // no log yet
  Append(2, 55.0f);
  ASSERT_EQ(window.chartLog.records.size(), 1u);
  EXPECT_EQ(window.chartLog.records[0].tenthsKg, 550);
  PressG();
  WriteWholeFile(window.logPath, "");
  PressG();
  EXPECT_TRUE(window.chartLog.records.empty());
}

TEST_F(WeightChartTest, StartingAMeasurementReturnsToTheMainScreen) {
  PressG();
  window.OnCommand(resources::kCommandMeasureUser1);
  EXPECT_FALSE(FrameShowsChart());
  EXPECT_TRUE(window.modeFlags.load() & ModeMeasuring);
}

// The arrows move only among the records the chart shows: U shows one
// user alone, 1 a month back from the latest record.
TEST_F(WeightChartTest, SelectionMovesAmongTheRecordsShown) {
  WriteWholeFile(window.logPath,
                 "log 0 2024-01-01 07:00:00  70.0\r\nlog 1 2024-05-02 07:00:00  60.0\r\n"
                 "log 0 2024-05-03 07:00:00  69.0\r\nlog 0 2024-05-04 07:00:00  68.0\r\n");
  PressG();
  for (uint32_t key : {uint32_t{'U'}, uint32_t{'1'}, kVkHome})
    window.OnMessage(nullptr, kWmKeyDown, key, 1);
  ASSERT_NE(window.SelectedRecord(), nullptr);
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 690) << "January is out of the month";
  window.OnMessage(nullptr, kWmKeyDown, kVkRight, 1);
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 680);
  window.OnMessage(nullptr, kWmKeyDown, kVkLeft, 1);
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 690) << "user 1's record is passed by";
  window.OnMessage(nullptr, kWmKeyDown, 'U', 1);  // user 1 alone
  EXPECT_EQ(window.SelectedRecord(), nullptr);
  window.OnMessage(nullptr, kWmKeyDown, 'B', 1);  // nobody has a height
  EXPECT_EQ(window.chartBmi, 1);
  ScreenFrame frame;
  window.ComposeMainScreen(frame);
  EXPECT_EQ(frame.chart.onlyUser, 1);
  EXPECT_EQ(frame.chart.range, ChartRange::Month);
}

// The pointer selects the record nearest to it: the right edge of the plot
// is the latest record, its left edge the first.
TEST_F(WeightChartTest, PointerSelectsTheNearestRecord) {
  WriteWholeFile(window.logPath,
                 "log 0 2024-05-01 07:00:00  70.0\r\nlog 1 2024-05-09 07:00:00  60.0\r\n"
                 "log 0 2024-05-10 07:00:00  69.0\r\n");
  PressG();
  const auto move = [this](int x, int y) {
    return window.OnMessage(nullptr, kWmMouseMove, 0, x | y << 16);
  };
  EXPECT_EQ(move(580, 100), 1) << "passed on too";
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 690);
  move(560, 290);  // nearer User1's 60 kg, a day earlier, than User0's 69 kg
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 600);
  move(60, 200);
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 700);
}

}  // namespace
