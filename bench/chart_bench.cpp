// The weight chart on a log of ten years of daily records for three users
// (15,000 lines): the whole text parsed into records, each user's trend
// and goal outlook worked out and everything laid out in the plot with the
// goals' lines, as when the chart is opened.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/log_reader.h"
#include "app/trend.h"
#include "render/chart.h"

namespace {

constexpr int kLines = 15000;
constexpr int kUsersInLog = 3;

// Days of each month; every February has 28 here, which a log may well show.
constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

std::string TenYearLog() {
  std::string log;
  char line[64];
  int year = 2015, month = 1, day = 1;
  for (int i = 0; i < kLines; ++i) {
    const int user = i % kUsersInLog;
    std::snprintf(line, sizeof line, "log %d %04d-%02d-%02d 07:%02d:%02d %5.1f\r\n", user, year,
                  month, day, i % 60, i % 59, 50.0 + user * 8 + (i % 97) / 10.0);
    log += line;
    if (user == kUsersInLog - 1 && ++day > kMonthDays[month - 1]) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
  return log;
}

void BM_ParseAndLayOutTenYears(benchmark::State& state) {
  const std::string text = TenYearLog();
  LogRecords log;
  ChartLayout layout;
  std::vector<TrendPoint> trends[kUsers];
  GoalOutlook outlooks[kUsers];
  const int32_t goals[kUsers] = {480, 560, 640, 0};
  for (auto _ : state) {
    ParseLog(text.data(), text.size(), &log);
    ComputeTrends(log, trends);
    for (int user = 0; user < kUsers; ++user)
      outlooks[user] = ProjectGoal(trends[user], goals[user],
                                   trends[user].empty() ? 0 : trends[user].back().day);
    ChartView view{&log};
    view.goalsTenthsKg = goals;
    view.trends = trends;
    view.outlooks = outlooks;
    LayoutChart(view, WeightUnit::Kilograms, &layout);
    benchmark::DoNotOptimize(layout.trendLines[0].data());
  }
  state.counters["records"] = static_cast<double>(log.records.size());
}

BENCHMARK(BM_ParseAndLayOutTenYears)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
