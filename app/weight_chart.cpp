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
  chartShown = 1;
}

// A log that cannot be read is shown as one without records.
void AppWindow::ReloadChart() {
  if (!ReadLogFile(logPath, &chartLog))
    chartLog = {};
}
