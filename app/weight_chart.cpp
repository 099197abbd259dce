#include <algorithm>
#include <numeric>

#include "app/app_window.h"
#include "app/log_reader.h"

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
}
