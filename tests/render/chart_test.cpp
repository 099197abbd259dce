#include "render/chart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/canvas_recording.h"

namespace {

LogRecord Record(int user, int year, int month, int day, int hour, int tenthsKg) {
  LogRecord r;
  r.user = user;
  r.year = static_cast<int16_t>(year);
  r.month = static_cast<int8_t>(month);
  r.day = static_cast<int8_t>(day);
  r.hour = static_cast<int8_t>(hour);
  r.tenthsKg = tenthsKg;
  return r;
}

std::vector<std::string> Labels(const std::vector<ChartTick>& ticks) {
  std::vector<std::string> labels;
  for (const ChartTick& tick : ticks)
    labels.push_back(tick.label);
  return labels;
}

TEST(ChartLayoutTest, OneLinePerUserLaterToTheRightHeavierHigher) {
  LogRecords log;
  log.records = {Record(2, 2024, 5, 1, 7, 600), Record(0, 2024, 5, 1, 7, 700),
                 Record(2, 2024, 5, 10, 7, 620), Record(0, 2024, 5, 10, 7, 690)};
  ChartLayout layout;
  LayoutChart(ChartView{&log}, WeightUnit::Kilograms, &layout);
  ASSERT_EQ(layout.lines[0].size(), 2u);
  ASSERT_EQ(layout.lines[2].size(), 2u);
  EXPECT_TRUE(layout.lines[1].empty());
  EXPECT_TRUE(layout.lines[3].empty());
  EXPECT_LT(layout.lines[2][0].x, layout.lines[2][1].x);
  EXPECT_GT(layout.lines[2][0].y, layout.lines[2][1].y);  // 62.0 kg stands above 60.0 kg
  EXPECT_LT(layout.lines[0][0].y, layout.lines[2][0].y);
  // The scale takes in every weight, in whole steps.
  EXPECT_EQ(Labels(layout.weightTicks),
            (std::vector<std::string>{"60", "62", "64", "66", "68", "70"}));
  EXPECT_EQ(layout.weightTicks.front().position, layout.lines[2][0].y);
  EXPECT_EQ(layout.weightTicks.back().position, layout.lines[0][0].y);
}

TEST(ChartLayoutTest, RecordsOfOneColumnBecomeTheirMean) {
  LogRecords log;
  log.records = {Record(1, 2020, 1, 1, 7, 500), Record(1, 2024, 1, 1, 7, 600),
                 Record(1, 2024, 1, 1, 8, 700)};
  ChartLayout layout;
  LayoutChart(ChartView{&log}, WeightUnit::Kilograms, &layout);
  ASSERT_EQ(layout.lines[1].size(), 2u);
  // The two records of 2024-01-01 make one point at 65.0 kg, halfway up
  // from the middle of the 50..70 scale.
  EXPECT_EQ(Labels(layout.weightTicks).front(), "50");
  EXPECT_EQ(Labels(layout.weightTicks).back(), "70");
  const int middle = (layout.weightTicks.front().position + layout.weightTicks.back().position) / 2;
  EXPECT_NEAR(layout.lines[1][1].y, (middle + layout.weightTicks.back().position) / 2, 1);
}

// 65 kg is 10 st 3.3 lb: in stones it is drawn between the marks of 10 st
// and 10 st 7, not near 65 lb ("4st 9").
TEST(ChartLayoutTest, StonesPlotInStones) {
  LogRecords log;
  log.records = {Record(0, 2024, 5, 1, 7, 600), Record(0, 2024, 5, 10, 7, 650)};
  ChartLayout layout;
  LayoutChart(ChartView{&log}, WeightUnit::StonesPounds, &layout);
  int tenStones = -1, tenAndAHalf = -1;
  for (const ChartTick& tick : layout.weightTicks) {
    if (std::string(tick.label) == "10st")
      tenStones = tick.position;
    if (std::string(tick.label) == "10st 7")
      tenAndAHalf = tick.position;
  }
  ASSERT_EQ(layout.lines[0].size(), 2u);
  ASSERT_GE(tenStones, 0) << testing::PrintToString(Labels(layout.weightTicks));
  ASSERT_GE(tenAndAHalf, 0);
  EXPECT_LT(layout.lines[0][1].y, tenStones);
  EXPECT_GT(layout.lines[0][1].y, tenAndAHalf);
}

TEST(ChartLayoutTest, DateScaleMarksDaysMonthsOrYears) {
  LogRecords log;
  log.records = {Record(0, 2024, 5, 6, 7, 600), Record(0, 2024, 5, 12, 7, 600)};
  ChartLayout layout;
  LayoutChart(ChartView{&log}, WeightUnit::Kilograms, &layout);
  EXPECT_EQ(Labels(layout.dateTicks).front(), "5/6");
  EXPECT_EQ(Labels(layout.dateTicks).back(), "5/13");

  log.records = {Record(0, 2023, 12, 15, 7, 600), Record(0, 2024, 12, 15, 7, 600)};
  LayoutChart(ChartView{&log}, WeightUnit::Kilograms, &layout);
  EXPECT_EQ(Labels(layout.dateTicks), (std::vector<std::string>{"2024/1", "2024/3", "2024/5",
                                                                "2024/7", "2024/9", "2024/11"}));

  log.records = {Record(0, 2015, 3, 1, 7, 600), Record(0, 2024, 12, 31, 7, 600)};
  LayoutChart(ChartView{&log}, WeightUnit::Kilograms, &layout);
  EXPECT_EQ(Labels(layout.dateTicks),
            (std::vector<std::string>{"2016", "2017", "2018", "2019", "2020", "2021", "2022",
                                      "2023", "2024", "2025"}));
  for (size_t i = 1; i < layout.dateTicks.size(); ++i)
    EXPECT_GT(layout.dateTicks[i].position - layout.dateTicks[i - 1].position, 48);
}

// A month back from the latest record of the user shown; as body-mass
// index, users without a height are left out. The trend and the goal go
// into the scale.
TEST(ChartLayoutTest, RangeUserAndBodyMassIndexChooseWhatIsShown) {
  LogRecords log;
  log.records = {Record(0, 2024, 1, 1, 7, 900), Record(0, 2024, 5, 1, 7, 700),
                 Record(0, 2024, 5, 20, 7, 720), Record(1, 2024, 6, 30, 7, 500)};
  const int32_t heights[kUsers] = {2000, 0, 0, 0};
  const int32_t goals[kUsers] = {660, 0, 0, 0};
  ChartView view{&log};
  view.range = ChartRange::Month;
  view.onlyUser = 0;
  view.heightsMm = heights;
  view.goalsTenthsKg = goals;
  ChartLayout layout;
  LayoutChart(view, WeightUnit::Kilograms, &layout);
  EXPECT_EQ(layout.ranges.days, 31);
  EXPECT_EQ(layout.stats[0].count, 2);
  EXPECT_EQ(layout.stats[0].highestTenthsKg, 720);
  EXPECT_DOUBLE_EQ(layout.stats[0].meanKg, 71.0);
  EXPECT_EQ(layout.stats[1].count, 0);
  EXPECT_TRUE(layout.lines[1].empty());
  // The goal of 66 kg is on the scale, a step above its lower edge.
  EXPECT_EQ(Labels(layout.weightTicks).front(), "65");
  EXPECT_EQ(layout.goalY[0], layout.weightTicks[1].position);

  view.onlyUser = -1;
  view.showBmi = 1;  // 70 kg at 2 m is 17.5, 72 kg 18.0; user 1 has no height
  view.goalsTenthsKg = nullptr;
  LayoutChart(view, WeightUnit::Kilograms, &layout);
  EXPECT_TRUE(layout.lines[1].empty());
  EXPECT_EQ(Labels(layout.weightTicks), (std::vector<std::string>{"17.5", "18.0"}));
  EXPECT_FALSE(ChartShowsUser(view, 1));
}

TEST(ChartDrawTest, EmptyLogSaysSoAndSkippedLinesAreCounted) {
  RecordingCanvas* canvas = CreateRecordingCanvas();
  LogRecords log;
  log.skippedLines = 3;
  DrawChart(*canvas, ChartView{&log}, WeightUnit::Kilograms);
  std::string all;
  for (const std::string& line : canvas->Lines())
    all += line + "\n";
  EXPECT_NE(all.find("text 32 88 まだ記録がありません。"), std::string::npos) << all;
  EXPECT_NE(all.find("読めない行 3 行"), std::string::npos) << all;
  EXPECT_EQ(all.find("polyline"), std::string::npos) << all;
  EXPECT_EQ(canvas->Lines().back(), "pen outline");
  canvas->Release();
}

}  // namespace
