// The trend and the goal's outlook against figures worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "app/trend.h"

namespace {

LogRecord OnDay(int user, int day, int tenthsKg) {
  LogRecord record;
  record.user = user;
  record.year = 2024;
  record.month = 1;
  record.day = static_cast<int8_t>(day);
  record.tenthsKg = tenthsKg;
  return record;
}

TEST(TrendTest, DailyMeansSmoothedByATenthAndGapsCaughtUp) {
  LogRecords log;
  // Day 1: 70.0; day 2: 71.0 and 73.0 (mean 72.0); day 12, after ten days
  // away: 60.0. User 1 on day 2 only.
  log.records = {OnDay(0, 2, 710), OnDay(0, 1, 700), OnDay(1, 2, 500), OnDay(0, 2, 730),
                 OnDay(0, 12, 600)};
  std::vector<TrendPoint> trends[kUsers];
  ComputeTrends(log, trends);
  ASSERT_EQ(trends[0].size(), 3u);
  EXPECT_FLOAT_EQ(trends[0][0].kg, 70.0f);
  EXPECT_FLOAT_EQ(trends[0][1].kg, 70.2f);  // 70 + 0.1 * (72 - 70)
  // 60 + (70.2 - 60) * 0.9^10 = 60 + 10.2 * 0.3486784401
  EXPECT_NEAR(trends[0][2].kg, 63.556520, 1e-4);
  EXPECT_EQ(trends[0][2].day - trends[0][1].day, 10);
  ASSERT_EQ(trends[1].size(), 1u);
  EXPECT_TRUE(trends[2].empty());
  EXPECT_FLOAT_EQ(TrendOn(trends[0], trends[0][1].day + 5), 70.2f);
  EXPECT_EQ(TrendOn(trends[0], trends[0][0].day - 1), 0.0f);
}

constexpr int32_t kToday = 19028;

// A trend falling 0.1 kg a day for four weeks up to today, exactly on a line.
std::vector<TrendPoint> Falling(float slope) {
  std::vector<TrendPoint> trend;
  for (int day = 0; day <= 28; ++day)
    trend.push_back({19000 + day, 70.0f + slope * day});
  return trend;
}

TEST(TrendTest, GoalReachedBetweenTwoDatesOrSaidWhyNot) {
  // From 67.2 kg to 65.0 kg at 0.1 kg a day: 22 days; the pace widened by
  // 15 % each way gives 0.115 and 0.085 kg a day, so 20 to 26 days.
  const GoalOutlook outlook = ProjectGoal(Falling(-0.1f), 650, kToday);
  ASSERT_EQ(outlook.kind, GoalOutlook::Dates);
  EXPECT_NEAR(outlook.toGoKg, -2.2f, 1e-4);
  EXPECT_EQ(outlook.firstDay, 19028 + 20);
  EXPECT_EQ(outlook.lastDay, 19028 + 26);

  EXPECT_EQ(ProjectGoal(Falling(-0.1f), 0, kToday).kind, GoalOutlook::NoGoal);
  EXPECT_EQ(ProjectGoal(Falling(-0.1f), 673, kToday).kind, GoalOutlook::Reached);
  EXPECT_EQ(ProjectGoal(Falling(-0.1f), 700, kToday).kind, GoalOutlook::WrongWay);
  EXPECT_EQ(ProjectGoal(Falling(-0.001f), 600, kToday).kind, GoalOutlook::Flat);
  EXPECT_EQ(ProjectGoal(Falling(-0.01f), 500, kToday).kind, GoalOutlook::Years);  // 1970 days
  const std::vector<TrendPoint> twoDays = {{19000, 70.0f}, {19001, 69.9f}};
  EXPECT_EQ(ProjectGoal(twoDays, 600, kToday).kind, GoalOutlook::TooFewDays);
  EXPECT_EQ(ProjectGoal(Falling(-0.1f), 650, kToday + 29).kind, GoalOutlook::TooFewDays)
      << "four weeks without a record say too little about now";
}

}  // namespace
