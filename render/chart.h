#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/canvas.h"
#include "screen/log_record.h"
#include "screen/screen_data.h"
#include "screen/units.h"

// The weight chart: the records of the log in a range of days as weight
// (or body-mass index) over time, one line per user shown, with each
// user's trend and goal; the dates along the bottom, the scale on the left
// and a row per user below.

// A labelled mark on an axis: its pixel position (x for dates, y for
// weights) and its text.
struct ChartTick {
  int position = 0;
  char label[32] = {};
};

// The ranges the records span: whole days, and weights widened to whole
// steps of the scale.
struct ChartRanges {
  WeightUnit unit = WeightUnit::Kilograms;
  int32_t firstDay = 0;
  int32_t days = 1;  // at least one
  double low = 0.0;
  double high = 1.0;
  double step = 1.0;
};

// A user's records in the range shown.
struct ChartUserStats {
  int32_t count = 0;
  int32_t lowestTenthsKg = 0;
  int32_t highestTenthsKg = 0;
  double meanKg = 0.0;
};

// Where everything of the chart goes, in pixels of the picture.
struct ChartLayout {
  ChartRanges ranges;
  // Per user one point per pixel column that holds records (their mean
  // value), left to right; empty for a user not shown.
  std::vector<CanvasPoint> lines[kUsers];
  // Per user the trend, one point per pixel column with a day of records.
  std::vector<CanvasPoint> trendLines[kUsers];
  ChartUserStats stats[kUsers];
  int goalY[kUsers] = {-1, -1, -1, -1};  // the goal line's height; -1: none
  std::vector<ChartTick> dateTicks;
  std::vector<ChartTick> weightTicks;
};

// Whether the view shows the user's records: all users or this one, and
// for the body-mass index only users with a height.
bool ChartShowsUser(const ChartView& view, int user);

// The days the view shows: its range back from the latest record shown.
// False when it shows no record.
bool FindChartSpan(const ChartView& view, int32_t* firstDay, int32_t* lastDay);

// Lays out the records the view shows in the plot area of a picture of
// 600 x 400, the weight scale in the unit given.
void LayoutChart(const ChartView& view, WeightUnit unit, ChartLayout* layout);

// Where a record the view shows stands in the picture.
CanvasPoint ChartPointOf(const ChartView& view, const ChartLayout& layout, const LogRecord& record);

// A user's row below the plot: the range's lightest, heaviest and mean
// weight (or body-mass index), and the goal's outlook.
std::string ChartUserRow(const ChartView& view, const ChartLayout& layout, int user,
                         WeightUnit unit);

// The chart screen below the title line: the heading and the legend, the
// plot with its scales, or a short message when there is no record. A
// selected record (one of log's, or null) is marked, and read out below.
void DrawChart(Canvas& canvas, const ChartView& view, WeightUnit unit);
