#include <algorithm>
#include <numeric>

#include "app/app_window.h"
#include "app/log_reader.h"
#include "app/trend.h"
#include "platform/log_file.h"
#include "render/chart.h"

// The chart shows the whole log as it is on the disk: read when the chart
// is shown, and again after each new record while it shows.

void AppWindow::ToggleChart() {
  if (chartShown) {
    chartShown = 0;
    return;
  }
  ReloadChart();
  chartPosition = -1;
  chartShown = 1;
}

// A log that cannot be read is shown as one without records. A selected
// record stays selected: a new record only adds to the log.
void AppWindow::ReloadChart() {
  const int32_t selected = chartPosition >= 0 ? chartOrder[chartPosition] : -1;
  if (!ReadLogFile(logPath, &chartLog))
    chartLog = {};
  OrderChart();
  SelectChartRecord(selected);
}

void AppWindow::OrderChart() {
  chartOrder.resize(chartLog.records.size());
  std::iota(chartOrder.begin(), chartOrder.end(), 0);
  std::stable_sort(chartOrder.begin(), chartOrder.end(), [this](int32_t a, int32_t b) {
    return chartLog.records[a].Moment() < chartLog.records[b].Moment();
  });
  ComputeTrends(chartLog, chartTrends);
  ProjectGoals();
}

// From today, by the local clock.
void AppWindow::ProjectGoals() {
  struct tm now = {};
  (localTime != nullptr ? localTime : ReadLocalTime)(&now);
  const int32_t today = DaysFromCivil(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
  for (int user = 0; user < kUsers; ++user)
    chartOutlooks[user] = ProjectGoal(chartTrends[user], userGoalsTenthsKg[user], today);
}

ChartView AppWindow::CurrentChartView() const {
  ChartView view;
  view.log = chartShown ? &chartLog : nullptr;
  view.userLabels = userNames;
  view.range = chartRange;
  view.onlyUser = chartUser;
  view.showBmi = chartBmi;
  view.heightsMm = userHeightsMm;
  view.goalsTenthsKg = userGoalsTenthsKg;
  view.trends = chartTrends;
  view.outlooks = chartOutlooks;
  return view;
}

void AppWindow::ChooseChartRange(ChartRange range) {
  chartRange = range;
  if (!chartShown)
    ToggleChart();
}

// Only users with records in the log are offered.
void AppWindow::CycleChartUser() {
  if (!chartShown) {
    ToggleChart();
    return;
  }
  do {
    chartUser = chartUser + 1 < kUsers ? chartUser + 1 : -1;
  } while (chartUser >= 0 && chartTrends[chartUser].empty());
}

void AppWindow::ToggleChartBmi() {
  chartBmi = !chartBmi;
  if (!chartShown)
    ToggleChart();
}

// Selected only while the chart shows it: the user shown, its range, and
// for the body-mass index a user with a height.
const LogRecord* AppWindow::SelectedRecord() const {
  if (!chartShown || chartPosition < 0 || static_cast<size_t>(chartPosition) >= chartOrder.size())
    return nullptr;
  const LogRecord& record = chartLog.records[chartOrder[chartPosition]];
  return ShowsRecord(record) ? &record : nullptr;
}

bool AppWindow::ShowsRecord(const LogRecord& record) const {
  const ChartView view = CurrentChartView();
  int32_t firstDay = 0;
  int32_t lastDay = 0;
  return ChartShowsUser(view, record.user) && FindChartSpan(view, &firstDay, &lastDay) &&
         record.DayNumber() >= firstDay;
}

// Moves the selection along the records shown, in time. Without a
// selection, a move back starts after the latest record and a move on
// before the first.
void AppWindow::MoveChartSelection(int32_t step) {
  if (!chartShown || chartOrder.empty())
    return;
  const int32_t count = static_cast<int32_t>(chartOrder.size());
  const int32_t direction = step < 0 ? -1 : 1;
  int32_t moves = step < 0 ? -step : step;
  int32_t position = chartPosition >= 0 ? chartPosition : step < 0 ? count : -1;
  for (int32_t next = position + direction; next >= 0 && next < count && moves > 0;
       next += direction) {
    if (ShowsRecord(chartLog.records[chartOrder[next]])) {
      position = next;
      --moves;
    }
  }
  if (position >= 0 && position < count)
    chartPosition = position;
}

void AppWindow::HoverChart(int x, int y) {
  if (!chartShown)
    return;
  const ChartView view = CurrentChartView();
  ChartLayout layout;
  LayoutChart(view, settings.unit, &layout);
  if (layout.weightTicks.empty())
    return;
  int64_t nearest = -1;
  for (size_t position = 0; position < chartOrder.size(); ++position) {
    const LogRecord& record = chartLog.records[chartOrder[position]];
    if (!ChartShowsUser(view, record.user) || record.DayNumber() < layout.ranges.firstDay)
      continue;
    const CanvasPoint at = ChartPointOf(view, layout, record);
    const int64_t distance = static_cast<int64_t>(at.x - x) * (at.x - x) + (at.y - y) * (at.y - y);
    if (nearest < 0 || distance < nearest) {
      nearest = distance;
      chartPosition = static_cast<int32_t>(position);
    }
  }
}
