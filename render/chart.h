#pragma once

#include <cstdint>
#include <vector>

#include "render/canvas.h"
#include "screen/log_record.h"
#include "screen/screen_data.h"
#include "screen/units.h"

// The weight chart: every record of the log as weight over time, one line
// per user, the dates along the bottom and the weight scale on the left.

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

// Where everything of the chart goes, in pixels of the picture.
struct ChartLayout {
  ChartRanges ranges;
  // Per user one point per pixel column that holds records (their mean
  // weight), left to right; empty for a user without records.
  std::vector<CanvasPoint> lines[kUsers];
  std::vector<ChartTick> dateTicks;
  std::vector<ChartTick> weightTicks;
};

// Lays out the records in the plot area of a picture of 600 x 400, the
// weight scale in the unit given.
void LayoutChart(const ChartView& view, WeightUnit unit, ChartLayout* layout);

// The chart screen below the title line: the heading and the legend, the
// plot with its scales, or a short message when there is no record. A
// selected record (one of log's, or null) is marked, and read out below.
void DrawChart(Canvas& canvas, const ChartView& view, WeightUnit unit);
