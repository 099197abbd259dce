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

}  // namespace
